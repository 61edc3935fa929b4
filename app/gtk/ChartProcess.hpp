#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "ChartModule.hpp"
#include "FrameChannel.hpp"

namespace sapwell {

// The chart window as the tray sees it: a child process (the program itself, started with
// chartFdVariable naming its end of a socket) that shows the window and ends once it has been
// hidden a while, taking WebKit and everything it brought with it. The next opening starts
// another, given the latest page and the place where the last window was left.
class ChartProcess final : public ChartView {
public:
    ChartProcess(std::filesystem::path program, Receive receive);
    ~ChartProcess() override;
    ChartProcess(const ChartProcess&) = delete;
    ChartProcess& operator=(const ChartProcess&) = delete;

    void load(const std::string& html) override;
    void show(const std::string& title) override;
    void hide() override;

private:
    bool start();
    void send(char kind, const std::string& body);
    void onFrame(ChartFrame frame);
    void onClosed();

    std::filesystem::path program_;
    Receive receive_;
    std::unique_ptr<FrameChannel> channel_;
    // While the window is meant to be on screen: what a child that ends meanwhile (its time
    // ran out just as the tray asked again) is started again with.
    std::string page_;
    std::optional<std::string> title_;
    bool restarted_ = false;
    std::optional<std::string> place_;  // as the last window reported it
};

}  // namespace sapwell
