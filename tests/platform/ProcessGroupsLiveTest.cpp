// The sampler over the real kernel: work done between two passes by processes that are gone, or
// new, by the time of the second pass.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "Cgroup.hpp"
#include "LinuxClocks.hpp"
#include "LinuxProcessTable.hpp"
#include "Sampler.hpp"

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

std::uint64_t amountOf(const NamedAmounts& deltas, const std::string& name) {
    for (const auto& [n, amount] : deltas)
        if (n == name) return amount;
    return 0;
}

// A child that dies with the test and waits for one-byte commands: 's' runs ten short-lived busy
// children one after another, 'q' ends it. It answers each command with one byte.
pid_t startHolder(int commands, int answers) {
    const pid_t parent = getpid(), pid = fork();
    if (pid != 0) return pid;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(0);
    for (char c = 0; read(commands, &c, 1) == 1 && c != 'q';) {
        for (int i = 0; i < 10; ++i) {
            const pid_t worker = fork();
            if (worker == 0) burn(30 * ms), _exit(0);
            if (worker > 0) waitpid(worker, nullptr, 0);
        }
        if (write(answers, "k", 1) != 1) _exit(1);
    }
    _exit(0);
}

TEST(ProcessGroupsLive, WorkBetweenPassesLandsUnderItsOwner) {
    std::ifstream in("/proc/self/mountinfo");
    std::ostringstream mountinfo;
    mountinfo << in.rdbuf();
    const auto mount = cgroup2Mount(mountinfo.str());
    if (!mount || mount->root != "/") GTEST_SKIP() << "no cgroup2 hierarchy mounted whole";
    // Named as a desktop names an application's scope, so the group has an owner of its own.
    const std::string path = "/app-sapwelltest.Burst-" + std::to_string(getpid()) + ".scope";
    const std::filesystem::path folder = *cgroupFolder(*mount, path);
    if (mkdir(folder.c_str(), 0755) != 0)
        GTEST_SKIP() << "cgroup2 hierarchy at " << mount->mountPoint << " not writable: " << std::strerror(errno);
    int commands[2], answers[2];
    ASSERT_EQ(pipe(commands), 0);
    ASSERT_EQ(pipe(answers), 0);
    const pid_t holder = startHolder(commands[0], answers[1]);
    ASSERT_GT(holder, 0);
    std::shared_ptr<void> cleanup(nullptr, [&](void*) {
        kill(holder, SIGKILL), waitpid(holder, nullptr, 0);
        for (int i = 0; i < 50 && rmdir(folder.c_str()) != 0 && errno == EBUSY; ++i) usleep(20'000);
        for (int fd : {commands[0], commands[1], answers[0], answers[1]}) close(fd);
    });
    {
        std::ofstream procs(folder / "cgroup.procs");
        procs << holder << std::flush;
        if (!procs) GTEST_SKIP() << "cannot move a process into " << folder;
    }

    LinuxProcessTable table;
    LinuxClocks clocks;
    ASSERT_NE(table.groups(), nullptr);
    EXPECT_EQ(table.groups()->groupOf(holder), path);
    Sampler sampler(Metric::cpuTime, table, clocks);
    sampler.sample();  // the group's baseline, with its holder as member
    const std::uint64_t usageBefore = table.groups()->groupCPUTimeNS(path).value_or(0);
    char ack = 0;
    ASSERT_EQ(write(commands[1], "s", 1), 1);
    ASSERT_EQ(read(answers[0], &ack, 1), 1);  // ten children came and went
    const Sample between = sampler.sample();
    const std::uint64_t growth = table.groups()->groupCPUTimeNS(path).value_or(0) - usageBefore;
    EXPECT_GE(growth, 300 * ms);
    EXPECT_GE(static_cast<double>(amountOf(between.deltas, "Burst") * ms), 0.95 * static_cast<double>(growth));

    // A child born between two passes, busy for 0.3 s and alive at the second.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t parent = getpid(), child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(0);
        burn(300 * ms);
        if (write(ready[1], "r", 1) == 1) pause();
        _exit(0);
    }
    std::shared_ptr<void> reap(nullptr, [&](void*) {
        kill(child, SIGKILL), waitpid(child, nullptr, 0), close(ready[0]), close(ready[1]);
    });
    ASSERT_EQ(read(ready[0], &ack, 1), 1);
    const std::uint64_t childCPU = table.taskCPUTimeNS(child).value_or(0);
    const auto owner = table.ownerOf(child, table.processPath(child));
    const std::string name = owner ? owner->app : table.processName(child).value_or("");
    const Sample born = sampler.sample();
    EXPECT_GE(static_cast<double>(amountOf(born.deltas, name) * ms), 0.95 * static_cast<double>(childCPU)) << name;
}

}  // namespace
}  // namespace sapwell::platform
