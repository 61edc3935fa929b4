#include "History.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <clocale>
#include <fstream>
#include <functional>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <limits>
#include <locale>
#include <random>

#include "Chart.hpp"
#include "Decimal.hpp"
#include "Fakes.hpp"
#include "FileBytes.hpp"
#include "ForeignFile.hpp"
#include "Numbered.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

using testing::numbered;

namespace fs = std::filesystem;
using S = ChargeState;
constexpr std::int64_t T = 1'733'400'000;  // a minute start
constexpr std::int64_t eightDays = 691200;
constexpr std::uint64_t u64max = std::numeric_limits<std::uint64_t>::max();
const std::string E = "\tenergy_mj\t";

Bucket B(std::int64_t m, double awake, NamedAmounts items = {}, std::optional<double> pct = {},
         std::optional<S> state = {}, std::optional<Drain> drain = {}) { return {m, awake, std::move(items), pct, state, drain}; }

std::string line(std::int64_t minute, const std::string& rest, const char* tag = "energy_mj") {
    return std::to_string(minute) + "\t" + tag + "\t" + rest + "\n";
}

TEST(HistoryLine, SerializeExactBytes) {
    const struct { Bucket b; std::string expected; Metric m = Metric::energy; } cases[] = {
        {B(T, 58.3, {{"Safari", 12345}, {"Mail", 678}}, 87.5, S::discharging),
         "1733400000" + E + "58.3\tSafari=12345,Mail=678\t87.5:d\n"},
        {B(T, 0), "1733400000\tcpu_ms\t0.0\t\t-\n", Metric::cpuTime},
        {B(-60, 0.05, {{"x", u64max}}, 0, S::charging), "-60" + E + "0.1\tx=18446744073709551615\t0.0:c\n"},
        {B(T, 1.25, {}, 50), "1733400000" + E + "1.2\t\t-\n"},  // a level alone is no battery
        // A measured drain is a sixth field, with or without a battery level.
        {B(T, 58.3, {{"Safari", 12345}}, 87.5, S::discharging, Drain{41230, 58.3}),
         "1733400000" + E + "58.3\tSafari=12345\t87.5:d\t41230:58.3\n"},
        {B(T, 60, {}, {}, {}, Drain{0, 0.04}), "1733400000" + E + "60.0\t\t-\t0:0.0\n"},
        // A name that would split its line or make it unreadable is cleaned, not the minute lost.
        {B(T, 1, {{"a\tb,c\nd", 2}, {"\xFF=x", 1}}), "1733400000" + E + "1.0\ta_b_c_d=2,\xEF\xBF\xBD=x=1\t-\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(serialize(c.b, c.m), c.expected);
    for (const auto& ex : {cases[0], cases[4]})  // lines without and with a drain read back to their buckets
        EXPECT_EQ(parseLine(std::string_view(ex.expected).substr(0, ex.expected.size() - 1)), std::pair(ex.b, ex.m));
}

TEST(HistoryLine, ParseGrammar) {
    const struct { std::string line; Bucket bucket; Metric metric = Metric::energy; } cases[] = {
        {"60\tcpu_ms\t3", B(60, 3), Metric::cpuTime},  // three fields
        {"60" + E + "1\t,a=1,,b=2,\t-", B(60, 1, {{"a", 1}, {"b", 2}})},
        {"60" + E + "1\tx=y=3,=5\t-", B(60, 1, {{"x=y", 3}, {"", 5}})},  // the last "=" splits
        {"60" + E + "1\ta=+5,b+=007\t-", B(60, 1, {{"a", 5}, {"b+", 7}})},  // a "+" before the value
        {"60" + E + "1\t\t87.5:x", B(60, 1, {}, 87.5)},
        {"60" + E + "1\t\t87.5", B(60, 1)},
        {"60" + E + "1\t\t:87.5::c:", B(60, 1, {}, 87.5, S::charging)},
        {"60" + E + "1\t\tfull:a", B(60, 1, {}, std::nullopt, S::acPower)},
        {"60" + E + "1\t\t-\t+5:2.5\tlater", B(60, 1, {}, {}, {}, Drain{5, 2.5})},  // a seventh field is ignored
        // A sixth field that does not read is no drain; the minute loads all the same.
        {"60" + E + "1\t\t-\t5", B(60, 1)}, {"60" + E + "1\t\t-\t-5:2.5", B(60, 1)}, {"60" + E + "1\t\t-\t5:-1", B(60, 1)},
        {"60" + E + "1\t\t-\t5:nan", B(60, 1)}, {"60" + E + "1\t\t-\t", B(60, 1)},
    };
    for (const auto& c : cases) EXPECT_EQ(parseLine(c.line), std::optional(std::pair(c.bucket, c.metric))) << c.line;
    // Two fields; bad items; a foreign tag; bad minutes and awake times (NaN poisons sums); not UTF-8.
    const std::string rejected[] = {
        "60\tcpu_ms", "60" + E + "1\ta=1,b\t-", "60" + E + "1\ta=\t-", "60" + E + "1\ta=-1", "60" + E + "1\ta=1x",
        "60" + E + "1\ta=18446744073709551616", "60" + E + "1\ta=++5", "60" + E + "1\ta=+", "60" + E + "1\t5",
        "60\tenergy\t1", "+-120" + E + "1", "9223372036854775808" + E + "1",
        "60" + E + "1.0s", "60" + E + "nan", "60" + E + "inf", "60" + E + "1\tb\xFF=2\t-"};
    for (const auto& bad : rejected) EXPECT_FALSE(parseLine(bad)) << bad;
}

// A sleep's own line: written exactly, read back, and a line that is not one is not taken for one.
TEST(HistoryLine, SleepLines) {
    const SleepRecord sleep{T, 3600.04, 81.25, 78}, unknown{T, 90, 50, std::nullopt};
    EXPECT_EQ(serialize(sleep), "1733400000\tsleep\t3600.0\t\t81.2:78.0\n");
    EXPECT_EQ(serialize(unknown), "1733400000\tsleep\t90.0\t\t50.0:-\n");
    EXPECT_EQ(parseSleepLine("1733400000\tsleep\t90.0\t\t50.0:-\tlater"), unknown);
    EXPECT_EQ(parseSleepLine("60\tsleep\t1\tx\t-:-"), (SleepRecord{60, 1, {}, {}}));
    for (const char* bad : {"60\tsleep\t1\t\t50", "60\tsleep\t1\t", "60\tenergy_mj\t1\t\t1:1", "60\tsleep\t-1\t\t1:1",
                            "60\tsleep\tnan\t\t1:1", "x\tsleep\t1\t\t1:1", "60\tsleep\t1\t\tfull:1",
                            "60\tsleep\t1e308\t\t1:1", "9223372036854775807\tsleep\t1\t\t1:1", "-60\tsleep\t1\t\t1:1",
                            "60\tsleep\t1\t\t500:1", "60\tsleep\t1\t\t1:-3"})
        EXPECT_FALSE(parseSleepLine(bad)) << bad;
    EXPECT_FALSE(parseLine("60\tsleep\t1\t\t1:1"));  // nor is it a minute
}

// A value no working clock or sampler gives a minute is a bad field: in the minute, the awake time
// or an item it rejects the line; in the battery or the drain it drops only those.
TEST(HistoryLine, ValuesBeyondWhatAMinuteHoldsAreBadFields) {
    const std::string C = "\tcpu_ms\t";
    for (const std::string& bad : {"60" + E + "-1e9", "60" + E + "1e308", "60" + E + "120.1", "60" + E + "-0.1",
                                   "9223372036854775807" + E + "1", "253402300800" + E + "1", "-60" + E + "1",
                                   "60" + E + "1\tx=18446744073709551615", "60" + E + "1\tx=6144000001", "60" + C + "1\tx=61440001"})
        EXPECT_FALSE(parseLine(bad)) << bad;
    const struct { std::string line; Bucket bucket; Metric metric = Metric::energy; } kept[] = {
        {"253402300740" + E + "120\tx=6144000000", B(253402300740, 120, {{"x", 6144000000}})},
        {"0" + C + "0\tx=61440000\t100:c", B(0, 0, {{"x", 61440000}}, 100, S::charging), Metric::cpuTime},
        {"60" + E + "1\t\t100.1:d", B(60, 1)}, {"60" + E + "1\t\t-0.5:c", B(60, 1)}, {"60" + E + "1\t\t1e308:a", B(60, 1)},
        {"60" + E + "1\t\t-\t6144000001:1", B(60, 1)}, {"60" + E + "1\t\t-\t1:120.5", B(60, 1)},
    };
    for (const auto& c : kept) EXPECT_EQ(parseLine(c.line), std::optional(std::pair(c.bucket, c.metric))) << c.line;
}

// Every decimal reads as the correctly rounded double, the writer's shape and others alike, and
// the same under a German locale, whose "," is no decimal point here.
TEST(HistoryLine, DecimalsReadExactlyInAnyLocale) {
    const char* texts[] = {"0.1", "2.675", "-0.0", "58.3", "999999999999999", "12345678901234.5", "0.000000000000001",
        "1234567890123456.7", "9007199254740993", "5.", ".5", "1e2", "5.83e1", "1.7976931348623157e308"};
    const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    const std::locale before = std::locale::global(german ? std::locale("de_DE.UTF-8") : std::locale::classic());
    std::vector<std::optional<double>> read;
    for (const char* text : texts) read.push_back(parseFinite(text));
    const auto battery = parseLine("60" + E + "58.3\t\t87.5:d"), comma = parseLine("60" + E + "58,3\t\t-");
    std::locale::global(before);
    std::setlocale(LC_NUMERIC, "C");
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        ASSERT_TRUE(read[i]) << texts[i];
        const double got = *read[i], want = std::strtod(texts[i], nullptr);
        EXPECT_EQ(got, want) << texts[i];
        EXPECT_EQ(std::signbit(got), std::signbit(want)) << texts[i];
    }
    EXPECT_EQ(battery, std::optional(std::pair(B(60, 58.3, {}, 87.5, S::discharging), Metric(Metric::energy))));
    EXPECT_FALSE(comma);
}

// Whatever the reader accepts, the writer writes back as a line that reads the same (floats to
// the one decimal the format keeps), and a second round changes nothing.
TEST(HistoryLine, ParseFuzzAcceptedLinesRoundTrip) {
    const char* tokens[] = {"0", "1", "7", "60", "-", "+", ".", ".5", "e", "E5", "\t", "\t", "\t", ",", ",", "=", "=",
        ":", "energy_mj", "cpu_ms", "d", "c", "a", "nan", "inf", "Safari", "x", " ", "\xC3\xA9", "e\xCC\x81", "\xFF",
        "18446744073709551615", "9223372036854775807", "\r", "1e308"};
    std::mt19937_64 rng(20261206);
    auto pick = [&](std::size_t n) { return rng() % n; };
    int accepted = 0;
    for (int i = 0; i < 60000; ++i) {
        std::string in = i % 2 ? "" : i % 4 ? "1733400000\tenergy_mj\t58.3\tSafari=12345,Mail=678\t87.5:d"
                                            : "1733400000\tenergy_mj\t58.3\tSafari=12345,Mail=678\t87.5:d\t41230:58.3";
        for (std::size_t k = 1 + pick(i % 2 ? 24 : 4); k > 0; --k) {
            const std::size_t at = pick(in.size() + 1);
            if (pick(2) == 0 && at < in.size()) in.erase(at, 1 + pick(3));
            else in.insert(at, tokens[pick(std::size(tokens))]);
        }
        const auto first = parseLine(in);
        if (!first) continue;
        ++accepted;
        const std::string out = serialize(first->first, first->second);
        const auto second = parseLine(std::string_view(out).substr(0, out.size() - 1));
        ASSERT_TRUE(second) << "input: " << in << "\nwritten: " << out;
        EXPECT_EQ(out.back(), '\n') << in;
        const Bucket &b1 = first->first, &b2 = second->first;
        EXPECT_NEAR(b2.awakeS, b1.awakeS, 0.05 + 1e-12 * std::fabs(b1.awakeS)) << in;
        EXPECT_EQ(b2.items, b1.items) << in;
        EXPECT_EQ(serialize(b2, second->second), out) << in;
    }
    EXPECT_GT(accepted, 1000);  // the generator must actually reach the accepting paths
}

TEST(HistoryMemory, ThirtyNamesKeepTheTwentyFourHeaviestWithNfcTieBreak) {
    History h(Metric::energy, T, {});
    NamedAmounts deltas, want;
    for (int i = 19; i >= 0; --i) deltas.emplace_back(numbered("heavy", i), 1000 + i);
    want = deltas;
    // Ten tie at the cut for four places; decomposed "é" sorts after "f" once composed, not before.
    for (const char* n : {"z", "y", "f", "e\xCC\x81", "b", "x", "w", "v", "c", "u"}) deltas.emplace_back(n, 5);
    want.insert(want.end(), {{"b", 5}, {"c", 5}, {"f", 5}, {"u", 5}});
    h.add(T + 10, 1, deltas);
    h.closeMinute();
    EXPECT_EQ(h.buckets().at(0).items, want);
}

// A minute closed early and continued is one bucket with the later battery reading; no amount
// exceeds what a minute can hold.
TEST(HistoryMemory, MinutesCloseOnTheMinuteOrEarlyIntoOneBucket) {
    History h(Metric::energy, T, {});
    h.closeMinute();  // nothing open and no awake time: no record
    h.add(T + 1, 3.5, {});
    h.setBattery(80, S::discharging);
    h.closeMinute();  // 12:00:20, the machine slept; awake time alone makes a record
    h.add(T + 40, 5, {{"b", u64max - 1}, {"b", 3}});
    h.add(T + 59, 1, {{"a", 1}});
    h.setBattery(79.5, S::charging);  // read after the minute's last tick: the bucket carries it
    h.add(T + 60, 1, {{"b", 7}});      // 12:01:00 closes the second 12:00 bucket
    h.setBattery(std::nullopt, std::nullopt);
    h.closeMinute();
    const std::uint64_t most = maxMinuteAmount(Metric::energy);
    EXPECT_EQ(h.buckets(), (std::vector{B(T, 9.5, {{"b", most}, {"a", 1}}, 79.5, S::charging), B(T + 60, 1, {{"b", 7}})}));
    const Aggregate a = h.window(T + 60, 5);
    EXPECT_EQ(std::pair(a.totals, a.grandTotal), std::pair(NamedAmounts{{"b", most + 7}, {"a", 1}}, most + 8));
}

TEST(HistoryWindow, Boundaries) {
    const std::int64_t now = T + 600;
    History h(Metric::energy, T, {});
    for (int ago : {420, 360, 300}) h.add(now - ago, 1, {{std::to_string(ago), 1}});
    for (int i = 0; i < 30; ++i) h.add(now - 240, i ? 0 : 2, {{numbered("n", i), 1}});  // open, 30 names
    const struct { std::int64_t now, minutes; std::size_t names; double awake; } cases[] = {
        {now, 5, 31, 3}, {now, 6, 32, 4},  // the bucket at now - 300 counts, the one at now - 360 not
        {now, 4, 30, 2}, {now + 1, 4, 0, 0},  // the open minute exactly at the cut, with all its names
        {now + 86400, 5, 0, 0}, {now, std::numeric_limits<std::int64_t>::max(), 33, 5}};
    for (const auto& c : cases) {
        const Aggregate a = h.window(c.now, c.minutes);
        EXPECT_EQ(std::tuple(a.totals.size(), a.grandTotal, a.awakeS), std::tuple(c.names, c.names, c.awake))
            << c.now - now << " " << c.minutes;
    }
}

// XDG_DATA_HOME only when absolute, else $HOME when absolute, else the account's home, else nowhere.
TEST(HistoryDataFile, LocationFallsBackToHomeThenTheAccount) {
    const std::string xdg = "/x/data/Sapwell/history.tsv", home = "/home/u/.local/share/Sapwell/history.tsv",
                      acct = "/home/acct/.local/share/Sapwell/history.tsv";
    const struct { std::map<std::string, std::string, std::less<>> vars; std::optional<std::string> home; std::string file; } cases[] = {
        {{{"HOME", "/home/u"}, {"XDG_DATA_HOME", "/x/data"}}, {}, xdg}, {{{"HOME", "/home/u"}, {"XDG_DATA_HOME", ""}}, {}, home},
        {{{"HOME", "/home/u"}, {"XDG_DATA_HOME", "relative/data"}}, {}, home}, {{{"HOME", "/home/u"}}, {}, home},
        {{{"HOME", "home"}}, {}, ""}, {{}, "/home/acct", acct}, {{{"HOME", ""}}, "/home/acct", acct},
        {{{"HOME", "home"}}, "/home/acct", acct}, {{}, "", ""}};
    for (const auto& c : cases) {
        testing::FakeEnvironment env;
        env.vars = c.vars;
        env.home = c.home;
        EXPECT_EQ(History::dataFile(env), fs::path(c.file)) << c.file;
    }
}

struct FileFixture : ::testing::Test {
    testing::TempDir dir;
    fs::path file = dir / "share/Sapwell/history.tsv";
    std::string contents() const { return testing::TempDir::read(file); }
    void writeFile(const std::string& s) const { dir.write("share/Sapwell/history.tsv", s); }
    static void addMinute(History& h, std::int64_t m, const char* name, std::uint64_t v) {
        h.add(m, 1, {{name, v}});
        h.closeMinute();
    }
    // Runs `f` on a full disk, as far as this process can tell: writes stop at `bytes` into a file.
    template <typename F>
    static void onFullDisk(rlim_t bytes, F f) {
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        const rlimit small{bytes, old.rlim_max};
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        f();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
};

TEST_F(FileFixture, FlushCreatesAppendsAndRecoversFromAnUnwritableRemovedOrFullFolder) {
    History h(Metric::energy, T, file);  // makes the folder, so the first flush creates the file
    h.add(T, 30, {{"a", 1}});
    h.add(T + 60, 30, {{"b", 2}});
    h.flush(T + 60);  // the open minute is not written
    EXPECT_EQ(contents(), line(T, "30.0\ta=1\t-"));
    fs::rename(file.parent_path(), dir / "saved");
    dir.write("share/Sapwell", "in the way");  // a file where the folder should be: unwritable even for root
    h.closeMinute();
    h.flush(T + 120);
    EXPECT_EQ(h.unwritten(), 1u);
    addMinute(h, T + 120, "c", 3);
    fs::remove(file.parent_path());
    fs::rename(dir / "saved", file.parent_path());
    h.flush(T + 180);
    EXPECT_EQ(contents(), line(T, "30.0\ta=1\t-") + line(T + 60, "30.0\tb=2\t-") + line(T + 120, "1.0\tc=3\t-"));
    // Removed while running, with its parent: both come back, for the user alone.
    fs::remove_all(dir / "share");
    addMinute(h, T + 180, "d", 4);
    h.flush(T + 240);
    const std::string first = line(T + 180, "1.0\td=4\t-");
    EXPECT_EQ(contents(), first);
    EXPECT_EQ(static_cast<int>(fs::status(dir / "share").permissions() & fs::perms::all), 0700);
    // A full disk: writes stop a few bytes past the end. The append cut short is taken back and
    // retried whole.
    addMinute(h, T + 240, "n", 1);
    onFullDisk(first.size() + 30, [&] { EXPECT_EQ(h.flush(T + 300), FileFault::diskFull); });
    EXPECT_EQ(std::pair(h.unwritten(), contents()), std::pair(std::size_t{1}, first));  // no partial line left behind
    h.flush(T + 300);
    EXPECT_EQ(contents(), first + line(T + 240, "1.0\tn=1\t-"));
}

// Minutes go only into a regular file of the user's own, directly or through a link; a link to
// nowhere never makes its target. Whatever is in the way is named, and the minutes wait for it to go.
TEST_F(FileFixture, FlushWritesOnlyIntoARegularFileOfTheUsersOwn) {
    const fs::path foreign = testing::foreignFile(dir), elsewhere = dir / "elsewhere.tsv", own = dir / "own.tsv";
    const std::string foreignBefore = testing::TempDir::read(foreign);
    const struct { const char* label; std::function<void()> plant; FileFault fault; } cases[] = {
        {"Folder", [&] { fs::create_directory(file); }, FileFault::notRegular},
        {"Pipe", [&] { mkfifo(file.c_str(), 0600); }, FileFault::notRegular},
        {"LinkToNowhere", [&] { fs::create_symlink(elsewhere, file); }, FileFault::notRegular},
        {"LinkToAnotherUsersFile", [&] { fs::create_symlink(foreign, file); }, FileFault::notOwned},
        {"AnotherUsersFile", [&] { writeFile("theirs\n"), chown(file.c_str(), 65534, 65534); },
         geteuid() == 0 ? FileFault::notOwned : FileFault::none},
        {"LinkToOwnFile", [&] { dir.write("own.tsv", "x\n"), fs::create_symlink(own, file); }, FileFault::none},
    };
    for (const auto& c : cases) {
        fs::remove_all(file.parent_path());
        History h(Metric::energy, T, file);
        c.plant();
        addMinute(h, T, "a", 1);
        EXPECT_EQ(h.flush(T + 60), c.fault) << c.label;
        EXPECT_EQ(h.unwritten(), c.fault == FileFault::none ? 0u : 1u) << c.label;
        EXPECT_FALSE(fs::exists(elsewhere)) << c.label;
        EXPECT_EQ(testing::TempDir::read(foreign), foreignBefore) << c.label;
        if (c.fault == FileFault::none) continue;
        fs::remove(file);  // out of the way: the minute waited
        addMinute(h, T + 60, "b", 2);
        EXPECT_EQ(h.flush(T + 120), FileFault::none) << c.label;
        EXPECT_EQ(contents(), line(T, "1.0\ta=1\t-") + line(T + 60, "1.0\tb=2\t-")) << c.label;
    }
    EXPECT_EQ(testing::TempDir::read(own), "x\n" + line(T, "1.0\ta=1\t-"));  // through the link
}

// Compacting rewrites the file from what was read: never a file read only in part (over the
// size limit, where only its end is read), and never a link, which a copy would replace.
TEST_F(FileFixture, CompactionLeavesAFileOverTheLimitAndALinkAsTheyAre) {
    const std::string dead = line(T - eightDays - 60, "1.0\told=1\t-"), live = line(T, "1.0\tnew=1\t-");
    writeFile(dead + dead + dead + live);
    fs::rename(file, dir / "own.tsv");
    fs::create_symlink(dir / "own.tsv", file);
    EXPECT_EQ(History(Metric::energy, T, file).depthMinutes(), 1);
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(testing::TempDir::read(dir / "own.tsv"), dead + dead + dead + live);
    // Expired minutes, then a hole past the limit, then more of them and one within retention.
    fs::remove(file);
    writeFile(dead);
    fs::resize_file(file, FileBytes::defaultLimit);
    { std::ofstream(file, std::ios::app) << "\n" << dead << dead << live; }
    const auto size = fs::file_size(file);
    History big(Metric::energy, T, file);
    EXPECT_EQ(std::tuple(big.depthMinutes(), big.readWhole(), fs::file_size(file)), std::tuple(1, false, size));
}

TEST_F(FileFixture, LoadSkipsBadLinesAndATornTailThatTheNextFlushCutsOff) {
    const std::int64_t now = T + eightDays;  // T is exactly at the cut
    const std::string kept = line(T + 120, "1.0\tlate=1\t-") + line(T, "1.0\tcut=1\t-") + line(T - 1, "1.0\told=1\t-") +
                             line(T + 60, "1.0\tfirst=1\t-") + line(T + 60, "1.0\tsecond=1\t-") +
                             line(T + 60, "1.0\tcpu=1\t-", "cpu_ms") + "garbage\n\n" + line(T + 60, "1.0\tbad\t-") +
                             line(T + 60, "1.0\tb\xFF\xFE=2\t-");
    const std::string torn = std::to_string(T + 180) + "\tenergy_mj\t1.0\td=12";  // value cut in half
    writeFile(kept + torn);
    History h(Metric::energy, now, file);
    std::vector<std::string> names;
    for (const auto& b : h.buckets()) names.push_back(b.items.at(0).first);
    EXPECT_EQ(names, (std::vector<std::string>{"cut", "first", "late"}));  // "second" merged into its minute
    EXPECT_EQ(History(Metric::cpuTime, now, file, History::Access::readOnly).depthMinutes(), 1);
    // The clock stepped back eight days: an unwritten minute already expired, which was never in the file.
    addMinute(h, T - 600, "old", 1);
    addMinute(h, now, "e", 5);
    h.flush(now + 60);  // T + 60 is exactly at the cut, T is past it
    EXPECT_EQ(h.depthMinutes(), 3);
    EXPECT_EQ(contents(), kept + line(now, "1.0\te=5\t-"));
    writeFile(torn);  // even the first line was cut short
    addMinute(h, now + 60, "f", 6);
    h.flush(now + 120);
    EXPECT_EQ(contents(), line(now + 60, "1.0\tf=6\t-"));
}

// One hostile line changes no other minute, and a file with CRLF line ends reads as with LF.
TEST_F(FileFixture, HostileLinesAndCrlfLeaveTheFiguresAsTheyAre) {
    const std::int64_t now = T + 3600;
    std::string clean;
    for (int k = 5; k > 0; --k) clean += line(now - 60 * k, k % 2 ? "60.0\ta=6000\t80.0:d" : "30.0\ta=600");
    const auto figures = [&](const std::string& text) {
        writeFile(text);
        History h(Metric::energy, now, file, History::Access::readOnly);
        const Aggregate a = h.window(now, 60);
        return std::tuple(h.buckets(), a.totals, a.awakeS);
    };
    const auto crlf = [](const std::string& text) {
        std::string out;
        for (const char c : text) {
            if (c == '\n') out += '\r';
            out += c;
        }
        return out;
    };
    const auto want = figures(clean);
    EXPECT_EQ(std::get<0>(want).size(), 5u);
    EXPECT_EQ(figures(crlf(clean)), want);
    for (const std::string& hostile : {line(now - 120, "-1e9\tb=1\t-"), line(now - 120, "1e308\tb=1\t-"),
                                       line(std::numeric_limits<std::int64_t>::max(), "60.0\tb=1\t-"),
                                       line(now - 120, "1.0\tb=18446744073709551615\t-")}) {
        EXPECT_EQ(figures(clean + hostile), want) << hostile;
        EXPECT_EQ(figures(crlf(hostile + clean)), want) << hostile;
    }
}

// Lines ahead of the clock stay in the file, through compaction and appends, and count in no
// window and no chart until the clock reaches them.
TEST_F(FileFixture, MinutesAheadOfTheClockAreKeptButCountNowhere) {
    const std::int64_t now = T + eightDays;
    const std::string expired = line(T - 60, "1.0\told=1\t-"),
                      live = line(now - 60, "60.0\ta=1\t-") + line(now + 3600, "60.0\tAhead=5\t50.0:d");
    writeFile(expired + expired + expired + live);
    History h(Metric::energy, now, file);
    EXPECT_EQ(contents(), live);  // compacted without the expired lines only
    for (const std::int64_t minutes : {std::int64_t{15}, std::int64_t{1440}, std::numeric_limits<std::int64_t>::max()}) {
        const Aggregate a = h.window(now, minutes);
        EXPECT_EQ(std::tuple(a.totals, a.awakeS), std::tuple(NamedAmounts{{"a", 1}}, 60.0)) << minutes;
    }
    EXPECT_EQ(h.depthMinutes(), 1);
    const std::string page = Chart::build(h, Metric::energy, std::nullopt, now, {}, Lang::en);
    EXPECT_EQ(page.find("Ahead"), page.npos);
    addMinute(h, now, "b", 2);
    h.flush(now + 60);
    EXPECT_EQ(contents(), live + line(now, "1.0\tb=2\t-"));
    EXPECT_EQ(h.window(now + 3630, 5).totals, (NamedAmounts{{"Ahead", 5}}));  // the clock got there
}

// After the clock went back an hour, each minute is one bucket that holds no more than a minute,
// in memory and after reloading: the repeated minutes' new amounts were appended as lines of their own.
TEST_F(FileFixture, AClockSetBackAnHourKeepsOneBucketPerMinute) {
    History h(Metric::cpuTime, T, file);
    for (const char* name : {"a", "b"}) {
        for (std::int64_t t = T + 15; t <= T + 3600; t += 15) {
            h.add(t, 15, {{name, 1500}});
            if (t % 120 == 0) h.flush(t);
        }
    }
    h.closeMinute();
    h.flush(T + 3600);
    const auto& b = h.buckets();
    EXPECT_EQ(b.size(), 61u);
    EXPECT_EQ(std::adjacent_find(b.begin(), b.end(), [](auto& x, auto& y) { return x.minute >= y.minute; }), b.end());
    const Aggregate hour = h.window(T + 3610, 60), all = h.window(T + 3610, 1440);
    EXPECT_LE(hour.awakeS, 3600);
    EXPECT_EQ(all.totals, (NamedAmounts{{"a", 240 * 1500}, {"b", 240 * 1500}}));
    const History reloaded(Metric::cpuTime, T + 3610, file);
    EXPECT_EQ(reloaded.buckets(), h.buckets());
}

// Parts of one minute load as one bucket however far apart the file has them; the later battery
// reading is the minute's.
TEST_F(FileFixture, ManyLinesOfAMinuteLoadAsOneBucket) {
    std::string text;
    for (int i = 0; i < 30000; ++i) text += line(T - 60 * (i % 2), i % 2 ? "1.0\tb=1\t-" : "20.0\ta=2,b=1\t50.0:d");
    writeFile(text + line(T, "1.0\tc=5\t49.0:c"));
    const History h(Metric::energy, T + 30, file);
    EXPECT_EQ(h.buckets(), (std::vector{B(T - 60, 60, {{"b", 15000}}), B(T, 60, {{"a", 30000}, {"b", 15000}, {"c", 5}}, 49, S::charging)}));
}

// Sleeps go into the file in the order of their minutes with the minutes, load with either
// metric and expire with the minutes.
TEST_F(FileFixture, SleepsAreWrittenAndRetainedWithTheMinutes) {
    const SleepRecord sleep{T + 60, 600, 80, 79.5};
    History h(Metric::energy, T, file);
    addMinute(h, T, "a", 1);
    h.addSleep(sleep);
    addMinute(h, T + 60, "b", 2);
    h.flush(T + 120);
    h.flush(T + 120);  // nothing new
    const std::string written = line(T, "1.0\ta=1\t-") + serialize(sleep) + line(T + 60, "1.0\tb=2\t-");
    EXPECT_EQ(contents(), written);
    EXPECT_EQ(History(Metric::cpuTime, T + 120, file, History::Access::readOnly).sleeps(), std::vector{sleep});
    h.addSleep({T + eightDays, 5, 70, 69});
    h.flush(T + 60 + eightDays + 60);  // the first sleep expires
    EXPECT_EQ(h.sleeps(), (std::vector<SleepRecord>{{T + eightDays, 5, 70, 69}}));
    EXPECT_EQ(contents(), written + "1734091200\tsleep\t5.0\t\t70.0:69.0\n");
}

TEST_F(FileFixture, CompactionKeepsLiveLinesOfBothMetricsByteForByte) {
    const std::string live = line(T + 60, "2.0\tx=1\t-", "cpu_ms") + line(T + 120, "3.0\ty=2\t50.0:d\textra");
    const std::string old = line(T + 60 - eightDays, "1.0\told=1\t-"), file0 = old + old + "not a line\n" + live;
    writeFile(file0);
    History ro(Metric::energy, T + eightDays, file, History::Access::readOnly);
    EXPECT_EQ(contents(), file0);  // a reader never compacts
    onFullDisk(8, [&] { EXPECT_EQ(History(Metric::energy, T + eightDays, file).depthMinutes(), 1); });
    EXPECT_EQ(contents(), file0);  // a failed compaction leaves the file as it was
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), 1);  // and no temporary file
    EXPECT_EQ(History(Metric::energy, T + eightDays, file).depthMinutes(), 1);
    EXPECT_EQ(contents(), live);
}

