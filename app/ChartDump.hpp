#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

#include "Seam.hpp"
#include "StoredView.hpp"

namespace sapwell {

// Writes `page` to <folder>/sapwell-chart.html atomically and for its owner only
// (replaceFile). Returns the file's path; on failure absent, with the reason in `error`.
std::optional<std::filesystem::path> writeChartPage(const std::string& page,
                                                    const std::filesystem::path& folder,
                                                    std::string& error);

// The whole "--dump-chart" mode: reads the history without writing it, builds the page, writes
// it, prints its path. Returns the process exit status (0, or 1 when the file cannot be written,
// with one line on `err` naming the path and the reason and nothing on `out`).
int runChartDump(Seam& seam, std::ostream& out, std::ostream& err);

}  // namespace sapwell
