#include "FileBytes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

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

TEST(FileBytes, AMissingFileOrAFolderIsNoFile) {
    testing::TempDir dir;
    FileBytes missing, folder;
    EXPECT_FALSE(missing.read(dir / "absent"));
    EXPECT_FALSE(folder.read(dir.path()));
    EXPECT_EQ(std::string_view(missing), "");
}

}  // namespace
}  // namespace sapwell
