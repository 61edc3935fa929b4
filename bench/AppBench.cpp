// The application's recurring work: one tick on the live machine against the sampler pass
// alone (the tick adds history, battery, window and title), and one menu rebuild over a full
// eight-day history.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "AppController.hpp"
#include "ChartDump.hpp"
#include "Sampler.hpp"
#include "System.hpp"

namespace {

using namespace sapwell;

// Does nothing: the benchmark measures the controller, not a front end.
class QuietShell : public Shell {
public:
    void setStatusText(const std::string& text) override { benchmark::DoNotOptimize(text.data()); }
    void setTooltip(const std::string&) override {}
    void presentMenu(const MenuEntries&) override {}
    TimerId scheduleRepeating(double, double, std::function<void()>) override { return 1; }
    void cancelTimer(TimerId) override {}
    void loadChart(const std::string&) override {}
    void showChart(const std::string&) override {}
    void hideChart() override {}
    void reveal(const std::string&) override {}
    void quit() override {}
};

std::filesystem::path scratchFile(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("sapwell-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    return dir / name;
}

void samplerPass(benchmark::State& state) {
    Seam& seam = platform::system();
    Sampler sampler(detectMetric(seam.processes), seam.processes, seam.clocks);
    sampler.sample();
    for (auto _ : state) {
        Sample s = sampler.sample();
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(samplerPass)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void tick(benchmark::State& state) {
    Seam& seam = platform::system();
    QuietShell shell;
    AppOptions options;
    options.appPath = "bench";
    options.historyFile = scratchFile("tick-history.tsv");
    AppController app(seam, shell, options);
    app.tick();
    for (auto _ : state) app.tick();
    app.terminate();
    std::filesystem::remove_all(options.historyFile->parent_path());
}
BENCHMARK(tick)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Eight days of minutes, 24 names each, from a pool of 60 applications.
void menuRebuild(benchmark::State& state) {
    Seam& seam = platform::system();
    const std::int64_t now = wholeSeconds(seam.clocks.wallSeconds()) / 60 * 60;
    const auto file = scratchFile("menu-history.tsv");
    History history(Metric::cpuTime, now - retentionSeconds, file, History::Access::readOnly);
    std::vector<std::string> names;
    for (int i = 0; i < 60; ++i) names.push_back("Application " + std::to_string(i));
    for (std::int64_t m = 0; m < retentionMinutes; ++m) {
        NamedAmounts items;
        for (int k = 0; k < topPerMinute; ++k) {
            const auto at = static_cast<std::size_t>((m * 7 + k * 13) % 60);
            items.emplace_back(names[at], static_cast<std::uint64_t>(100 + (m * 31 + k * 17) % 5000));
        }
        history.add(now - retentionSeconds + m * 60, 55.0, items);
    }
    history.closeMinute();
    Sampler sampler(Metric::cpuTime, seam.processes, seam.clocks);
    sampler.primeBundles();
    const Units units(Metric::cpuTime, Lang::en);
    for (auto _ : state) {
        MenuEntries menu = buildMenu(history, units, recentBundles(history, sampler, now), now);
        benchmark::DoNotOptimize(menu);
    }
    state.counters["minutes"] = history.depthMinutes();
    std::filesystem::remove_all(file.parent_path());
}
BENCHMARK(menuRebuild)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
