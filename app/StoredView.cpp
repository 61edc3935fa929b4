#include "StoredView.hpp"

namespace sapwell {

namespace {

constexpr std::int64_t bundleWindowMinutes = 1440;

}  // namespace

BundleMap recentBundles(const History& history, const Sampler& sampler, std::int64_t now) {
    BundleMap map;
    for (const auto& [name, total] : history.window(now, bundleWindowMinutes).totals) {
        if (auto path = sampler.bundle(name)) map.emplace(name, std::move(*path));
    }
    return map;
}

StoredView readStored(Seam& seam) {
    const std::int64_t now = wholeSeconds(seam.clocks.wallSeconds());
    const Metric metric = detectMetric(seam.processes);
    // Read only: the running application may be appending to the same file.
    StoredView view{now, metric,
                    History(metric, now, History::dataFile(seam.env), History::Access::readOnly),
                    {}, Lang::detect(seam.env)};
    Sampler sampler(metric, seam.processes, seam.clocks);
    sampler.primeBundles();
    view.bundles = recentBundles(view.history, sampler, now);
    return view;
}

}  // namespace sapwell
