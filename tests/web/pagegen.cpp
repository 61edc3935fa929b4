// Test-only: writes the chart page for a history file with a chosen metric and battery capacity,
// which the real binary cannot do on a machine without per-process energy counters, and with a
// measured drain and sleeps that the history file given does not carry.
//   pagegen <history.tsv> <energy|cpu> <capacityMJ|-> <lang> <now> [bundles.tsv [drain.tsv [sleeps.tsv]]]
// bundles.tsv holds one "name<TAB>path" per line, drain.tsv "minute<TAB>mJ<TAB>seconds",
// sleeps.tsv "minute<TAB>seconds<TAB>pctBefore<TAB>pctAfter".
#include <charconv>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Chart.hpp"
#include "History.hpp"
#include "I18n.hpp"

int main(int argc, char** argv) {
    using namespace sapwell;
    if (argc < 6) {
        std::cerr << "usage: pagegen <history> <energy|cpu> <capacityMJ|-> <lang> <now> [bundles]\n";
        return 2;
    }
    const Metric metric = std::string(argv[2]) == "cpu" ? Metric(Metric::cpuTime) : Metric(Metric::energy);
    std::optional<double> capacity;
    if (std::string(argv[3]) != "-") capacity = std::stod(argv[3]);
    const Lang lang = Lang::from(argv[4]).value_or(Lang::en);
    const std::int64_t now = std::stoll(argv[5]);
    BundleMap bundles;
    if (argc > 6) {
        std::ifstream in(argv[6]);
        for (std::string line; std::getline(in, line);) {
            const auto tab = line.find('\t');
            if (tab != std::string::npos) bundles[line.substr(0, tab)] = line.substr(tab + 1);
        }
    }
    const History history(metric, now, argv[1], History::Access::readOnly);
    std::vector<Bucket> buckets = history.buckets();
    if (argc > 7) {
        std::ifstream in(argv[7]);
        std::map<std::int64_t, Drain> drains;
        std::int64_t minute = 0;
        for (Drain d; in >> minute >> d.mJ >> d.seconds;) drains[minute] = d;
        for (auto& b : buckets)
            if (const auto it = drains.find(b.minute); it != drains.end()) b.drain = it->second;
    }
    std::vector<SleepRecord> sleeps;
    if (argc > 8) {
        std::ifstream in(argv[8]);
        SleepRecord s;
        for (double before = 0, after = 0; in >> s.minute >> s.seconds >> before >> after;) {
            s.pctBefore = before;
            s.pctAfter = after;
            sleeps.push_back(s);
        }
    }
    std::cout << Chart::build(buckets, metric, capacity, now, bundles, lang, sleeps);
    return 0;
}
