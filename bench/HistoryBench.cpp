// The history at its full size: eight days of minutes with 24 names each, plus as many expired
// lines as an uncompacted file carries.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "History.hpp"

namespace sapwell {

// Benchmark-only access: times the append without the disk sync to show what the sync costs.
struct HistoryBenchAccess {
    static void skipSync(History& h) { h.syncWrites_ = false; }
};

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t now = 1'733'400'000 + retentionSeconds;

struct Fixture {
    fs::path dir;
    fs::path file;
    std::vector<std::string> names;

    Fixture() {
        std::string tmpl = (fs::temp_directory_path() / "sapwell-bench-XXXXXX").string();
        if (char* made = mkdtemp(tmpl.data())) dir = made;
        file = dir / "Sapwell" / "history.tsv";
        for (int i = 0; i < 60; ++i) names.push_back("Application " + std::to_string(i));
        writeFile();
    }
    ~Fixture() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    NamedAmounts items(std::int64_t m, std::mt19937_64& rng) const {
        NamedAmounts items;
        for (int i = 0; i < topPerMinute; ++i)
            items.emplace_back(names[(static_cast<std::size_t>(m / 60) + static_cast<std::size_t>(i) * 7) % names.size()],
                               rng() % 5'000'000);
        sortHeaviestFirst(items);
        return items;
    }
    Bucket minute(std::int64_t m, std::mt19937_64& rng) const {
        return {m, 60.0, items(m, rng), 80.0, ChargeState::discharging, {}};
    }

    // `expiredDays` eight-day spans of expired minutes, then eight days of live ones.
    void writeFile(const fs::path& p, int expiredDays) const {
        fs::create_directories(p.parent_path());
        std::ofstream out(p, std::ios::binary);
        std::mt19937_64 rng(7);
        const std::int64_t first = now - retentionSeconds;
        // Expired minutes first, as an append-only file holds them.
        for (std::int64_t i = 0; i < retentionMinutes * expiredDays; ++i)
            out << serialize(minute(first - retentionSeconds * expiredDays + i * 60, rng), Metric::energy);
        for (std::int64_t i = 0; i < retentionMinutes; ++i)
            out << serialize(minute(first + i * 60, rng), Metric::energy);
    }
    void writeFile() const { writeFile(file, 1); }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_LoadEightDays(benchmark::State& state) {
    auto& f = fixture();
    for (auto _ : state) {
        History h(Metric::energy, now, f.file);
        benchmark::DoNotOptimize(h.depthMinutes());
    }
    state.counters["bytes"] = static_cast<double>(fs::file_size(f.file));
    History h(Metric::energy, now, f.file);
    state.counters["buckets"] = h.depthMinutes();
}
BENCHMARK(BM_LoadEightDays)->Unit(benchmark::kMillisecond);

// Twice as many expired lines as live ones: the load compacts the file.
void BM_LoadAndCompact(benchmark::State& state) {
    auto& f = fixture();
    const fs::path source = f.dir / "overgrown.tsv";
    const fs::path target = f.dir / "compact" / "history.tsv";
    f.writeFile(source, 2);
    fs::create_directories(target.parent_path());
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(source, target, fs::copy_options::overwrite_existing);
        state.ResumeTiming();
        History h(Metric::energy, now, target);
        benchmark::DoNotOptimize(h.depthMinutes());
    }
    state.counters["before"] = static_cast<double>(fs::file_size(source));
    state.counters["after"] = static_cast<double>(fs::file_size(target));
}
BENCHMARK(BM_LoadAndCompact)->Unit(benchmark::kMillisecond);

void BM_Window1440(benchmark::State& state) {
    History h(Metric::energy, now, fixture().file, History::Access::readOnly);
    for (auto _ : state) benchmark::DoNotOptimize(h.window(now, 1440));
}
BENCHMARK(BM_Window1440)->Unit(benchmark::kMicrosecond);

void BM_WindowFive(benchmark::State& state) {
    History h(Metric::energy, now, fixture().file, History::Access::readOnly);
    for (auto _ : state) benchmark::DoNotOptimize(h.window(now, 5));
}
BENCHMARK(BM_WindowFive)->Unit(benchmark::kMicrosecond);

// One minute closed and flushed on a full history: trim, serialize, append (and sync).
void flushOneMinute(benchmark::State& state, bool sync) {
    auto& f = fixture();
    const fs::path copy = f.dir / (sync ? "synced" : "unsynced") / "history.tsv";
    fs::create_directories(copy.parent_path());
    fs::copy_file(f.file, copy, fs::copy_options::overwrite_existing);
    History h(Metric::energy, now, copy);
    if (!sync) HistoryBenchAccess::skipSync(h);
    std::mt19937_64 rng(11);
    std::int64_t t = now;
    for (auto _ : state) {
        t += 60;
        h.add(t, 60.0, f.items(t, rng));
        h.closeMinute();
        h.flush(t);
    }
    state.counters["unwritten"] = static_cast<double>(h.unwritten());
}

void BM_FlushOneMinuteSynced(benchmark::State& state) { flushOneMinute(state, true); }
void BM_FlushOneMinuteUnsynced(benchmark::State& state) { flushOneMinute(state, false); }
BENCHMARK(BM_FlushOneMinuteSynced)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FlushOneMinuteUnsynced)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace sapwell

BENCHMARK_MAIN();
