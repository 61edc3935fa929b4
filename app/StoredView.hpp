#pragma once

#include <cstdint>

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

}  // namespace sapwell
