#include <gtest/gtest.h>

#include "AppUnit.hpp"

namespace sapwell::platform {
namespace {

TEST(AppUnit, FindsTheUnifiedHierarchyLine) {
    EXPECT_EQ(unifiedCgroupPath("0::/init.scope\n"), "/init.scope");
    EXPECT_EQ(unifiedCgroupPath("4:memory:/x\n1:cpu:/\n0::/user.slice/a.scope\n"),
              "/user.slice/a.scope");
    EXPECT_EQ(unifiedCgroupPath("4:memory:/x\n1:cpu:/\n"), std::nullopt);  // cgroup v1 only
    EXPECT_EQ(unifiedCgroupPath(""), std::nullopt);
}

TEST(AppUnit, SystemCgroups) {
    struct Case {
        const char* path;
        bool system;
    };
    for (const Case c : {Case{"/system.slice/cron.service", true}, Case{"/init.scope", true},
                         Case{"/system.slice", true}, Case{"/", false},
                         Case{"/user.slice/user-1000.slice/user@1000.service/init.scope", false},
                         Case{"/user.slice/user-1000.slice/session-2.scope", false},
                         Case{"/system.slicex/a", false}}) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(isSystemCgroup(c.path), c.system);
    }
}

TEST(AppUnit, ApplicationIdFromUnitPath) {
    const std::string user = "/user.slice/user-1000.slice/user@1000.service/app.slice/";
    struct Case {
        std::string path;
        std::optional<std::string> appId;
    };
    const Case cases[] = {
        {user + "app-gnome-org.gnome.Terminal-4242.scope", "org.gnome.Terminal"},
        {user + "app-org.kde.konsole-2a5b.scope", "org.kde.konsole"},
        {user + "app-flatpak-org.mozilla.firefox-12345.scope", "org.mozilla.firefox"},
        {user + "app-gnome-google\\x2dchrome-9.scope", "google-chrome"},
        {user + "app-gnome-google\\x2dchrome-9.scope/extra/child", "google-chrome"},
        {user + "app-org.gnome.Evolution.service", "org.gnome.Evolution"},
        {user + "app-gnome-org.gnome.Evolution@abc.service", "org.gnome.Evolution"},
        {user + "app-org.gnome.Evolution@abc.service", "org.gnome.Evolution"},
        {user + "app-gnome\\x2dsession\\x2dmanager.slice/gnome-session-manager@ubuntu.service",
         std::nullopt},
        {"/user.slice/user-1000.slice/user@1000.service/session.slice/"
         "org.gnome.Shell@wayland.service",
         std::nullopt},
        {"/user.slice/user-1000.slice/session-2.scope", std::nullopt},
        {"/app-x-1.scope", "x"},
        {user + "app-nodash.scope", std::nullopt},  // a scope needs its random part
        {user + "app-gnome-..-1.scope", std::nullopt},
        {user + "app-gnome-a\\x2fb-1.scope", std::nullopt},  // would leave the folder
        {user + "app-gnome--1.scope", std::nullopt},
        {user + "app-x.socket", std::nullopt},
        {"/", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(appIdOfCgroup(c.path), c.appId);
    }
}

TEST(AppUnit, ShortNameIsTheLastDottedPart) {
    EXPECT_EQ(shortAppName("org.gnome.Terminal"), "Terminal");
    EXPECT_EQ(shortAppName("firefox"), "firefox");
    EXPECT_EQ(shortAppName("odd."), "odd");
    EXPECT_EQ(shortAppName("..."), "...");
}

}  // namespace
}  // namespace sapwell::platform
