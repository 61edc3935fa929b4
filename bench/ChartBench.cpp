// The chart on a full history: eight days of minutes, 24 names in each.
//   BM_BuildPage    Chart::build with render, in process (target < 30 ms, page < 2.5 MB)
//   BM_DumpProcess  the whole "sapwell --dump-chart" process (target < 60 ms; bench/startup.sh
//                   times it with the other start-up modes)

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "Chart.hpp"
#include "History.hpp"

extern char** environ;

namespace sapwell {
namespace {

class MapEnvironment : public Environment {
public:
    explicit MapEnvironment(std::string dataHome) : dataHome_(std::move(dataHome)) {}
    std::optional<std::string> get(std::string_view name) const override {
        if (name == "XDG_DATA_HOME") return dataHome_;
        return std::nullopt;
    }

private:
    std::string dataHome_;
};

// A scratch folder holding "Sapwell/history.tsv" with `retentionMinutes` minutes up to `now`.
struct HistoryFixture {
    std::filesystem::path root;
    std::filesystem::path file;

    HistoryFixture(Metric metric, std::int64_t now) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "sapwell-bench-XXXXXX").string();
        root = ::mkdtemp(tmpl.data());
        file = History::dataFile(MapEnvironment(root.string()));
        std::filesystem::create_directories(file.parent_path());

        // 60 applications of very different weights; each minute keeps 24 of them.
        std::mt19937_64 rng(42);
        std::vector<std::string> names;
        for (int i = 0; i < 60; ++i) names.push_back("Application " + std::to_string(i));
        std::string text;
        text.reserve(16 << 20);
        // The newest line is the current minute, so none falls out of retention at `now`.
        const std::int64_t last = now / 60 * 60;
        double pct = 100;
        for (std::int64_t m = retentionMinutes - 1; m >= 0; --m) {
            Bucket b;
            b.minute = last - m * 60;
            b.awakeS = 60;
            std::shuffle(names.begin(), names.end(), rng);
            NamedAmounts items;
            for (int i = 0; i < topPerMinute; ++i) {
                items.push_back({names[i], rng() % (1000000 >> (i / 3))});
            }
            sortHeaviestFirst(items);
            b.items = items;
            pct = pct <= 5 ? 100 : pct - 0.05;
            b.batPct = pct;
            b.batState = (m / 240) % 3 == 0 ? ChargeState::charging : ChargeState::discharging;
            text += serialize(b, metric);
        }
        std::ofstream(file, std::ios::binary) << text;
    }
    ~HistoryFixture() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

std::int64_t wallNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void BM_BuildPage(benchmark::State& state) {
    const std::int64_t now = wallNow();
    const HistoryFixture fixture(Metric::energy, now);
    const History history(Metric::energy, now, fixture.file, History::Access::readOnly);
    if (history.depthMinutes() != retentionMinutes) {
        state.SkipWithError("the history did not load every minute");
        return;
    }
    BundleMap bundles;
    for (int i = 0; i < 60; ++i) {
        bundles["Application " + std::to_string(i)] =
            "/usr/share/applications/app" + std::to_string(i) + ".desktop";
    }
    std::size_t size = 0;
    for (auto _ : state) {
        const std::string page = Chart::build(history, Metric::energy, 216000000.0, now, bundles,
                                              Lang::en);
        size = page.size();
        benchmark::DoNotOptimize(page.data());
    }
    state.counters["page_MB"] = static_cast<double>(size) / 1e6;
}
BENCHMARK(BM_BuildPage)->Unit(benchmark::kMillisecond);

void BM_DumpProcess(benchmark::State& state) {
    // The binary on Linux measures CPU time, so the history holds that metric.
    const HistoryFixture fixture(Metric::cpuTime, wallNow());
    const auto tmp = fixture.root / "tmp";
    std::filesystem::create_directories(tmp);
    std::vector<std::string> envText = {"XDG_DATA_HOME=" + fixture.root.string(),
                                        "TMPDIR=" + tmp.string(), "SAPWELL_LANG=en",
                                        "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (auto& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string binary = SAPWELL_BINARY, sw = "--dump-chart";
    char* argv[] = {binary.data(), sw.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);

    // Wall time is what a user waits; the child's CPU time is the figure that stays meaningful
    // when other work shares the machine.
    double totalMs = 0, totalCpuMs = 0;
    std::int64_t runs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        int status = 0;
        rusage usage{};
        if (posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv, envp.data()) != 0 ||
            wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            state.SkipWithError("the dump failed");
            break;
        }
        totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                             start)
                       .count();
        totalCpuMs += (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                      (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
        ++runs;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (runs > 0) {
        state.counters["mean_ms"] = totalMs / static_cast<double>(runs);
        state.counters["mean_cpu_ms"] = totalCpuMs / static_cast<double>(runs);
        std::error_code ec;
        state.counters["page_MB"] =
            static_cast<double>(std::filesystem::file_size(tmp / "sapwell-chart.html", ec)) / 1e6;
    }
}
BENCHMARK(BM_DumpProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);

}  // namespace
}  // namespace sapwell

BENCHMARK_MAIN();
