#pragma once

#include <functional>
#include <memory>
#include <string>

namespace sapwell {

// What the shell needs of the chart window, without WebKit's headers or libraries.
class ChartView {
public:
    using Receive = std::function<void(const std::string& message)>;
    virtual ~ChartView() = default;
    virtual void load(const std::string& html) = 0;
    virtual void show(const std::string& title) = 0;
    virtual void hide() = 0;
};

// The chart window runs in a process of its own: the program itself, started by the tray with
// this variable naming the descriptor of its end of a socket (ChartFrame.hpp says what goes
// over it). There it loads the chart module (WebKitGTK and the libraries it brings) and runs
// the module's one entry point, which shows the window until it has been hidden
// `releaseAfterS` seconds or the tray has gone, and returns the exit status. When the process
// ends, all it took goes back at once; the tray never carries WebKit.
inline constexpr const char* chartFdVariable = "SAPWELL_CHART_FD";
using ChartEntry = int(int fd, double releaseAfterS, bool reportDraw) noexcept;
inline constexpr const char* chartEntryName = "sapwell_chart_run";

// The tray's side: the window in its process, page messages going to `receive`. Null when the
// chart module is not there (looked for beside the program in the build tree and in its
// library folder once installed).
std::unique_ptr<ChartView> loadChartView(ChartView::Receive receive);

}  // namespace sapwell
