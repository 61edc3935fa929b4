#include <gtest/gtest.h>

#include "ChildProcess.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

struct ChartDumpBinary : ::testing::Test {
    TempDir data, tmp;
    const fs::path page = tmp / "sapwell-chart.html";
    // The real binary's exit status, and its standard output and error joined by "|".
    auto dump(std::vector<std::string> args = {"--dump-chart"}, const fs::path& tmpDir = {},
              const char* stdoutPath = nullptr) -> std::pair<std::optional<int>, std::string> {
        args.insert(args.begin(), SAPWELL_BINARY);
        testing::ChildProcess run(
            args, {"PATH=/usr/bin:/bin", "SAPWELL_LANG=en", "XDG_DATA_HOME=" + data.path().string(),
                   "TMPDIR=" + (tmpDir.empty() ? tmp.path() : tmpDir).string()}, stdoutPath);
        return {run.wait(), run.out() + "|" + run.err()};  // in this order
    }
};

TEST_F(ChartDumpBinary, EmptyHistoryGivesACompleteOwnerOnlyPageAndNothingElse) {
    EXPECT_EQ(dump(), std::pair(std::optional(0), page.string() + "\n|"));
    const std::string html = TempDir::read(page);
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>") && html.ends_with("</html>\n") &&
                html.find("const SERIES = [];\n") != html.npos);
    EXPECT_EQ(fs::status(page).permissions() & fs::perms::all,  // it lists the user's applications
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), {}), 1);  // no temporary file left
    EXPECT_FALSE(fs::exists(data / "Sapwell"));
}

TEST_F(ChartDumpBinary, ReadsTheHistoryWithoutTouchingItAndReplacesAPlantedSymlink) {
    const std::string file = std::to_string((std::time(nullptr) / 60 - 1) * 60) +
                             "\tcpu_ms\t60\tHostile</script>=700,Почта=300\t-\n";
    const auto history = data.write("Sapwell/history.tsv", file);
    const auto before = fs::last_write_time(history);
    fs::create_symlink(tmp.write("victim.txt", "keep"), page);
    ASSERT_EQ(dump().first, 0);
    EXPECT_TRUE(TempDir::read(history) == file && fs::last_write_time(history) == before &&
                TempDir::read(tmp / "victim.txt") == "keep" && !fs::is_symlink(page));
    EXPECT_NE(TempDir::read(page).find(R"({"name":"Hostile\u003c/script\u003e","v":[700]})"),
              std::string::npos);
}

TEST_F(ChartDumpBinary, FailuresExitOneWithOneLineOnStandardErrorOnly) {
    const auto cannot = [](const fs::path& d, const char* why) {
        return "|sapwell: cannot write " + (d / "sapwell-chart.html").string() + ": " + why + "\n";
    };
    const std::tuple<fs::path, const char*, std::string> cases[] = {
        {tmp / "absent", nullptr, cannot(tmp / "absent", "No such file or directory")},
        {tmp.write("plain", "x"), nullptr, cannot(tmp / "plain", "Not a directory")},
        {tmp.path(), "/dev/full",
         "|sapwell: wrote " + page.string() + " but cannot print its path\n"}};
    for (const auto& [folder, stdoutPath, err] : cases)
        EXPECT_EQ(dump({"--dump-chart"}, folder, stdoutPath), std::pair(std::optional(1), err));
}

}  // namespace
}  // namespace sapwell
