#include <gtest/gtest.h>

#include <algorithm>

#include "ForkedChild.hpp"
#include "LinuxProcessTable.hpp"
#include "TempDir.hpp"

namespace sapwell::platform {
namespace {

TEST(LinuxProcessTable, ReadsAProcTreeAndResolvesLinuxOwners) {
    sapwell::testing::TempDir t;
    const auto term = t.write("share2/applications/org.gnome.Terminal.desktop", "[Desktop Entry]\nName=Terminal\n");
    const auto chrome = t.write("home/applications/google-chrome.desktop", "[Desktop Entry]\nName=Chrome\n");
    const std::string app = "/user.slice/app.slice/app-";
    const Owner sys{"Linux", {}};
    const std::tuple<Pid, std::string, std::optional<std::string>, std::optional<Owner>> cases[] = {
        {2, "/", {}, sys},  // a kernel thread, by its stat flags
        {10, "/system.slice/cron.service", "/usr/sbin/cron", sys},
        // The terminal's shell runs another executable but belongs to the terminal.
        {21, app + "org.gnome.Terminal-42.scope", "/bin/bash", Owner{"Terminal", term.string()}},
        {30, app + "gnome-google\\x2dchrome-7.scope", "/opt/c", Owner{"Chrome", chrome.string()}},
        {40, app + "flatpak-org.example.Missing-5.scope", "/app/bin/x", Owner{"Missing", {}}},
        {50, "/user.slice/session-2.scope", "/opt/bin/agent (deleted)", Owner{"agent", {}}},
        {51, "/", "/opt/bad\xff", Owner{"bad\xEF\xBF\xBD", {}}},
        {52, "/user.slice/session-2.scope", {}, std::nullopt},
        {53, "/", {}, std::nullopt},
        {54, "/user.slice/session-2.scope", "/memfd:sealed-91173221a7ea (deleted)", std::nullopt},  // by its comm
    };
    for (const auto& [pid, cgroup, exe, owner] : cases) {
        const std::string dir = "proc/" + std::to_string(pid) + "/";
        t.write(dir + "stat", std::to_string(pid) + " (a) b (c) S 1 1 1 0 -1 " + (pid == 2 ? "2130000" : "0") +
                                  " 0 0 0 0 150 50 0 0 20 0\n");
        t.write(dir + "cgroup", "1:name=systemd:/\n0::" + cgroup + "\n");
        t.write(dir + "comm", pid == 53 ? "" : "kworker/0:1\n");
        if (exe) std::filesystem::create_symlink(*exe, t / (dir + "exe"));
    }
    for (const char* junk : {"self", "0", "abc", "12x"}) t.write(std::string("proc/") + junk + "/stat", "");
    LinuxProcessTable tab(t / "proc", t / "home", {t / "share1", t / "share2"});
    auto pids = tab.listPIDs();
    std::ranges::sort(pids);
    EXPECT_EQ(pids, (std::vector<Pid>{2, 10, 21, 30, 40, 50, 51, 52, 53, 54}));
    for (const auto& [pid, cgroup, exe, owner] : cases) EXPECT_EQ(tab.ownerOf(pid, tab.processPath(pid)), owner) << pid;
    EXPECT_EQ(std::tuple(tab.processName(21), tab.processName(52), tab.processName(53), tab.processName(54)),
              std::tuple("bash", "kworker/0:1", std::optional<std::string>(), "kworker/0:1"));
    EXPECT_EQ(tab.taskCPUTimeNS(10), 200 * (1'000'000'000u / sysconf(_SC_CLK_TCK)));  // stat ticks
    EXPECT_FALSE(tab.taskCPUTimeNS(9));  // gone
    EXPECT_FALSE(tab.energyNJ(10));      // Linux has no energy counter
}

// Sapwell started from a shell: its WebKit processes, and what they start in turn, count for it.
// A helper a service manager started in a unit of its own, or one left to the first process,
// keeps its own name.
TEST(LinuxProcessTable, HelpersFromLibraryFoldersCountForTheProgramThatStartedThem) {
    sapwell::testing::TempDir t;
    const std::string user = "/user.slice/user-1000.slice/user@1000.service/";
    const std::string tab = user + "app.slice/app-org.gnome.Terminal.slice/vte-spawn-1.scope";
    const std::string webkit = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/";
    const std::tuple<Pid, Pid, std::string, std::string, std::string> procs[] = {  // pid, parent, group, exe, owner
        {50, 1, user + "init.scope", "/usr/lib/systemd/systemd", "systemd"},
        {99, 50, tab, "/bin/bash", "bash"},
        {100, 99, tab, "/home/me/build/sapwell", "sapwell"},
        {101, 100, tab, webkit + "WebKitWebProcess", "sapwell"},
        {102, 100, tab, webkit + "WebKitNetworkProcess", "sapwell"},
        {103, 101, tab, "/usr/libexec/helper", "sapwell"},  // through a helper
        {110, 50, user + "app.slice/gvfs-daemon.service", "/usr/libexec/gvfsd", "gvfsd"},
        {111, 110, user + "app.slice/gvfs-daemon.service", "/usr/libexec/gvfsd-trash", "gvfsd-trash"},
        {120, 1, tab, webkit + "WebKitWebProcess", "WebKitWebProcess"},  // its program is gone
        {121, 130, tab, "/usr/libexec/lost", "lost"},                      // its parent unreadable
    };
    for (const auto& [pid, parent, group, exe, owner] : procs) {
        const std::string dir = "proc/" + std::to_string(pid) + "/";
        t.write(dir + "stat", std::to_string(pid) + " (a) S " + std::to_string(parent) + " 1 1 0 -1 0 0 0 0 0 1 1 0 0 20 0\n");
        t.write(dir + "cgroup", "0::" + group + "\n");
        std::filesystem::create_symlink(exe, t / (dir + "exe"));
    }
    LinuxProcessTable table(t / "proc", std::nullopt, {});
    for (const auto& [pid, parent, group, exe, owner] : procs)
        EXPECT_EQ(table.ownerOf(pid, table.processPath(pid)), (Owner{owner, {}})) << pid;
}

TEST(LinuxProcessTable, GroupsFromTheUnifiedHierarchyAndAgesFromStat) {
    sapwell::testing::TempDir t;
    const auto term = t.write("share/applications/org.gnome.Terminal.desktop", "[Desktop Entry]\nName=Terminal\n");
    t.write("proc/self/mountinfo", "40 30 0:37 / " + (t / "cg").string() + " rw - cgroup2 cgroup2 rw\n");
    const std::string tab = "/user.slice/app.slice/app-org.gnome.Terminal.slice/vte-spawn-1.scope";
    const std::string cron = "/system.slice/cron.service";
    t.write("cg" + tab + "/cpu.stat", "usage_usec 1500\nuser_usec 1000\n");
    t.write("cg" + cron + "/cpu.stat", "usage_usec 7\n");
    const std::string stat = " (a) S 1 1 1 0 -1 0 0 0 0 0 5 6 0 0 20 0 1 0 ";
    const std::tuple<Pid, std::string, std::string> procs[] = {
        {5, tab, "0"}, {6, "/", "0"}, {7, cron, "18446744073709551615"}, {8, "/user.slice/session-2.scope", ""}};
    for (const auto& [pid, cgroup, start] : procs) {
        t.write("proc/" + std::to_string(pid) + "/stat", std::to_string(pid) + stat + start + "\n");
        t.write("proc/" + std::to_string(pid) + "/cgroup", "1:cpu:/\n0::" + cgroup + "\n");
    }
    LinuxProcessTable table(t / "proc", std::nullopt, {t / "share"});
    ProcessGroups* groups = table.groups();
    ASSERT_NE(groups, nullptr);
    EXPECT_EQ(std::tuple(groups->groupOf(5), groups->groupOf(6), groups->groupOf(7), groups->groupOf(9)),
              std::tuple(tab, std::nullopt, cron, std::nullopt));  // the root takes no part
    EXPECT_EQ(std::tuple(groups->groupCPUTimeNS(tab), groups->groupCPUTimeNS(cron), groups->groupCPUTimeNS("/gone.scope")),
              std::tuple(1'500'000u, 7'000u, std::nullopt));
    EXPECT_EQ(groups->groupOwner(tab), (Owner{"Terminal", term.string()}));
    EXPECT_EQ(std::pair(groups->groupOwner(cron), groups->groupOwner("/user.slice/session-2.scope")),
              std::pair(std::optional(Owner{"Linux", {}}), std::optional<Owner>()));
    // Ages against the boot clock: started at boot, in the future (nonsense reads 0), unknown.
    timespec boot{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    EXPECT_NEAR(table.processAgeSeconds(5).value_or(-1), static_cast<double>(boot.tv_sec), 2.0);
    EXPECT_EQ(std::tuple(table.processAgeSeconds(7), table.processAgeSeconds(8), table.processAgeSeconds(9)),
              std::tuple(0.0, std::nullopt, std::nullopt));

    sapwell::testing::TempDir v1;
    v1.write("proc/self/mountinfo", "31 30 0:28 / /sys/fs/cgroup/cpu rw - cgroup cgroup rw,cpu\n");
    EXPECT_EQ(LinuxProcessTable(v1 / "proc").groups(), nullptr);
}

// Group files stay open from pass to pass and are matched against the previous pass's order of
// reads first: a pass that reads them in another order, fewer of them or one twice must still get
// each group's own counter as it is now.
TEST(LinuxProcessTable, GroupCountersFollowTheirFilesWhateverTheOrderOfReads) {
    sapwell::testing::TempDir t;
    t.write("proc/self/mountinfo", "40 30 0:37 / " + (t / "cg").string() + " rw - cgroup2 cgroup2 rw\n");
    LinuxProcessTable table(t / "proc");
    ProcessGroups* groups = table.groups();
    ASSERT_NE(groups, nullptr);
    const std::vector<std::vector<std::string>> passes = {
        {"/a.scope", "/b.scope", "/c.scope"}, {"/a.scope", "/c.scope", "/b.scope"}, {"/c.scope"},
        {"/b.scope", "/b.scope", "/a.scope"}, {"/a.scope", "/b.scope", "/c.scope"}};
    for (std::size_t pass = 0; pass < passes.size(); ++pass) {
        table.listPIDs();
        for (const std::string& group : passes[pass]) {
            const std::uint64_t usec = 10 * pass + static_cast<std::uint64_t>(group[1] - 'a');
            t.write("cg" + group + "/cpu.stat", "usage_usec " + std::to_string(usec) + "\n");
            EXPECT_EQ(groups->groupCPUTimeNS(group), usec * 1000) << "pass " << pass << " " << group;
        }
    }
}

TEST(LinuxProcessTableLive, BusyChildAppearsGrowsAndDisappears) {
    sapwell::testing::ForkedChild busy([] { for (volatile unsigned long spin = 0;;) spin = spin + 1; });
    const pid_t child = busy.pid();
    ASSERT_GT(child, 0);
    LinuxProcessTable table;
    EXPECT_EQ(std::ranges::count(table.listPIDs(), child), 1);
    const auto self = table.processPath(getpid());
    ASSERT_TRUE(self.has_value());
    EXPECT_EQ(table.processName(child), OwnerResolver::lastComponent(*self));
    const std::uint64_t before = table.taskCPUTimeNS(child).value_or(~0ull);
    ASSERT_NE(before, ~0ull);
    for (int i = 0; i < 100 && table.taskCPUTimeNS(child) < before + 20'000'000; ++i) usleep(20'000);
    EXPECT_GE(table.taskCPUTimeNS(child), before + 20'000'000);
    EXPECT_LT(table.processAgeSeconds(child).value_or(99), 10);
    EXPECT_GT(table.processAgeSeconds(1), table.processAgeSeconds(child));
    busy.stop();
    EXPECT_EQ(std::ranges::count(table.listPIDs(), child), 0);
    EXPECT_EQ(table.taskCPUTimeNS(child), std::nullopt);
}

}  // namespace
}  // namespace sapwell::platform
