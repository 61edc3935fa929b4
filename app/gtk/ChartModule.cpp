#include "ChartModule.hpp"

#include <filesystem>

#include "ChartProcess.hpp"
#include "ProgramFile.hpp"

namespace sapwell {

std::unique_ptr<ChartView> loadChartView(ChartView::Receive receive) {
    const auto exe = platform::programFile();
    if (!exe) return nullptr;
    const auto dir = exe->parent_path();
    std::error_code ec;
    for (const auto& file : {dir / SAPWELL_MODULE_DIR / SAPWELL_CHART_MODULE,
                             dir / SAPWELL_CHART_MODULE}) {
        if (std::filesystem::exists(file, ec)) {
            return std::make_unique<ChartProcess>(*exe, std::move(receive));
        }
    }
    return nullptr;
}

}  // namespace sapwell
