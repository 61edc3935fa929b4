#include "ChartModule.hpp"

#include <gmodule.h>

#include <filesystem>

#include "ProgramFile.hpp"

namespace sapwell {

std::unique_ptr<ChartView> loadChartView(ChartView::Receive receive, bool reportDraw) {
    static ChartEntry* const entry = []() -> ChartEntry* {
        const auto exe = platform::programFile();
        if (!exe) return nullptr;
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
    return std::unique_ptr<ChartView>(entry(std::move(receive), reportDraw));
}

}  // namespace sapwell
