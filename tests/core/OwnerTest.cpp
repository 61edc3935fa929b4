#include <gtest/gtest.h>

#include "Owner.hpp"

namespace sapwell {
namespace {

struct OwnerCase {
    const char* path;
    const char* app;
    std::optional<std::string> bundle;
};

TEST(OwnerResolver, ResolvesPathsByTheirText) {
    const OwnerCase cases[] = {
        {"/Applications/Editor.app/Contents/MacOS/Editor", "Editor", "/Applications/Editor.app"},
        // Nested helpers belong to the outermost application.
        {"/Applications/Editor.app/Contents/Frameworks/Editor Helper.app/Contents/MacOS/Editor "
         "Helper",
         "Editor", "/Applications/Editor.app"},
        {"/Applications/Editor.app/Contents/XPCServices/Render.xpc/Contents/MacOS/Render", "Editor",
         "/Applications/Editor.app"},
        {"/usr/libexec/daemond", "macOS", std::nullopt},
        {"/usr/local/bin/tool", "macOS", std::nullopt},
        {"/sbin/daemon", "macOS", std::nullopt},
        {"/bin/sh", "macOS", std::nullopt},
        {"/Library/Apple/System/agent", "macOS", std::nullopt},
        // An application bundle beats the system prefix.
        {"/System/Library/CoreServices/Shell.app/Contents/MacOS/Shell", "Shell",
         "/System/Library/CoreServices/Shell.app"},
        {"/opt/tools/bin/agent", "agent", std::nullopt},
        {"/Users/me/site.app/bin/server", "site", "/Users/me/site.app"},
        {"/Applications/Editor.APP/Contents/MacOS/Editor", "Editor", std::nullopt},
        {"/opt/Thing.app", "Thing.app", std::nullopt},
        {"/opt/tools/", "tools", std::nullopt},
        {"/usr", "usr", std::nullopt},
        {"/", "/", std::nullopt},
        {"", "", std::nullopt},
        {".app/x", "", ".app"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(OwnerResolver::resolve(c.path), (Owner{c.app, c.bundle}));
    }
}

}  // namespace
}  // namespace sapwell
