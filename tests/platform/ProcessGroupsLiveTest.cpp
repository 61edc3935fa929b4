// The sampler over the real kernel: work done between two passes by processes that are gone by
// the time of the second pass. (New processes bring their whole counter; SamplerTest shows that
// with fakes and LinuxProcessTableLive the real ages it relies on.)

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <vector>

#include "Cgroup.hpp"
#include "CgroupWatch.hpp"
#include "ForkedChild.hpp"
#include "LinuxClocks.hpp"
#include "LinuxProcessTable.hpp"
#include "Sampler.hpp"
#include "TempDir.hpp"

namespace sapwell::platform {
namespace {

constexpr std::uint64_t ms = 1'000'000;

std::uint64_t ownCPUTimeNS() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(ts.tv_nsec);
}

void burn(std::uint64_t ns) {
    while (ownCPUTimeNS() < ns) {
    }
}

double msOf(const NamedAmounts& deltas, const std::string& name) {
    return static_cast<double>(std::map(deltas.begin(), deltas.end())[name] * ms);
}

// Both for a group the first pass saw with a member and for one made after it, whose whole
// counter is new work.
TEST(ProcessGroupsLive, WorkBetweenPassesLandsUnderItsOwner) {
    const auto mount = cgroup2Mount(testing::TempDir::read("/proc/self/mountinfo"));
    if (!mount || mount->root != "/") GTEST_SKIP() << "no cgroup2 hierarchy mounted whole";
    for (const bool madeBetweenPasses : {false, true}) {
        SCOPED_TRACE(madeBetweenPasses ? "group made between the passes" : "group seen at the first pass");
        LinuxProcessTable table;
        LinuxClocks clocks;
        ASSERT_NE(table.groups(), nullptr);
        Sampler sampler(Metric::cpuTime, table, clocks);
        if (madeBetweenPasses) sampler.sample();  // the baseline, before the group exists
        // Named as a desktop names an application's scope, so the group has an owner of its own.
        const std::string path = "/app-sapwelltest.Burst-" + std::to_string(getpid()) + (madeBetweenPasses ? "1" : "0") + ".scope";
        const std::filesystem::path folder = *cgroupFolder(*mount, path);
        if (mkdir(folder.c_str(), 0755) != 0)
            GTEST_SKIP() << "cgroup2 hierarchy at " << mount->mountPoint << " not writable: " << std::strerror(errno);
        int commands[2], answers[2];
        ASSERT_EQ(pipe(commands), 0);
        ASSERT_EQ(pipe(answers), 0);
        // Waits for one-byte commands: 's' runs ten short-lived busy children one after another
        // and answers with one byte, 'q' ends it.
        testing::ForkedChild holding([&] {
            for (char c = 0; read(commands[0], &c, 1) == 1 && c != 'q';) {
                for (int i = 0; i < 10; ++i) testing::ForkedChild([] { burn(30 * ms); }).join();
                if (write(answers[1], "k", 1) != 1) return;
            }
        });
        const pid_t holder = holding.pid();
        ASSERT_GT(holder, 0);
        std::shared_ptr<void> cleanup(nullptr, [&](void*) {
            holding.stop();
            for (int i = 0; i < 50 && rmdir(folder.c_str()) != 0 && errno == EBUSY; ++i) usleep(20'000);
            for (int fd : {commands[0], commands[1], answers[0], answers[1]}) close(fd);
        });
        {
            std::ofstream procs(folder / "cgroup.procs");
            procs << holder << std::flush;
            if (!procs) GTEST_SKIP() << "cannot move a process into " << folder;
        }
        EXPECT_EQ(table.groups()->groupOf(holder), path);
        if (!madeBetweenPasses) sampler.sample();  // the group's baseline, with its holder as member
        const std::uint64_t usageBefore = madeBetweenPasses ? 0 : table.groups()->groupCPUTimeNS(path).value_or(0);
        char ack = 0;
        ASSERT_EQ(write(commands[1], "s", 1), 1);
        ASSERT_EQ(read(answers[0], &ack, 1), 1);  // ten children came and went
        const Sample between = sampler.sample();
        const std::uint64_t growth = table.groups()->groupCPUTimeNS(path).value_or(0) - usageBefore;
        EXPECT_GE(growth, 300 * ms);
        EXPECT_GE(msOf(between.deltas, "Burst"), 0.95 * static_cast<double>(growth));
    }
}

// A folder made since the previous pass is new at the next pass only, folders below it too; one
// that existed before the watch began never is.
TEST(ProcessGroupsLive, FoldersMadeSinceThePreviousPassAreNew) {
    const auto mount = cgroup2Mount(testing::TempDir::read("/proc/self/mountinfo"));
    if (!mount) GTEST_SKIP() << "no cgroup2 hierarchy mounted";
    const std::string base = *cgroupFolder(*mount, "/sapwelltest-watch-" + std::to_string(getpid()));
    if (mkdir(base.c_str(), 0755) != 0) GTEST_SKIP() << "cgroup2 hierarchy not writable: " << std::strerror(errno);
    const std::string made = base + "/made", below = made + "/below";
    std::shared_ptr<void> cleanup(nullptr, [&](void*) {
        for (const std::string& f : {below, made, base}) rmdir(f.c_str());
    });
    CgroupWatch watch(mount->mountPoint);
    watch.nextPass();
    ASSERT_EQ(mkdir(made.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(below.c_str(), 0755), 0);
    // Base, made and below, at the next pass and the one after.
    for (const std::vector<bool>& isNew : {std::vector{false, true, true}, std::vector{false, false, false}}) {
        watch.nextPass();
        EXPECT_EQ((std::vector{watch.isNew(base), watch.isNew(made), watch.isNew(below)}), isNew);
    }
    // Made again after its removal: new again.
    ASSERT_EQ(rmdir(below.c_str()), 0);
    watch.nextPass();
    ASSERT_EQ(mkdir(below.c_str(), 0755), 0);
    watch.nextPass();
    EXPECT_TRUE(watch.isNew(below));
}

}  // namespace
}  // namespace sapwell::platform
