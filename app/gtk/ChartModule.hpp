#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Shell.hpp"

namespace sapwell {

// What the shell needs of the chart window, without WebKit's headers or libraries.
class ChartView {
public:
    using Receive = std::function<void(const std::string& message)>;
    using Released = std::function<void()>;
    virtual ~ChartView() = default;
    virtual void load(const std::string& html) = 0;
    virtual void show(const std::string& title) = 0;
    virtual void hide() = 0;
};

// The chart module's one entry point: makes the window, whose page's messages go to `receive`;
// its web view and WebKit's processes are let go once it has been hidden `releaseAfterS`
// seconds, and then `released` runs. Null when it cannot be made; nothing is thrown across it.
using ChartEntry = ChartView*(ChartView::Receive receive, bool reportDraw, double releaseAfterS,
                              ChartView::Released released) noexcept;
inline constexpr const char* chartEntryName = "sapwell_chart_view_new";

// Loads the chart module (WebKitGTK and the libraries it brings, tens of megabytes the tray
// does not need until the chart is opened) and makes the window. Looked for beside the program
// in the build tree and in its library folder once installed. Null when it cannot be loaded.
// Each time the window lets its web view go, the pages of those libraries go back to the
// kernel too.
std::unique_ptr<ChartView> loadChartView(ChartView::Receive receive, bool reportDraw,
                                         double releaseAfterS);

}  // namespace sapwell
