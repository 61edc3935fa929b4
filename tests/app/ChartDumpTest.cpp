#include "ChartDump.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "Fakes.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

using testing::TempDir;

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs the real binary in a clean environment with its data and temporary folders redirected.
Outcome runBinary(const std::vector<std::string>& args, const std::string& dataHome,
                  const std::string& tmpDir, const TempDir& scratch,
                  const std::string& stdoutTo = "") {
    // The timeout only guards against a mode that keeps running; the dump itself is quick.
    std::string cmd = "timeout 20 env -i PATH=/usr/bin:/bin SAPWELL_LANG=en XDG_DATA_HOME=" +
                      quoted(dataHome) + " TMPDIR=" + quoted(tmpDir) + " " +
                      quoted(SAPWELL_BINARY);
    for (const auto& a : args) cmd += " " + quoted(a);
    const auto outFile = stdoutTo.empty() ? scratch / "stdout" : std::filesystem::path(stdoutTo);
    const auto errFile = scratch / "stderr";
    cmd += " </dev/null >" + quoted(outFile.string()) + " 2>" + quoted(errFile.string());
    const int raw = std::system(cmd.c_str());
    Outcome r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (stdoutTo.empty()) r.out = TempDir::read(outFile);
    r.err = TempDir::read(errFile);
    return r;
}

class ChartDumpBinary : public ::testing::Test {
protected:
    TempDir data, tmp, scratch;
    std::string page() const { return TempDir::read(tmp / "sapwell-chart.html"); }
    std::string expectedPath() const { return (tmp / "sapwell-chart.html").string() + "\n"; }
    Outcome dump(const std::vector<std::string>& args) {
        return runBinary(args, data.path().string(), tmp.path().string(), scratch);
    }
};

TEST_F(ChartDumpBinary, EmptyHistoryGivesACompletePage) {
    const Outcome r = dump({"--dump-chart"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expectedPath());
    EXPECT_EQ(r.err, "");
    const std::string html = page();
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("const SERIES = [];\n"), std::string::npos);
    EXPECT_NE(html.find("</html>"), std::string::npos);
    // The page lists the user's applications: readable by its owner only.
    EXPECT_EQ(std::filesystem::status(tmp / "sapwell-chart.html").permissions() &
                  std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    // The dump leaves no temporary files behind and creates no history.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()), {}), 1);
    EXPECT_FALSE(std::filesystem::exists(data / "Sapwell" / "history.tsv"));
}

TEST_F(ChartDumpBinary, OnlyTheExactSwitchSelectsTheDump) {
    struct Case {
        std::vector<std::string> args;
        bool dumps;
    };
    const std::vector<Case> cases = {
        {{"--verbose", "x", "--dump-chart"}, true},
        {{"--dump-chart", "--later"}, true},
        // "--help" makes the other modes end at once.
        {{"--dump-chartX", "--help"}, false},
        {{"--dump-chart=", "--help"}, false},
        {{"-dump-chart", "--help"}, false},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(tmp / "sapwell-chart.html");
        const Outcome r = dump(c.args);
        EXPECT_EQ(std::filesystem::exists(tmp / "sapwell-chart.html"), c.dumps) << c.args[0];
        if (c.dumps) {
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out, expectedPath());
        }
    }
}

