#include <gtest/gtest.h>

#include <limits>

#include "macos/LibprocRules.hpp"
#include "macos/MachTime.hpp"

namespace sapwell::platform {
namespace {

constexpr std::uint64_t max64 = std::numeric_limits<std::uint64_t>::max();

TEST(MachTicks, ConvertExactlyWithoutOverflowAndSaturate) {
    const struct { std::uint64_t ticks; std::uint32_t numer, denom; std::uint64_t ns; } cases[] = {
        {1000, 1, 1, 1000},                   // Intel: ticks are nanoseconds
        {24'000'000, 125, 3, 1'000'000'000},  // Apple silicon: one second is 24 M ticks, not 24 M ns
        {1, 125, 3, 41}, {2, 125, 3, 83},     // rounded down, never 41 × 2
        // ticks × numer overflows 64 bits, the result does not
        {400'000'000'000'000'000, 125, 3, 16'666'666'666'666'666'666u},
        {max64, 125, 3, max64}, {max64, 1, 1, max64}, {1000, 3, 125, 24},
        {12345, 0, 1, 0}, {12345, 7, 0, 12345},  // a failed timebase read counts ticks as ns
    };
    for (const auto& c : cases)
        EXPECT_EQ(machTicksToNanos(c.ticks, c.numer, c.denom), c.ns) << c.ticks << " " << c.numer << "/" << c.denom;
}

TEST(MachTicks, TaskCpuTimeAddsTicksBeforeConvertingAndRefusesAWrappedSum) {
    EXPECT_EQ(cpuNanos(1, 2, 125, 3), 125u);  // 3 ticks: converting each alone would give 41 + 83 = 124
    EXPECT_EQ(cpuNanos(12'000'000, 12'000'000, 125, 3), 1'000'000'000u);
    EXPECT_EQ(cpuNanos(max64, 1, 1, 1), std::nullopt);
}

TEST(Libproc, PidListKeepsFilledPositiveSlotsWithinTheBuffer) {
    EXPECT_EQ(pidSlots(400), 164u);  // 100 identifiers + 64 spare
    EXPECT_EQ(pidSlots(0), 0u);
    EXPECT_EQ(pidSlots(-1), 0u);
    const std::vector<Pid> buffer{501, 0, -4, 1, 77, 0};
    const struct { int bytes; std::vector<Pid> pids; } cases[] = {
        {24, {501, 1, 77}}, {12, {501}}, {15, {501}},  // whole slots only
        {4000, {501, 1, 77}},                          // a size beyond the buffer reads no further
        {0, {}}, {-1, {}}};
    for (const auto& c : cases) EXPECT_EQ(filledPids(buffer, c.bytes), c.pids) << c.bytes;
}

TEST(Libproc, AgeFromStartTimeAgainstTheWallClock) {
    const struct { std::uint64_t sec, usec; double now; std::optional<double> age; } cases[] = {
        {1'700'000'000, 500'000, 1'700'000'100.0, 99.5},
        {1'700'000'000, 0, 1'600'000'000.0, 0.0},  // clock set back: new, not negative
        {0, 0, 1'700'000'000.0, std::nullopt},     // no start reported
        {1'700'000'000, 0, 0.0, std::nullopt},     // wall clock unreadable
    };
    for (const auto& c : cases) EXPECT_EQ(ageSeconds(c.sec, c.usec, c.now), c.age) << c.sec << " " << c.now;
}

}  // namespace
}  // namespace sapwell::platform
