#include <gtest/gtest.h>

#include "AppUnit.hpp"
#include "Cgroup.hpp"
#include "LibraryHelper.hpp"
#include "ProcStat.hpp"

namespace sapwell::platform {
namespace {

TEST(AppUnit, SystemCgroupsFromTheUnifiedHierarchyLine) {
    EXPECT_EQ(unifiedCgroupPath("4:memory:/x\n1:cpu:/\n0::/user.slice/a.scope\n"), "/user.slice/a.scope");
    EXPECT_EQ(unifiedCgroupPath("4:memory:/x\n1:cpu:/\n"), std::nullopt);  // cgroup v1 only
    for (const auto& [path, system] : {std::pair{"/system.slice/cron.service", true}, {"/init.scope", true},
                                       {"/user.slice/user-1000.slice/user@1000.service/init.scope", false},
                                       {"/system.slicex/a", false}})
        EXPECT_EQ(isSystemCgroup(path), system) << path;
}

TEST(AppUnit, ApplicationIdFromUnitPath) {
    const std::string user = "/user.slice/user-1000.slice/user@1000.service/app.slice/";
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"app-gnome-org.gnome.Terminal-4242.scope", "org.gnome.Terminal"}, {"app-org.kde.konsole-2a5b.scope", "org.kde.konsole"},
        {"app-flatpak-org.mozilla.firefox-12345.scope", "org.mozilla.firefox"},
        {"app-gnome-google\\x2dchrome-9.scope/extra/child", "google-chrome"},
        {"app-gnome-org.gnome.Evolution@abc.service", "org.gnome.Evolution"},
        // The id is what follows the last raw dash, even after a launcher that left one of its own.
        {"app-my-launcher-org.gnome.Evolution\\x2dalarm@1.service", "org.gnome.Evolution-alarm"},
        {"app-gnome\\x2dsession\\x2dmanager.slice/gnome-session-manager@ubuntu.service", std::nullopt},
        {"app-nodash.scope", std::nullopt},  // a scope needs its random part
        // Ids that could not name a file, or would leave the applications folder.
        {"app-gnome-..-1.scope", std::nullopt}, {"app-gnome-a\\x2fb-1.scope", std::nullopt}, {"app-x.socket", std::nullopt},
    };
    for (const auto& [unit, appId] : cases) EXPECT_EQ(appIdOfCgroup(user + unit), appId) << unit;
    EXPECT_EQ(appIdOfCgroup("/user.slice/user-1000.slice/session-2.scope"), std::nullopt);
    EXPECT_EQ(std::pair(shortAppName("org.gnome.Terminal"), shortAppName("odd.")), std::pair(std::string("Terminal"), std::string("odd")));
}

TEST(AppUnit, GroupOwnerIsTheNearestUnitThatNamesAnApplication) {
    const std::string app = "/user.slice/user-1000.slice/user@1000.service/app.slice/";
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        // A terminal's tabs: the scope names nothing, the slice above it the terminal.
        {app + "app-org.gnome.Terminal.slice/vte-spawn-5d1e.scope", "org.gnome.Terminal"},
        {app + "app-gnome-org.gnome.Terminal.slice/vte-spawn-5d1e.scope", "org.gnome.Terminal"},
        {app + "app-org.gnome.Terminal.slice/app-flatpak-org.mozilla.firefox-9.scope", "org.mozilla.firefox"},
        {app + "app-gnome-org.gnome.Evolution@abc.service/extra/child", "org.gnome.Evolution"},
        // A launcher's own slice, and slices that are no application.
        {app + "app-gnome\\x2dsession\\x2dmanager.slice/gnome-session-manager@ubuntu.service", std::nullopt},
        {app + "app-gnome.slice/x.scope", std::nullopt},
        {"/user.slice/user-1000.slice/session-2.scope", std::nullopt},
    };
    for (const auto& [path, appId] : cases) EXPECT_EQ(appIdOfGroup(path), appId) << path;
    // A process in a tab keeps the owner rules of its own unit.
    EXPECT_EQ(appIdOfCgroup(cases[0].first), std::nullopt);
}