// Expiry for compaction is judged from the file's newest minute when the clock is ahead of it, and
// a line of a later version (a tag this one does not know) is never this version's to delete.
TEST_F(FileFixture, CompactionKeepsWhatACorrectClockWouldLoadAndLinesOfLaterVersions) {
    constexpr std::int64_t day = 86400;
    std::string week;  // every twelve hours for a week, up to T
    for (std::int64_t m = T - 7 * day; m <= T; m += day / 2) week += line(m, "1.0\ta=1\t-");
    const std::string later = line(T - 20 * day, "1.0\ta=1\t-", "energy_uj") + line(T, "x", "gpu_ms");
    const std::string expired = line(T - 9 * day, "1.0\tgone=1\t-");
    const struct { const char* label; std::string file; std::int64_t now; std::string after; int loaded; } cases[] = {
        {"ClockFiveDaysAhead", week, T + 5 * day, week, 7},
        {"ClockTenDaysAhead", week, T + 10 * day, week, 0},  // nothing within retention: no compaction
        {"LaterVersionsLinesStay", expired + expired + later + expired + expired + line(T, "1.0\ta=1\t-"), T,
         later + line(T, "1.0\ta=1\t-"), 1},
        {"SleepsExpireLikeMinutes", line(T - 9 * day, "5.0\t\t1.0:1.0", "sleep") + expired + expired + expired +
         line(T, "5.0\t\t1.0:1.0", "sleep") + line(T, "1.0\ta=1\t-"), T, line(T, "5.0\t\t1.0:1.0", "sleep") + line(T, "1.0\ta=1\t-"), 1},
    };
    for (const auto& c : cases) {
        writeFile(c.file);
        EXPECT_EQ(History(Metric::energy, c.now, file).depthMinutes(), c.loaded) << c.label;
        EXPECT_EQ(contents(), c.after) << c.label;
    }
    EXPECT_EQ(History(Metric::energy, T, file).depthMinutes(), 1);  // the right time again
    writeFile(week);
    History(Metric::energy, T + 5 * day, file);
    EXPECT_EQ(History(Metric::energy, T, file).depthMinutes(), 15);
}

}  // namespace
}  // namespace sapwell
