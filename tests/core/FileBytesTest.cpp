#include "FileBytes.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <random>
#include <string>

#include "ForeignFile.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

// Small files, a file without a final line feed, and one of several megabytes that takes the
// huge-page buffer and many reads: every byte back, every line counted.
TEST(FileBytes, ReadsEveryByteAndCountsLines) {
    testing::TempDir dir;
    std::string big;
    std::mt19937 rng(5);
    while (big.size() < (std::size_t{5} << 20)) {
        big.append(rng() % 500, 'x');
        big.push_back('\n');
    }
    big.append("torn");
    const struct { std::string content; std::size_t lines; } cases[] = {
        {"", 0}, {"\n", 1}, {"a", 1}, {"a\nb", 2}, {"a\nb\n", 2}, {"\n\n\n", 3},
        {big, static_cast<std::size_t>(std::count(big.begin(), big.end(), '\n')) + 1},
    };
    int i = 0;
    for (const auto& c : cases) {
        const auto path = dir.write(std::to_string(i++), c.content);
        FileBytes bytes;
        ASSERT_TRUE(bytes.read(path));
        EXPECT_TRUE(std::string_view(bytes) == c.content) << c.content.size();
        EXPECT_EQ(bytes.size(), c.content.size());
        EXPECT_EQ(bytes.lineCount(), c.lines) << c.content.size();
    }
}

// Only a regular file is read, and through a link only the user's own: a pipe must not hold the
// program, nor a device fill its memory. Nothing there is no fault.
TEST(FileBytes, ReadsOnlyRegularFilesAndThroughALinkOnlyTheUsersOwn) {
    namespace fs = std::filesystem;
    testing::TempDir dir;
    const fs::path foreign = testing::foreignFile(dir);
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir / "zero");
    fs::create_symlink(dir / "absent", dir / "dangling");
    fs::create_symlink(dir.write("own", "a\n"), dir / "ownLink");
    fs::create_symlink(foreign, dir / "foreignLink");
    const struct { fs::path path; bool read; FileFault fault; } cases[] = {
        {dir / "absent", false, FileFault::none}, {dir.path(), false, FileFault::notRegular},
        {dir / "fifo", false, FileFault::notRegular}, {dir / "zero", false, FileFault::notRegular},
        {dir / "dangling", false, FileFault::notRegular}, {dir / "ownLink", true, FileFault::none},
        {dir / "foreignLink", false, FileFault::notOwned}, {foreign, true, FileFault::none}};
    for (const auto& c : cases) {
        FileBytes bytes;
        const bool read = bytes.read(c.path);
        EXPECT_EQ(std::pair(read, bytes.fault()), std::pair(c.read, c.fault)) << c.path;
    }
}

// Of a file over the limit, the last whole lines within it: the newest minutes, never a piece.
TEST(FileBytes, ReadsTheLastWholeLinesOfAFileOverTheLimit) {
    testing::TempDir dir;
    const struct { std::string content; std::size_t limit; std::string read; std::size_t lines; } cases[] = {
        {"aa\nbb\ncc\n", 9, "aa\nbb\ncc\n", 3}, {"aa\nbb\ncc\n", 8, "bb\ncc\n", 2},
        {"aa\nbb\ncc\n", 6, "bb\ncc\n", 2}, {"aa\nbb\ncc\n", 5, "cc\n", 1}, {"aa\nbb\ncc\n", 2, "", 0},
        {"aa\nbb", 3, "bb", 1}, {"aa", 1, "", 0}};
    for (const auto& c : cases) {
        FileBytes bytes;
        ASSERT_TRUE(bytes.read(dir.write("f", c.content), c.limit));
        EXPECT_EQ(std::tuple(std::string(bytes), bytes.lineCount(), bytes.whole()),
                  std::tuple(c.read, c.lines, c.limit >= c.content.size())) << c.content << " " << c.limit;
    }
}

}  // namespace
}  // namespace sapwell
