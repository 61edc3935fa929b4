#pragma once

// Objective-C++ only: the Shell on AppKit and WebKit.

#import <AppKit/AppKit.h>
#import <WebKit/WebKit.h>

#include <map>

#include "Shell.hpp"

// The menu's actions, answered by the object the shell reports to.
@protocol SapwellMenuActions <NSObject>
- (void)revealApp:(NSMenuItem*)sender;
- (void)showChart;
- (void)quit;
@end

// Everything the shell hands events to: menu actions, menu delegate, script messages.
typedef id<SapwellMenuActions, NSMenuDelegate, WKScriptMessageHandler> SapwellShellTarget;

namespace sapwell {

// The status item and its menu, the main-run-loop timers, the chart window and the Finder.
// Menu actions, menu delegate calls and the page's messages go to `target`.
class MacShell final : public Shell {
public:
    explicit MacShell(SapwellShellTarget target);
    ~MacShell() override;
    MacShell(const MacShell&) = delete;
    MacShell& operator=(const MacShell&) = delete;

    void setStatusText(const std::string& text) override;
    void setTooltip(const std::string& text) override;
    void presentMenu(const MenuEntries& entries) override;
    TimerId scheduleRepeating(double intervalS, double toleranceS,
                              std::function<void()> action) override;
    void cancelTimer(TimerId id) override;
    void loadChart(const std::string& html) override;
    void showChart(const std::string& title) override;
    void hideChart() override;
    void reveal(const std::string& path) override;
    void quit() override;

    // Timers scheduled while `opening` runs fire only while a menu is being tracked (the
    // refresh of the open menu); all others fire in the common modes, so sampling goes on
    // while the menu is open.
    template <class F>
    void whileMenuOpens(F&& opening) {
        menuOpening_ = true;
        opening();
        menuOpening_ = false;
    }

private:
    void makeChartWindow();

    __weak SapwellShellTarget target_;
    NSStatusItem* statusItem_ = nil;
    NSMenu* menu_ = nil;
    NSWindow* chartWindow_ = nil;
    std::map<TimerId, NSTimer*> timers_;
    TimerId nextTimer_ = 1;
    bool menuOpening_ = false;
};

// UTF-8 text to and from Foundation strings; invalid UTF-8 becomes an empty string.
NSString* toNSString(const std::string& text);
std::string fromNSString(NSString* string);

}  // namespace sapwell
