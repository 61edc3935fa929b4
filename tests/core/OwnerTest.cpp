#include <gtest/gtest.h>

#include "Owner.hpp"

namespace sapwell {
namespace {

TEST(OwnerResolver, ResolvesPathsByTheirText) {
    const std::string ed = "/Applications/Editor.app",
                      shell = "/System/Library/CoreServices/Shell.app";
    for (const auto& [path, app, bundle] :
         {std::tuple{ed + "/Contents/MacOS/Editor", "Editor", ed},
          {ed + "/Contents/Frameworks/Editor Helper.app/Contents/MacOS/Editor Helper", "Editor",
           ed},
          {ed + "/Contents/XPCServices/Render.xpc/Contents/MacOS/Render", "Editor", ed},
          {shell + "/Contents/MacOS/Shell", "Shell", shell},
          {"/Users/me/site.app/bin/server", "site", "/Users/me/site.app"},
          {".app/x", "", ".app"}})
        EXPECT_EQ(OwnerResolver::resolve(path), (Owner{app, bundle})) << path;
    for (const char* path : {"/usr/libexec/daemond", "/usr/local/bin/tool", "/sbin/daemon",
                             "/bin/sh", "/Library/Apple/System/agent"})
        EXPECT_EQ(OwnerResolver::resolve(path), (Owner{"macOS", std::nullopt})) << path;
    for (const auto& [path, app] : {std::pair{"/opt/tools/bin/agent", "agent"},
                                    {"/Applications/Editor.APP/Contents/MacOS/Editor", "Editor"},
                                    {"/opt/Thing.app", "Thing.app"},
                                    {"/opt/tools/", "tools"},
                                    {"/usr", "usr"},
                                    {"/", "/"},
                                    {"", ""}})
        EXPECT_EQ(OwnerResolver::resolve(path), (Owner{app, std::nullopt})) << path;
}

}  // namespace
}  // namespace sapwell
