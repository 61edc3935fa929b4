#include "ChartModule.hpp"

#include <gmodule.h>

#include <filesystem>

#include "AddedLibraries.hpp"
#include "ProgramFile.hpp"

namespace sapwell {

namespace {

constexpr guint pageOutDelayS = 5;

// The libraries the chart module brought in.
AddedLibraries& added() {
    static AddedLibraries libraries;
    return libraries;
}

gboolean onPageOutDue(gpointer) {
    added().pageOut();
    return G_SOURCE_REMOVE;
}

// Once WebKit's processes have gone: until then they share those pages, which the kernel then
// leaves alone.
void pageOutLater() { g_timeout_add_seconds(pageOutDelayS, onPageOutDue, nullptr); }

}  // namespace

std::unique_ptr<ChartView> loadChartView(ChartView::Receive receive, bool reportDraw,
                                         double releaseAfterS) {
    static ChartEntry* const entry = []() -> ChartEntry* {
        const auto exe = platform::programFile();
        if (!exe) return nullptr;
        added().noteBefore();
        const auto dir = exe->parent_path();
        for (const auto& file : {dir / SAPWELL_MODULE_DIR / SAPWELL_CHART_MODULE,
                                 dir / SAPWELL_CHART_MODULE}) {
            // Kept for the life of the process: the window it makes lives as long.
            GModule* module = g_module_open(file.c_str(), G_MODULE_BIND_LOCAL);
            if (module == nullptr) continue;
            gpointer symbol = nullptr;
            if (g_module_symbol(module, chartEntryName, &symbol) && symbol != nullptr) {
                return reinterpret_cast<ChartEntry*>(symbol);
            }
            g_module_close(module);
        }
        return nullptr;
    }();
    if (entry == nullptr) return nullptr;
    return std::unique_ptr<ChartView>(
        entry(std::move(receive), reportDraw, releaseAfterS, pageOutLater));
}

}  // namespace sapwell
