#include <gtest/gtest.h>

#include "AppUnit.hpp"

namespace sapwell::platform {
namespace {

TEST(AppUnit, SystemCgroupsFromTheUnifiedHierarchyLine) {
    EXPECT_EQ(unifiedCgroupPath("4:memory:/x\n1:cpu:/\n0::/user.slice/a.scope\n"),
              "/user.slice/a.scope");
    EXPECT_EQ(unifiedCgroupPath("4:memory:/x\n1:cpu:/\n"), std::nullopt);  // cgroup v1 only
    for (const auto& [path, system] :
         {std::pair{"/system.slice/cron.service", true},
          {"/init.scope", true},
          {"/user.slice/user-1000.slice/user@1000.service/init.scope", false},
          {"/system.slicex/a", false}})
        EXPECT_EQ(isSystemCgroup(path), system) << path;
}

TEST(AppUnit, ApplicationIdFromUnitPath) {
    const std::string user = "/user.slice/user-1000.slice/user@1000.service/app.slice/";
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {user + "app-gnome-org.gnome.Terminal-4242.scope", "org.gnome.Terminal"},
        {user + "app-org.kde.konsole-2a5b.scope", "org.kde.konsole"},
        {user + "app-flatpak-org.mozilla.firefox-12345.scope", "org.mozilla.firefox"},
        {user + "app-gnome-google\\x2dchrome-9.scope/extra/child", "google-chrome"},
        {user + "app-org.gnome.Evolution.service", "org.gnome.Evolution"},
        {user + "app-gnome-org.gnome.Evolution@abc.service", "org.gnome.Evolution"},
        {user + "app-gnome\\x2dsession\\x2dmanager.slice/gnome-session-manager@ubuntu.service",
         std::nullopt},
        {"/user.slice/user-1000.slice/session-2.scope", std::nullopt},
        {user + "app-nodash.scope", std::nullopt},  // a scope needs its random part
        // Ids that could not name a file, or would leave the applications folder.
        {user + "app-gnome-..-1.scope", std::nullopt},
        {user + "app-gnome-a\\x2fb-1.scope", std::nullopt},
        {user + "app-gnome--1.scope", std::nullopt},
        {user + "app-x.socket", std::nullopt},
    };
    for (const auto& [path, appId] : cases) EXPECT_EQ(appIdOfCgroup(path), appId) << path;
    EXPECT_EQ(shortAppName("org.gnome.Terminal"), "Terminal");
    EXPECT_EQ(shortAppName("odd."), "odd");
}

}  // namespace
}  // namespace sapwell::platform
