#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "Fakes.hpp"
#include "LinuxProcessTable.hpp"
#include "Sampler.hpp"
#include "TempDir.hpp"

namespace sapwell::platform {
namespace {

using sapwell::testing::TempDir;

std::string stat(Pid pid, std::uint64_t flags, std::uint64_t utime = 0, std::uint64_t stime = 0) {
    return std::to_string(pid) + " (a) b (c) S 1 1 1 0 -1 " + std::to_string(flags) + " 0 0 0 0 " +
           std::to_string(utime) + " " + std::to_string(stime) + " 0 0 20 0 1 0\n";
}

// A procfs look-alike with data folders next to it.
class ProcFixture : public ::testing::Test {
protected:
    TempDir t;
    const std::string user = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/";

    void process(Pid pid, std::uint64_t flags, const std::string& cgroup,
                 std::optional<std::string> exe, const std::string& comm = "comm\n") {
        const std::string dir = "proc/" + std::to_string(pid) + "/";
        t.write(dir + "stat", stat(pid, flags, 150, 50));
        t.write(dir + "cgroup", "1:name=systemd:/\n" + cgroup + "\n");
        t.write(dir + "comm", comm);
        if (exe) std::filesystem::create_symlink(*exe, t / (dir + "exe"));
    }
    LinuxProcessTable table() {
        return LinuxProcessTable(t / "proc", t / "home", {t / "share1", t / "share2"});
    }
    std::optional<Owner> ownerOf(LinuxProcessTable& tab, Pid pid) {
        return tab.ownerOf(pid, tab.processPath(pid));
    }
};

TEST_F(ProcFixture, LinuxOwnerRules) {
    const auto terminal = t.write("share2/applications/org.gnome.Terminal.desktop",
                                  "[Desktop Entry]\nName=Terminal\n");
    const auto chrome =
        t.write("home/applications/google-chrome.desktop", "[Desktop Entry]\nName=Google Chrome\n");
    t.write("share1/applications/google-chrome.desktop", "[Desktop Entry]\nName=Shadowed\n");

    struct Case {
        Pid pid;
        std::uint64_t flags;
        std::string cgroup;
        std::optional<std::string> exe;
        std::optional<Owner> owner;
    };
    const Case cases[] = {
        {2, 0x00208040, "0::/", std::nullopt, Owner{"Linux", std::nullopt}},  // kernel thread
        {10, 0, "0::/system.slice/cron.service", "/usr/sbin/cron", Owner{"Linux", std::nullopt}},
        {1, 0, "0::/init.scope", "/usr/lib/systemd/systemd", Owner{"Linux", std::nullopt}},
        // The terminal's shell runs another executable but belongs to the terminal.
        {20, 0, user + "app-gnome-org.gnome.Terminal-4242.scope", "/usr/bin/gnome-terminal-server",
         Owner{"Terminal", terminal.string()}},
        {21, 0, user + "app-gnome-org.gnome.Terminal-4242.scope", "/usr/bin/bash",
         Owner{"Terminal", terminal.string()}},
        {30, 0, user + "app-gnome-google\\x2dchrome-77.scope", "/opt/google/chrome/chrome",
         Owner{"Google Chrome", chrome.string()}},
        {40, 0, user + "app-flatpak-org.example.Missing-5.scope", "/app/bin/missing",
         Owner{"Missing", std::nullopt}},
        {50, 0, "0::/user.slice/user-1000.slice/session-2.scope", "/opt/tool/bin/agent",
         Owner{"agent", std::nullopt}},
        {51, 0, "0::/user.slice/user-1000.slice/session-2.scope", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) process(c.pid, c.flags, c.cgroup, c.exe);
    auto tab = table();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pid);
        EXPECT_EQ(ownerOf(tab, c.pid), c.owner);
    }
}

TEST_F(ProcFixture, SamplerNamesByOwnerThenShortNameThenPid) {
    process(2, 0x00200000, "0::/", std::nullopt, "kthreadd\n");
    process(60, 0, "0::/", std::nullopt, "short\n");
    process(61, 0, "0::/", std::nullopt, "");
    t.write("home/applications/org.x.Edit.desktop", "[Desktop Entry]\nName=Edit, Pro\n");
    process(62, 0, user + "app-org.x.Edit.service", "/usr/bin/edit");
    auto tab = table();
    testing::FakeClocks clocks;
    Sampler s(Metric::cpuTime, tab, clocks);
    s.primeBundles();
    EXPECT_EQ(s.bundle("Edit, Pro"), (t / "home/applications/org.x.Edit.desktop").string());
    EXPECT_EQ(s.bundle("Linux"), std::nullopt);
    // Names are only visible through deltas: grow every process once.
    s.sample();
    for (Pid pid : {2, 60, 61, 62})
        t.write("proc/" + std::to_string(pid) + "/stat",
                stat(pid, pid == 2 ? 0x00200000 : 0, 151, 50));
    clocks.advance(15);
    auto deltas = s.sample().deltas;
    std::sort(deltas.begin(), deltas.end());
    EXPECT_EQ(deltas,
              (NamedAmounts{{"Edit_ Pro", 10}, {"Linux", 10}, {"pid-61", 10}, {"short", 10}}));
}

TEST_F(ProcFixture, ProbesReadTheTree) {
    process(100, 0, "0::/", "/opt/app/bin/tool (deleted)");
    process(7, 0, "0::/", "/opt/bad\xff/x");
    process(8, 0, "0::/", std::nullopt, "kworker/0:1\n");
    t.write("proc/self/stat", "not a process");
    t.write("proc/0/stat", "");
    t.write("proc/abc/stat", "");
    t.write("proc/12x/stat", "");
    auto tab = table();

    auto pids = tab.listPIDs();
    std::sort(pids.begin(), pids.end());
    EXPECT_EQ(pids, (std::vector<Pid>{7, 8, 100}));
    EXPECT_EQ(tab.processPath(100), "/opt/app/bin/tool");
    EXPECT_EQ(tab.processName(100), "tool");
    EXPECT_EQ(tab.processPath(7), "/opt/bad\xEF\xBF\xBD/x");
    EXPECT_EQ(tab.processPath(8), std::nullopt);
    EXPECT_EQ(tab.processName(8), "kworker/0:1");
    EXPECT_EQ(tab.processName(9), std::nullopt);
    EXPECT_EQ(tab.energyNJ(100), std::nullopt);
    // 200 ticks from the stat file.
    EXPECT_EQ(tab.taskCPUTimeNS(100),
              200u * (1'000'000'000u / static_cast<std::uint64_t>(sysconf(_SC_CLK_TCK))));
    EXPECT_EQ(tab.taskCPUTimeNS(9), std::nullopt);
    EXPECT_EQ(detectMetric(tab), Metric::cpuTime);
}

// The real seam against the live machine.
TEST(LinuxProcessTableLive, BusyChildAppearsGrowsAndDisappears) {
    const pid_t parent = getpid();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(0);
        volatile unsigned long spin = 0;
        for (;;) spin = spin + 1;
    }
    struct Reaper {
        pid_t pid;
        ~Reaper() {
            if (pid > 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
    } reaper{child};

    LinuxProcessTable table;
    const auto pids = table.listPIDs();
    EXPECT_NE(std::find(pids.begin(), pids.end(), child), pids.end());
    EXPECT_TRUE(std::all_of(pids.begin(), pids.end(), [](Pid p) { return p > 0; }));

    const auto self = table.processPath(parent);
    ASSERT_TRUE(self.has_value());
    EXPECT_EQ(table.processPath(child), self);
    EXPECT_EQ(table.processName(child), OwnerResolver::lastComponent(*self));
    const auto owner = table.ownerOf(parent, self);
    ASSERT_TRUE(owner.has_value());
    EXPECT_EQ(table.ownerOf(child, table.processPath(child)), owner);

    testing::FakeClocks clocks;
    Sampler sampler(Metric::cpuTime, table, clocks);
    sampler.sample();
    const auto before = table.taskCPUTimeNS(child);
    ASSERT_TRUE(before.has_value());
    std::optional<std::uint64_t> after;
    for (int i = 0; i < 100 && (!after || *after < *before + 20'000'000); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        after = table.taskCPUTimeNS(child);
    }
    ASSERT_TRUE(after.has_value());
    EXPECT_GE(*after, *before + 20'000'000);
    clocks.advance(15);
    const Sample sample = sampler.sample();
    const auto it = std::find_if(sample.deltas.begin(), sample.deltas.end(),
                                 [&](const NamedAmount& d) { return d.first == owner->app; });
    ASSERT_NE(it, sample.deltas.end());
    EXPECT_GE(it->second, 20u);

    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    reaper.pid = 0;
    const auto later = table.listPIDs();
    EXPECT_EQ(std::find(later.begin(), later.end(), child), later.end());
    EXPECT_EQ(table.taskCPUTimeNS(child), std::nullopt);
}

}  // namespace
}  // namespace sapwell::platform