TEST(Cgroup, FindsTheUnifiedMountAndGroupFolders) {
    const std::string hybrid =
        "30 22 0:27 / /sys/fs/cgroup rw,relatime - tmpfs tmpfs rw,mode=755\n"
        "31 30 0:28 / /sys/fs/cgroup/cpu rw,relatime - cgroup cgroup rw,cpu\n"
        "40 30 0:37 / /sys/fs/cgroup/unified rw,relatime shared:9 - cgroup2 cgroup2 rw\n";
    EXPECT_EQ(cgroup2Mount(hybrid), (Cgroup2Mount{"/sys/fs/cgroup/unified", "/"}));
    // A subtree mounted first, the whole hierarchy later (escaped space in the mount point).
    const std::string two = "50 1 0:40 /box /srv/c rw - cgroup2 none rw\n"
                            "51 1 0:40 / /run/my\\040cg rw - cgroup2 none rw\n";
    EXPECT_EQ(cgroup2Mount(two), (Cgroup2Mount{"/run/my cg", "/"}));
    EXPECT_EQ(cgroup2Mount(two.substr(0, two.find('\n') + 1)), (Cgroup2Mount{"/srv/c", "/box"}));
    EXPECT_EQ(cgroup2Mount(hybrid.substr(0, hybrid.find("40 30"))), std::nullopt);  // v1 only
    EXPECT_EQ(cgroup2Mount("1 2 3 / /x - cgroup2x y z\nbroken line\n"), std::nullopt);

    const Cgroup2Mount whole{"/sys/fs/cgroup", "/"}, box{"/srv/c/", "/box"};
    const std::tuple<Cgroup2Mount, std::string, std::optional<std::string>> folders[] = {
        {whole, "/app.slice/a.scope", "/sys/fs/cgroup/app.slice/a.scope"},
        {whole, "/", std::nullopt},  // the root holds everything
        {whole, "/a/../../etc", std::nullopt}, {whole, "relative", std::nullopt},
        {box, "/box/a.scope", "/srv/c/a.scope"}, {box, "/box", std::nullopt}, {box, "/boxer/a", std::nullopt},
        {box, "/other/a", std::nullopt},
    };
    for (const auto& [mount, path, folder] : folders) EXPECT_EQ(cgroupFolder(mount, path), folder) << path;

    EXPECT_EQ(cpuStatUsageNS("usage_usec 392644000\nuser_usec 1\n"), 392'644'000'000u);
    EXPECT_EQ(cpuStatUsageNS("user_usec 5\nusage_usec 7"), 7'000u);
    EXPECT_EQ(cpuStatUsageNS("usage_usec 18446744073709551615\n"), ~0ull);  // saturates
    for (const char* bad : {"", "user_usec 5\n", "usage_usec -1\n", "usage_usec 5x\n"})
        EXPECT_EQ(cpuStatUsageNS(bad), std::nullopt) << bad;
}

TEST(ProcStat, ParsesFieldsAfterTheLastParenthesisAndConvertsTicks) {
    const auto s = parseProcStat("12 (a) b (c) S 1 1 1 0 -1 2097216 0 0 0 0 11 22 0 0\n");  // a hostile name
    ASSERT_TRUE(s);
    EXPECT_EQ(std::tuple(s->parentPid, s->flags, s->utimeTicks, s->stimeTicks, s->startTicks),
              std::tuple(1u, 2097216u, 11u, 22u, std::nullopt));
    // The start time (field 22) when the line reaches it; junk there spoils only the start.
    const std::string upTo21 = "9 (x) S 1 1 1 0 -1 64 0 0 0 0 5 6 0 0 20 0 1 0 ";
    EXPECT_EQ(parseProcStat(upTo21 + "4242 1000 99\n")->startTicks, 4242u);
    EXPECT_EQ(parseProcStat(upTo21 + "42x\n")->utimeTicks, 5u);
    EXPECT_EQ(parseProcStat(upTo21 + "42x\n")->startTicks, std::nullopt);
    // stime missing, negative flags, junk in utime, no ")"
    for (const char* bad : {"12 (x) S 1 1 1 0 -1 64 0 0 0 0 5", "12 (x) S 1 1 1 0 -1 -64 0 0 0 0 5 6",
                            "12 (x) S 1 1 1 0 -1 64 0 0 0 0 5x 6", "12 x S 1 1 1 0 -1 64 0 0 0 0 5 6"})
        EXPECT_FALSE(parseProcStat(bad)) << bad;
    EXPECT_EQ(std::tuple(ticksToNS(1, 300), ticksToNS(~0ull, 100), ticksToNS(5, 0)), std::tuple(3'333'333u, ~0ull, 0u));
}

TEST(LibraryHelper, LibexecFoldersAndWebKitProcessesInLibraryFolders) {
    const std::pair<std::string, bool> cases[] = {
        {"/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/WebKitWebProcess", true},
        {"/usr/lib64/webkit2gtk-4.1/WebKitNetworkProcess", true}, {"/usr/lib/wpe-webkit-1.1/WPEWebProcess", true},
        {"/usr/libexec/gvfsd", true}, {"/usr/libexec/gcc/x86_64-redhat-linux/12/cc1plus", true},
        {"/usr/lib/x86_64-linux-gnu/libexec/kf5/kioslave5", true}, {"/usr/local/libexec/helper", true},
        {"/libexec/x", true},
        // Programs a user starts, the applications' own executables and lookalikes elsewhere.
        {"/usr/lib/firefox-esr/firefox-esr", false}, {"/usr/bin/WebKitWebProcess", false},
        {"/usr/lib/gcc/x86_64-linux-gnu/12/cc1plus", false}, {"/opt/app/libexec/helper", false},
        {"/home/me/usr/libexec/x", false}, {"/usr/libexec", false}, {"/usr/lib/x/WebKitWebProcess.so", false},
        {"usr/libexec/x", false}, {"", false}};
    for (const auto& [path, helper] : cases) EXPECT_EQ(isLibraryHelper(path), helper) << path;
}

}  // namespace
}  // namespace sapwell::platform
