#include <gtest/gtest.h>

#include "AppUnit.hpp"
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

TEST(ProcStat, ParsesFieldsAfterTheLastParenthesisAndConvertsTicks) {
    const auto s = parseProcStat("12 (a) b (c) S 1 1 1 0 -1 2097216 0 0 0 0 11 22 0 0\n");  // a hostile name
    ASSERT_TRUE(s);
    EXPECT_EQ(std::tuple(s->flags, s->utimeTicks, s->stimeTicks), std::tuple(2097216u, 11u, 22u));
    // stime missing, negative flags, junk in utime, no ")"
    for (const char* bad : {"12 (x) S 1 1 1 0 -1 64 0 0 0 0 5", "12 (x) S 1 1 1 0 -1 -64 0 0 0 0 5 6",
                            "12 (x) S 1 1 1 0 -1 64 0 0 0 0 5x 6", "12 x S 1 1 1 0 -1 64 0 0 0 0 5 6"})
        EXPECT_FALSE(parseProcStat(bad)) << bad;
    EXPECT_EQ(std::tuple(ticksToNS(1, 300), ticksToNS(~0ull, 100), ticksToNS(5, 0)), std::tuple(3'333'333u, ~0ull, 0u));
}

}  // namespace
}  // namespace sapwell::platform
