#pragma once

#include <cstdint>

#include "Chart.hpp"
#include "Format.hpp"
#include "History.hpp"
#include "MenuEntry.hpp"

namespace sapwell {

// Minutes the status figure covers; the menu's first row repeats it.
inline constexpr std::int64_t statusWindowMinutes = 5;

// The status menu for a history at `now`, as the running application shows it. `bundles` maps
// application names to bundle paths (rows with a path reveal it).
MenuEntries buildMenu(const History& history, const Units& units, const BundleMap& bundles,
                      std::int64_t now);

}  // namespace sapwell
