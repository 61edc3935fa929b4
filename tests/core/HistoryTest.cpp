#include "History.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <cmath>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Fakes.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

constexpr std::int64_t T = 1'733'400'000;  // a minute start
constexpr std::uint64_t u64max = std::numeric_limits<std::uint64_t>::max();

Bucket bucket(std::int64_t minute, double awake, NamedAmounts items = {},
              std::optional<double> pct = std::nullopt, std::optional<ChargeState> state = std::nullopt) {
    return Bucket{minute, awake, std::move(items), pct, state};
}

std::string line(std::int64_t minute, const std::string& rest, const char* tag = "energy_mj") {
    return std::to_string(minute) + "\t" + tag + "\t" + rest + "\n";
}

// ---- the line format -------------------------------------------------------------------------

TEST(Serialize, ExactBytes) {
    struct Case {
        Bucket b;
        Metric m;
        const char* expected;
    };
    const Case cases[] = {
        {bucket(T, 58.3, {{"Safari", 12345}, {"Mail", 678}}, 87.5, ChargeState::discharging), Metric::energy,
         "1733400000\tenergy_mj\t58.3\tSafari=12345,Mail=678\t87.5:d\n"},
        {bucket(T, 0), Metric::cpuTime, "1733400000\tcpu_ms\t0.0\t\t-\n"},
        {bucket(T, 60, {{"a", 1}}, 100, ChargeState::acPower), Metric::energy,
         "1733400000\tenergy_mj\t60.0\ta=1\t100.0:a\n"},
        {bucket(T, 1.25, {}, 50, std::nullopt), Metric::energy, "1733400000\tenergy_mj\t1.2\t\t-\n"},
        {bucket(T, 2, {}, std::nullopt, ChargeState::charging), Metric::energy, "1733400000\tenergy_mj\t2.0\t\t-\n"},
        {bucket(-60, 0.05, {{"x", u64max}}, 0, ChargeState::charging), Metric::energy,
         "-60\tenergy_mj\t0.1\tx=18446744073709551615\t0.0:c\n"},
        // A name that would split its line or make it unreadable is cleaned, not the minute lost.
        {bucket(T, 1, {{"a\tb,c\nd", 2}, {"\xFF=x", 1}}), Metric::energy,
         "1733400000\tenergy_mj\t1.0\ta_b_c_d=2,\xEF\xBF\xBD=x=1\t-\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(serialize(c.b, c.m), c.expected);
}

struct ParseCase {
    const char* label;
    std::string line;
    std::optional<Bucket> bucket;  // absent: the line is rejected
    Metric metric = Metric::energy;
};

class ParseLineTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseLineTest, Grammar) {
    const auto& c = GetParam();
    const auto got = parseLine(c.line);
    ASSERT_EQ(got.has_value(), c.bucket.has_value());
    if (!got) return;
    EXPECT_EQ(got->first, *c.bucket);
    EXPECT_EQ(got->second, c.metric);
}

const std::string E = "\tenergy_mj\t";

INSTANTIATE_TEST_SUITE_P(
    History, ParseLineTest,
    ::testing::Values(
        ParseCase{"Example", "1733400000" + E + "58.3\tSafari=12345,Mail=678\t87.5:d",
                  bucket(T, 58.3, {{"Safari", 12345}, {"Mail", 678}}, 87.5, ChargeState::discharging)},
        ParseCase{"ThreeFields", "60\tcpu_ms\t3", bucket(60, 3), Metric::cpuTime},
        ParseCase{"TwoFields", "60\tcpu_ms", std::nullopt},
        ParseCase{"FourFieldsNoBattery", "60" + E + "1\ta=1", bucket(60, 1, {{"a", 1}})},
        ParseCase{"EmptyPiecesIgnored", "60" + E + "1\t,a=1,,b=2,\t-", bucket(60, 1, {{"a", 1}, {"b", 2}})},
        ParseCase{"SplitAtLastEquals", "60" + E + "1\tx=y=3,=5\t-", bucket(60, 1, {{"x=y", 3}, {"", 5}})},
        ParseCase{"ItemsKeepFileOrderAndDuplicates", "60" + E + "1\ta=1,b=9,a=2\t-",
                  bucket(60, 1, {{"a", 1}, {"b", 9}, {"a", 2}})},
        ParseCase{"PieceWithoutEquals", "60" + E + "1\ta=1,b\t-", std::nullopt},
        ParseCase{"EmptyValue", "60" + E + "1\ta=\t-", std::nullopt},
        ParseCase{"NegativeValue", "60" + E + "1\ta=-1\t-", std::nullopt},
        ParseCase{"NonNumericValue", "60" + E + "1\ta=1x\t-", std::nullopt},
        ParseCase{"ValueTooBig", "60" + E + "1\ta=18446744073709551616\t-", std::nullopt},
        ParseCase{"BadBatteryTagKeepsLevel", "60" + E + "1\t\t87.5:x", bucket(60, 1, {}, 87.5)},
        ParseCase{"LevelAloneIsNoBattery", "60" + E + "1\t\t87.5", bucket(60, 1)},
        ParseCase{"DashIsNoBattery", "60" + E + "1\t\t-", bucket(60, 1)},
        ParseCase{"EmptyColonPiecesIgnored", "60" + E + "1\t\t:87.5::c:", bucket(60, 1, {}, 87.5, ChargeState::charging)},
        ParseCase{"ThreeBatteryPieces", "60" + E + "1\t\t87.5:c:d", bucket(60, 1)},
        ParseCase{"BadLevelKeepsState", "60" + E + "1\t\tfull:a", bucket(60, 1, {}, std::nullopt, ChargeState::acPower)},
        ParseCase{"ExtraFieldsIgnored", "60" + E + "1\t\t50.0:d\tlater\tfields", bucket(60, 1, {}, 50, ChargeState::discharging)},
        ParseCase{"TagSpelledOut", "60\tenergy\t1", std::nullopt},
        ParseCase{"TagCaseName", "60\tcpuTime\t1", std::nullopt},
        ParseCase{"MinuteWithPlus", "+120" + E + "1", bucket(120, 1)},
        ParseCase{"MinuteNegative", "-120" + E + "1", bucket(-120, 1)},
        ParseCase{"MinuteNotMultipleOf60", "61" + E + "1", bucket(61, 1)},
        ParseCase{"MinuteTwoSigns", "+-120" + E + "1", std::nullopt},
        ParseCase{"MinuteEmpty", E + "1", std::nullopt},
        ParseCase{"MinuteFloat", "60.0" + E + "1", std::nullopt},
        ParseCase{"MinuteSpace", " 60" + E + "1", std::nullopt},
        ParseCase{"MinuteOverflow", "9223372036854775808" + E + "1", std::nullopt},
        ParseCase{"AwakeNotNumber", "60" + E + "abc", std::nullopt},
        ParseCase{"AwakeTrailingText", "60" + E + "1.0s", std::nullopt},
        ParseCase{"AwakeNaNRejected", "60" + E + "nan", std::nullopt},
        ParseCase{"AwakeInfinityRejected", "60" + E + "inf", std::nullopt},
        ParseCase{"InvalidUtf8Rejected", "60" + E + "1\tb\xFF=2\t-", std::nullopt},
        ParseCase{"CarriageReturnSpoilsOnlyTheState", "60" + E + "1\t\t50.0:d\r", bucket(60, 1, {}, 50.0)}),
    [](const auto& info) { return std::string(info.param.label); });

// Whatever the reader accepts, the writer writes back as a line that reads the same (floats to
// the one decimal the format keeps), and a second round changes nothing.
TEST(ParseLineFuzz, AcceptedLinesRoundTrip) {
    const std::vector<std::string> tokens = {
        "0", "1", "7", "60", "-", "+", ".", ".5", "e", "E5", "\t", "\t", "\t", ",", ",", "=", "=", ":",
        "energy_mj", "cpu_ms", "d", "c", "a", "nan", "inf", "Safari", "x", " ", "\xC3\xA9", "e\xCC\x81",
        "\xFF", "18446744073709551615", "9223372036854775807", "1733400000", "58.3", "87.5", "\r", "1e308"};
    std::mt19937_64 rng(20261206);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    int accepted = 0;
    for (int i = 0; i < 60000; ++i) {
        std::string input;
        if (i % 2 == 0) {
            // Mutations of a valid line reach deep into the grammar.
            input = "1733400000\tenergy_mj\t58.3\tSafari=12345,Mail=678\t87.5:d";
            for (std::size_t k = 1 + pick(4); k > 0; --k) {
                const std::size_t at = pick(input.size() + 1);
                if (pick(2) == 0 && at < input.size()) input.erase(at, 1 + pick(3));
                else input.insert(at, tokens[pick(tokens.size())]);
            }
        } else {
            for (std::size_t k = pick(24); k > 0; --k) input += tokens[pick(tokens.size())];
        }
        const auto first = parseLine(input);
        if (!first) continue;
        ++accepted;
        const auto& [b1, m1] = *first;
        std::string out = serialize(b1, m1);
        ASSERT_EQ(out.back(), '\n');
        out.pop_back();
        const auto second = parseLine(out);
        ASSERT_TRUE(second) << "input: " << input << "\nwritten: " << out;
        const auto& [b2, m2] = *second;
        EXPECT_EQ(m2, m1);
        EXPECT_EQ(b2.minute, b1.minute);
        EXPECT_EQ(b2.items, b1.items);
        EXPECT_NEAR(b2.awakeS, b1.awakeS, 0.05 + 1e-12 * std::fabs(b1.awakeS)) << input;
        if (b1.batPct && b1.batState) {
            ASSERT_TRUE(b2.batPct && b2.batState) << input;
            EXPECT_NEAR(*b2.batPct, *b1.batPct, 0.05 + 1e-12 * std::fabs(*b1.batPct));
            EXPECT_EQ(b2.batState, b1.batState);
        } else {
            EXPECT_FALSE(b2.batPct || b2.batState) << input;
        }
        std::string again = serialize(b2, m2);
        again.pop_back();
        EXPECT_EQ(again, out);
    }
    EXPECT_GT(accepted, 1000);  // the generator must actually reach the accepting paths
}

// ---- the open minute and windows -------------------------------------------------------------

TEST(HistoryMemory, ThirtyNamesKeepTheTwentyFourHeaviestWithNfcTieBreak) {
    History h(Metric::energy, T, {});
    NamedAmounts deltas;
    for (int i = 0; i < 20; ++i) deltas.emplace_back("heavy" + std::to_string(i), 1000 + i);
    // Ten names tie at the cut for four places. Decomposed "é" sorts after "f" once composed
    // (U+00E9 > U+0066), although its bytes sort before.
    for (const char* n : {"z", "y", "f", "e\xCC\x81", "b", "x", "w", "v", "c", "u"}) deltas.emplace_back(n, 5);
    h.add(T + 10, 1, deltas);
    h.closeMinute();
    ASSERT_EQ(h.depthMinutes(), 1);
    const auto& items = h.buckets()[0].items;
    ASSERT_EQ(items.size(), 24u);
    EXPECT_EQ(items.front(), NamedAmount("heavy19", 1019));
    EXPECT_EQ(items[19], NamedAmount("heavy0", 1000));
    const NamedAmounts tail(items.begin() + 20, items.end());
    EXPECT_EQ(tail, (NamedAmounts{{"b", 5}, {"c", 5}, {"f", 5}, {"u", 5}}));
}

TEST(HistoryMemory, OpenMinuteClosing) {
    History h(Metric::energy, T, {});
    EXPECT_EQ(h.depthMinutes(), 0);
    h.closeMinute();  // nothing, no awake time
    EXPECT_EQ(h.depthMinutes(), 0);
    h.add(T + 1, 3.5, {});
    h.closeMinute();  // awake time alone makes a record
    ASSERT_EQ(h.depthMinutes(), 1);
    EXPECT_EQ(h.buckets()[0], bucket(T, 3.5));

    // 12:00:59 then 12:01:00: the second tick opens the next minute.
    h.add(T + 59, 1, {{"a", 1}});
    h.add(T + 60, 1, {{"b", 2}, {"b", 3}});
    ASSERT_EQ(h.depthMinutes(), 2);
    EXPECT_EQ(h.buckets()[1].items, (NamedAmounts{{"a", 1}}));
    h.closeMinute();
    EXPECT_EQ(h.buckets()[2].items, (NamedAmounts{{"b", 5}}));
    EXPECT_EQ(h.depthMinutes(), 3);
}

TEST(HistoryMemory, EarlyCloseGivesTwoBucketsOfTheSameMinute) {
    History h(Metric::energy, T, {});
    h.add(T + 10, 10, {{"a", 1}});
    h.closeMinute();  // 12:00:20, the machine slept
    h.add(T + 40, 5, {{"b", 2}});
    h.add(T + 65, 5, {{"c", 3}});
    ASSERT_EQ(h.depthMinutes(), 2);
    EXPECT_EQ(h.buckets()[0], bucket(T, 10, {{"a", 1}}));
    EXPECT_EQ(h.buckets()[1], bucket(T, 5, {{"b", 2}}));
    EXPECT_EQ(h.window(T + 65, 5).totals, (NamedAmounts{{"c", 3}, {"b", 2}, {"a", 1}}));
}

TEST(HistoryMemory, BatteryOfTheLastTickIsCarried) {
    History h(Metric::energy, T, {});
    h.add(T + 1, 1, {{"a", 1}});
    h.setBattery(80, ChargeState::discharging);
    h.add(T + 30, 1, {});
    h.setBattery(79.5, ChargeState::charging);
    h.add(T + 61, 1, {{"a", 1}});  // closes the first minute
    h.setBattery(std::nullopt, std::nullopt);
    h.add(T + 121, 1, {});
    ASSERT_EQ(h.depthMinutes(), 2);
    EXPECT_EQ(h.buckets()[0].batPct, 79.5);
    EXPECT_EQ(h.buckets()[0].batState, ChargeState::charging);
    EXPECT_EQ(h.buckets()[1].batPct, std::nullopt);
    EXPECT_EQ(h.buckets()[1].batState, std::nullopt);
}

TEST(HistoryWindow, Boundaries) {
    const std::int64_t now = T + 600;
    History h(Metric::energy, T, {});
    for (std::int64_t m : {now - 420, now - 360, now - 300, now - 240}) h.add(m, 1, {{std::to_string(now - m), 1}});
    h.closeMinute();
    struct Case {
        std::int64_t now, minutes;
        NamedAmounts totals;
        double awake;
    };
    const Case cases[] = {
        {now, 5, {{"240", 1}, {"300", 1}}, 2},  // T-300 counts, T-360 does not
        {now, 6, {{"240", 1}, {"300", 1}, {"360", 1}}, 3},
        {now, 0, {}, 0},
        {now + 86400, 5, {}, 0},  // nothing happened in that range
        {now, std::numeric_limits<std::int64_t>::max(), {{"240", 1}, {"300", 1}, {"360", 1}, {"420", 1}}, 4},
    };
    for (const auto& c : cases) {
        const Aggregate a = h.window(c.now, c.minutes);
        EXPECT_EQ(a.totals, c.totals) << c.minutes;
        EXPECT_EQ(a.grandTotal, c.totals.size());
        EXPECT_EQ(a.awakeS, c.awake);
    }
}

TEST(HistoryWindow, OpenMinuteCountsWithAllItsNames) {
    History h(Metric::energy, T, {});
    NamedAmounts many;
    for (int i = 0; i < 30; ++i) many.emplace_back("n" + std::to_string(i), 1);
    h.add(T + 5, 2, many);
    EXPECT_EQ(h.window(T + 300, 5).totals.size(), 30u);  // curMinute == cutoff
    EXPECT_EQ(h.window(T + 301, 5).totals.size(), 0u);
}

TEST(HistoryWindow, SumsSaturate) {
    History h(Metric::energy, T, {});
    h.add(T, 1, {{"a", u64max - 1}, {"b", 7}});
    h.add(T + 1, 1, {{"a", 5}});
    h.closeMinute();
    h.add(T + 60, 1, {{"a", u64max}});
    const Aggregate a = h.window(T + 60, 5);
    EXPECT_EQ(a.totals, (NamedAmounts{{"a", u64max}, {"b", 7}}));
    EXPECT_EQ(h.buckets()[0].items[0].second, u64max);
    EXPECT_EQ(a.grandTotal, u64max);
}

// ---- the file --------------------------------------------------------------------------------

struct FileFixture : ::testing::Test {
    TempDir dir;
    fs::path file = dir / "Sapwell/history.tsv";
    std::string contents() const { return TempDir::read(file); }
    void writeFile(const std::string& s) const { dir.write("Sapwell/history.tsv", s); }
};

TEST(HistoryDataFile, Location) {
    struct Case {
        std::optional<std::string> xdg, home;
        fs::path expected;
    };
    const Case cases[] = {
        {"/x/data", "/home/u", "/x/data/Sapwell/history.tsv"},
        {"", "/home/u", "/home/u/.local/share/Sapwell/history.tsv"},
        {"relative/data", "/home/u", "/home/u/.local/share/Sapwell/history.tsv"},
        {std::nullopt, "/home/u", "/home/u/.local/share/Sapwell/history.tsv"},
        {std::nullopt, std::nullopt, fs::path()},
        {std::nullopt, "home", fs::path()},
    };
    for (const auto& c : cases) {
        testing::FakeEnvironment env;
        if (c.xdg) env.vars["XDG_DATA_HOME"] = *c.xdg;
        if (c.home) env.vars["HOME"] = *c.home;
        EXPECT_EQ(History::dataFile(env), c.expected);
    }
}

TEST_F(FileFixture, FlushCreatesThenAppends) {
    History h(Metric::energy, T, file);
    EXPECT_TRUE(fs::is_directory(file.parent_path()));  // the folder comes with the history
    EXPECT_EQ(h.depthMinutes(), 0);
    h.add(T, 30, {{"a", 1}});
    h.add(T + 60, 30, {{"b", 2}});
    h.flush(T + 60);
    EXPECT_EQ(contents(), line(T, "30.0\ta=1\t-"));
    EXPECT_EQ(h.persisted(), 1);
    h.flush(T + 61);  // nothing new
    h.closeMinute();
    h.flush(T + 120);
    EXPECT_EQ(contents(), line(T, "30.0\ta=1\t-") + line(T + 60, "30.0\tb=2\t-"));
    EXPECT_EQ(h.persisted(), 2);

    History again(Metric::energy, T + 120, file);
    EXPECT_EQ(again.buckets(), h.buckets());
    EXPECT_EQ(again.persisted(), 2);
}

TEST_F(FileFixture, UnwritableFolderKeepsPersistedAndRetries) {
    // A file where the folder should be: nothing can be created below it, even as root.
    dir.write("Sapwell", "in the way");
    History h(Metric::energy, T, file);
    h.add(T, 1, {{"a", 1}});
    h.closeMinute();
    h.flush(T + 60);
    EXPECT_EQ(h.persisted(), 0);
    h.add(T + 60, 1, {{"b", 2}});
    h.closeMinute();
    fs::remove(dir / "Sapwell");
    fs::create_directory(dir / "Sapwell");
    h.flush(T + 120);
    EXPECT_EQ(h.persisted(), 2);
    EXPECT_EQ(contents(), line(T, "1.0\ta=1\t-") + line(T + 60, "1.0\tb=2\t-"));
}

TEST_F(FileFixture, LoadKeepsRetainedLinesOfItsMetricSorted) {
    const std::int64_t now = T + 691200;
    writeFile(line(T + 120, "1.0\tlate=1\t-") + line(T, "1.0\tcut=1\t-") + line(T - 1, "1.0\told=1\t-") +
              line(T + 60, "1.0\tfirst=1\t-") + line(T + 60, "1.0\tsecond=1\t-") +
              line(T + 60, "1.0\tcpu=1\t-", "cpu_ms") + "garbage\n\n" + line(T + 60, "1.0\tbad\t-"));
    History h(Metric::energy, now, file);
    std::vector<std::string> names;
    for (const auto& b : h.buckets()) names.push_back(b.items.at(0).first);
    EXPECT_EQ(names, (std::vector<std::string>{"cut", "first", "second", "late"}));
    EXPECT_EQ(h.persisted(), 4);

    History cpu(Metric::cpuTime, now, file, History::Access::readOnly);
    ASSERT_EQ(cpu.depthMinutes(), 1);
    EXPECT_EQ(cpu.buckets()[0].items.at(0).first, "cpu");
}

TEST_F(FileFixture, InvalidUtf8LineAndTornTailCostOnlyThemselves) {
    const std::string good1 = line(T, "1.0\ta=1\t-");
    const std::string bad = line(T + 60, "1.0\tb\xFF\xFE=2\t-");
    const std::string good2 = line(T + 120, "1.0\tc=3\t-");
    const std::string torn = std::to_string(T + 180) + "\tenergy_mj\t1.0\td=12";  // value cut in half
    writeFile(good1 + bad + good2 + torn);

    History h(Metric::energy, T + 200, file);
    ASSERT_EQ(h.depthMinutes(), 2);
    EXPECT_EQ(h.buckets()[0].items[0].first, "a");
    EXPECT_EQ(h.buckets()[1].items[0].first, "c");

    h.add(T + 240, 1, {{"e", 5}});
    h.closeMinute();
    h.flush(T + 300);
    EXPECT_EQ(contents(), good1 + bad + good2 + line(T + 240, "1.0\te=5\t-"));
    History reread(Metric::energy, T + 300, file);
    EXPECT_EQ(reread.depthMinutes(), 3);
}

TEST_F(FileFixture, AppendCutShortIsTakenBackAndRetriedWhole) {
    const std::string first = line(T, "1.0\ta=1\t-");
    writeFile(first);
    History h(Metric::energy, T + 60, file);
    for (int i = 1; i <= 3; ++i) h.add(T + 60 * i, 1, {{"n" + std::to_string(i), 1}});
    h.closeMinute();

    // A full disk, as far as this process can tell: writes stop a few bytes past the end.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = first.size() + 30;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    h.flush(T + 240);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(h.persisted(), 1);
    EXPECT_EQ(contents(), first);  // no partial line left behind
    h.flush(T + 240);
    EXPECT_EQ(h.persisted(), 4);
    EXPECT_EQ(contents(), first + line(T + 60, "1.0\tn1=1\t-") + line(T + 120, "1.0\tn2=1\t-") +
                              line(T + 180, "1.0\tn3=1\t-"));
}

TEST_F(FileFixture, TornFileWithoutAnyLineFeedIsCutToNothing) {
    writeFile("1733400000\tenergy_mj\t1.0\ta=1");
    History h(Metric::energy, T + 60, file);
    EXPECT_EQ(h.depthMinutes(), 0);
    h.add(T + 60, 1, {{"b", 2}});
    h.closeMinute();
    h.flush(T + 70);
    EXPECT_EQ(contents(), line(T + 60, "1.0\tb=2\t-"));
}

TEST_F(FileFixture, CompactionKeepsLiveLinesOfBothMetricsByteForByte) {
    const std::int64_t now = T + 691200;
    // An energy line written by hand with a trailing extra field stays exactly as it was.
    const std::string liveCpu = line(T + 60, "2.0\tx=1\t-", "cpu_ms");
    const std::string liveEnergy = line(T + 120, "3.0\ty=2\t50.0:d\textra");
    std::string file0;
    for (int i = 0; i < 3; ++i) file0 += line(T - 60 * (i + 1), "1.0\told=1\t-");
    file0 += liveCpu + "not a line\n" + liveEnergy;
    writeFile(file0);

    {
        History ro(Metric::energy, now, file, History::Access::readOnly);
        EXPECT_EQ(ro.depthMinutes(), 1);
        EXPECT_EQ(contents(), file0);  // a reader never compacts
    }
    History h(Metric::energy, now, file);
    EXPECT_EQ(contents(), liveCpu + liveEnergy);
    EXPECT_FALSE(fs::exists(file.string() + ".tmp"));
    EXPECT_EQ(h.depthMinutes(), 1);
    EXPECT_EQ(h.persisted(), 1);

    // Balanced dead and live lines: left alone.
    const std::string balanced = line(T - 60, "1.0\told=1\t-") + liveEnergy;
    writeFile(balanced);
    History h2(Metric::energy, now, file);
    EXPECT_EQ(contents(), balanced);
}

TEST_F(FileFixture, FailedCompactionLeavesTheFileUntouched) {
    std::string file0 = line(T - 60, "1.0\told=1\t-") + line(T - 120, "1.0\told=1\t-") +
                        line(T + 60, "1.0\tnew=1\t-");
    writeFile(file0);
    fs::create_directories(file.string() + ".tmp/blocker");  // the temporary file cannot be made
    History h(Metric::energy, T + 691200, file);
    EXPECT_EQ(h.depthMinutes(), 1);
    EXPECT_EQ(contents(), file0);
}

TEST_F(FileFixture, ReadOnlyNeverCreatesOrWrites) {
    History h(Metric::energy, T, file, History::Access::readOnly);
    h.add(T, 1, {{"a", 1}});
    h.closeMinute();
    h.flush(T + 60);
    EXPECT_FALSE(fs::exists(file.parent_path()));
    EXPECT_EQ(h.persisted(), 0);
}

TEST_F(FileFixture, TrimCountsOnlyWrittenBucketsAsRemovedFromTheFile) {
    const std::int64_t now = T + 691200;
    writeFile(line(T + 60, "1.0\ta=1\t-") + line(T + 120, "1.0\tb=1\t-"));
    History h(Metric::energy, now, file);
    ASSERT_EQ(h.persisted(), 2);
    // The wall clock stepped back eight days: an unwritten minute that is already expired.
    h.add(T - 600, 1, {{"old", 1}});
    h.add(now, 1, {{"c", 1}});
    h.closeMinute();
    h.flush(now + 1);
    EXPECT_EQ(h.depthMinutes(), 3);
    EXPECT_EQ(h.persisted(), 3);
    EXPECT_EQ(contents(), line(T + 60, "1.0\ta=1\t-") + line(T + 120, "1.0\tb=1\t-") + line(now, "1.0\tc=1\t-"));
}

TEST_F(FileFixture, RetentionCutAtFlush) {
    History h(Metric::energy, T, file);
    h.add(T, 1, {{"a", 1}});
    h.add(T + 60, 1, {{"b", 1}});
    h.closeMinute();
    h.flush(T + 60);
    h.flush(T + 691200);  // the first minute is exactly at the cutoff
    EXPECT_EQ(h.depthMinutes(), 2);
    h.flush(T + 691201);
    EXPECT_EQ(h.depthMinutes(), 1);
    EXPECT_EQ(h.persisted(), 1);
}

}  // namespace
}  // namespace sapwell
