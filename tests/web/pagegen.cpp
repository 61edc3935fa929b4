// Test-only: writes the chart page for a history file with a chosen metric and battery capacity,
// which the real binary cannot do on a machine without per-process energy counters.
//   pagegen <history.tsv> <energy|cpu> <capacityMJ|-> <lang> <now> [bundles.tsv]
// bundles.tsv holds one "name<TAB>path" per line.
#include <charconv>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

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
    std::cout << Chart::build(history, metric, capacity, now, bundles, lang);
    return 0;
}
