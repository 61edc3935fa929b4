#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

#include "Chart.hpp"
#include "History.hpp"
#include "I18n.hpp"
#include "Sampler.hpp"
#include "Seam.hpp"

namespace sapwell {

// Name -> bundle path for the applications of the last 1440 minutes that the sampler knows.
BundleMap recentBundles(const History& history, const Sampler& sampler, std::int64_t now);

// What the read-only modes show: the stored history as the application would load it, never
// written, and the bundles of the applications running now.
struct StoredView {
    std::int64_t now;
    Metric metric;
    History history;
    BundleMap bundles;
    Lang lang;
};
StoredView readStored(Seam& seam);

// The environment's folder for temporary files (Environment::tempFolder).
std::filesystem::path tempFolder(const Environment& env);

// Writes `page` to <folder>/sapwell-chart.html atomically (temporary file in the same folder,
// then rename). Returns the file's path; on failure absent, with the reason in `error`.
std::optional<std::filesystem::path> writeChartPage(const std::string& page,
                                                    const std::filesystem::path& folder,
                                                    std::string& error);

// The whole "--dump-chart" mode: reads the history without writing it, builds the page, writes
// it, prints its path. Returns the process exit status (0, or 1 when the file cannot be written,
// with one line on `err` naming the path and the reason and nothing on `out`).
int runChartDump(Seam& seam, std::ostream& out, std::ostream& err);

}  // namespace sapwell
