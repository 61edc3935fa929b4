#include "InstanceLock.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>

#include "ForeignFile.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

namespace fs = std::filesystem;
using R = InstanceLock::Result;

// A lock whose file was removed or replaced guards nothing: renewing takes it again on the file at
// the path now, so a later start is refused, unless another instance has taken that one already.
TEST(InstanceLock, RenewingTakesTheLockAgainOnTheFileAtThePath) {
    const auto nothing = [](const fs::path&) {};
    const auto removeFile = [](const fs::path& f) { fs::remove(f); };
    const struct { const char* label; std::function<void(const fs::path&)> meddle; bool another; R renewed; } cases[] = {
        {"Untouched", nothing, false, R::acquired},
        {"FileRemoved", removeFile, false, R::acquired},
        {"FolderRemoved", [](const fs::path& f) { fs::remove_all(f.parent_path()); }, false, R::acquired},
        {"FileReplaced", [](const fs::path& f) { fs::remove(f), std::ofstream(f) << "x"; }, false, R::acquired},
        {"RemovedAndTakenByAnother", removeFile, true, R::heldElsewhere},
    };
    for (const auto& c : cases) {
        testing::TempDir dir;
        const fs::path file = dir / "Sapwell/sapwell.lock";
        std::string reason;
        InstanceLock lock, other, later;
        ASSERT_EQ(lock.acquire(file, reason), R::acquired) << c.label;
        c.meddle(file);
        if (c.another) {
            ASSERT_EQ(other.acquire(file, reason), R::acquired) << c.label;
        }
        EXPECT_EQ(lock.renew(reason), c.renewed) << c.label;
        EXPECT_EQ(lock.held(), c.renewed == R::acquired) << c.label;
        EXPECT_EQ(later.acquire(file, reason), R::heldElsewhere) << c.label;
    }
}

// Only a regular file of the user's own is locked, and never through a link: one left dangling
// must not have its target made, wherever it points.
TEST(InstanceLock, LocksOnlyARegularFileOfTheUsersOwnNeverThroughALink) {
    testing::TempDir dir;
    const fs::path target = dir / "target", own = dir.write("own", "");
    const struct { const char* label; std::function<void(const fs::path&)> plant; } cases[] = {
        {"LinkToNowhere", [&](const fs::path& f) { fs::create_symlink(target, f); }},
        {"LinkToOwnFile", [&](const fs::path& f) { fs::create_symlink(own, f); }},
        {"Pipe", [](const fs::path& f) { mkfifo(f.c_str(), 0600); }},
        {"Folder", [](const fs::path& f) { fs::create_directory(f); }},
        {"AnotherUsersFile", [&](const fs::path& f) { fs::create_symlink(testing::foreignFile(dir), f); }},
    };
    for (const auto& c : cases) {
        const fs::path file = dir / c.label / "sapwell.lock";
        fs::create_directories(file.parent_path());
        c.plant(file);
        std::string reason;
        InstanceLock lock;
        EXPECT_EQ(lock.acquire(file, reason), R::unavailable) << c.label;
        EXPECT_FALSE(reason.empty() || lock.held()) << c.label;
        EXPECT_FALSE(fs::exists(target)) << c.label;
    }
}

}  // namespace
}  // namespace sapwell