TEST_F(ChartDumpBinary, ReadsTheHistoryWithoutTouchingIt) {
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    std::string file;
    for (int m = 3; m >= 1; --m) {
        Bucket b;
        b.minute = (now / 60 - m) * 60;
        b.awakeS = 60;
        b.items = {{"Hostile</script>", 700}, {"Почта", 300}};
        file += serialize(b, Metric::cpuTime);
    }
    const auto historyFile = data.write("Sapwell/history.tsv", file);
    const auto before = std::filesystem::last_write_time(historyFile);

    for (int i = 0; i < 2; ++i) {
        const Outcome r = dump({"--dump-chart"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, expectedPath());
    }
    EXPECT_EQ(TempDir::read(historyFile), file);
    EXPECT_EQ(std::filesystem::last_write_time(historyFile), before);
    const std::string html = page();
    EXPECT_NE(html.find(R"({"name":"Hostile\u003c/script\u003e","v":[700,700,700]})"),
              std::string::npos);
    EXPECT_NE(html.find(R"({"name":"Почта","v":[300,300,300]})"), std::string::npos);
}

TEST_F(ChartDumpBinary, TwoDumpsOverwriteTheSameFile) {
    tmp.write("sapwell-chart.html", std::string(100000, 'x'));
    ASSERT_EQ(dump({"--dump-chart"}).status, 0);
    const std::string first = page();
    EXPECT_EQ(first.find("xxxx"), std::string::npos);
    ASSERT_EQ(dump({"--dump-chart"}).status, 0);
    EXPECT_EQ(page().size(), first.size());
}

TEST_F(ChartDumpBinary, UnwritableFolderFailsWithOneLine) {
    const auto readOnly = tmp / "readonly";
    std::filesystem::create_directory(readOnly);
    ::chmod(readOnly.c_str(), 0555);
    const auto notAFolder = tmp.write("plain-file", "x");
    struct Case {
        std::filesystem::path folder;
        std::string reason;
    };
    std::vector<Case> cases = {
        {tmp / "absent", "No such file or directory"},
        {notAFolder, "Not a directory"},
    };
    // Permissions do not stop root.
    if (::geteuid() != 0) cases.push_back({readOnly, "Permission denied"});
    for (const auto& c : cases) {
        const Outcome r = runBinary({"--dump-chart"}, data.path().string(), c.folder.string(),
                                    scratch);
        EXPECT_EQ(r.status, 1) << c.folder;
        EXPECT_EQ(r.out, "") << c.folder;
        EXPECT_EQ(r.err, "sapwell: cannot write " + (c.folder / "sapwell-chart.html").string() +
                             ": " + c.reason + "\n");
    }
    ::chmod(readOnly.c_str(), 0755);
    EXPECT_TRUE(std::filesystem::is_empty(readOnly));
}

TEST_F(ChartDumpBinary, AnUnprintablePathIsAFailure) {
    const Outcome r = runBinary({"--dump-chart"}, data.path().string(), tmp.path().string(),
                                scratch, "/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sapwell: wrote " + (tmp / "sapwell-chart.html").string() +
                         " but cannot print its path\n");
}

// --- the pieces, without the binary -----------------------------------------------------------

TEST(ChartDump, WriteReplacesAPlantedSymlinkInsteadOfFollowingIt) {
    TempDir dir;
    const auto victim = dir.write("victim.txt", "keep");
    std::filesystem::create_symlink(victim, dir / "sapwell-chart.html");
    std::string error;
    const auto path = writeChartPage("<html></html>", dir.path(), error);
    ASSERT_TRUE(path) << error;
    EXPECT_EQ(*path, dir / "sapwell-chart.html");
    EXPECT_FALSE(std::filesystem::is_symlink(*path));
    EXPECT_EQ(TempDir::read(*path), "<html></html>");
    EXPECT_EQ(TempDir::read(victim), "keep");
}

TEST(ChartDump, BundlesOnlyForTheLastDay) {
    const std::string recentPath = "/Applications/Recent.app/Contents/MacOS/Recent";
    const std::string oldPath = "/Applications/Old.app/Contents/MacOS/Old";
    const Owner recent = OwnerResolver::resolve(recentPath);
    const Owner old = OwnerResolver::resolve(oldPath);
    ASSERT_TRUE(recent.bundle && old.bundle);

    testing::FakeProcessTable procs;
    procs.add(10, {std::nullopt, 1000, recentPath, "Recent"});
    procs.add(11, {std::nullopt, 1000, oldPath, "Old"});
    testing::FakeClocks clocks;
    Sampler sampler(Metric::cpuTime, procs, clocks);
    sampler.primeBundles();

    const std::int64_t now = wholeSeconds(clocks.wall);
    Bucket oldMinute, recentMinute;
    oldMinute.minute = (now / 60 - 2 * 1440) * 60;
    oldMinute.items = {{old.app, 500}, {"NoBundle", 5}};
    recentMinute.minute = (now / 60 - 10) * 60;
    recentMinute.items = {{recent.app, 5}, {"NoBundle", 5}};
    TempDir dir;
    const auto file = dir.write("history.tsv", serialize(oldMinute, Metric::cpuTime) +
                                                   serialize(recentMinute, Metric::cpuTime));
    const History history(Metric::cpuTime, now, file, History::Access::readOnly);
    ASSERT_EQ(history.depthMinutes(), 2);
    EXPECT_EQ(recentBundles(history, sampler, now), (BundleMap{{recent.app, *recent.bundle}}));
}

}  // namespace
}  // namespace sapwell
