#include "AppDelegate.hpp"

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "AppController.hpp"

#if !__has_feature(objc_arc)
#error "This file needs automatic reference counting (-fobjc-arc)."
#endif

namespace {

// The text the page posted; absent for anything else, which the page never sends.
std::optional<std::string> messageText(id body) {
    if (![body isKindOfClass:[NSString class]]) return std::nullopt;
    return sapwell::fromNSString(body);
}

}  // namespace

@implementation SapwellAppDelegate {
    sapwell::MacShell* _shell;
    sapwell::AppController* _controller;
}

- (void)attachShell:(sapwell::MacShell&)shell controller:(sapwell::AppController&)controller {
    _shell = &shell;
    _controller = &controller;
}

// MARK: NSApplicationDelegate

- (void)applicationDidFinishLaunching:(NSNotification*)notification {
    NSAssert(NSThread.isMainThread, @"AppKit calls the delegate on the main thread");
    (void)notification;
    _controller->launch();
}

- (void)applicationWillTerminate:(NSNotification*)notification {
    NSAssert(NSThread.isMainThread, @"AppKit calls the delegate on the main thread");
    (void)notification;
    // The minute in progress is closed and everything unwritten goes to the file. AppKit ends
    // the process with status 0 as soon as this returns ([NSApp run] never returns to runApp), so
    // a failed write ends it here with runApp's status for it; the controller has said why on
    // standard error. Stopping the loop instead would mean refusing the termination, which at
    // logout cancels the logout.
    if (!_controller->terminate()) std::exit(1);
}

// Sapwell.app opened again while it runs: LaunchServices hands the open to this instance instead
// of starting another, and the chart is an answer the user sees.
- (BOOL)applicationShouldHandleReopen:(NSApplication*)sender hasVisibleWindows:(BOOL)flag {
    NSAssert(NSThread.isMainThread, @"AppKit calls the delegate on the main thread");
    (void)sender;
    (void)flag;
    _controller->openChart();
    return NO;
}

// MARK: NSMenuDelegate

- (void)menuNeedsUpdate:(NSMenu*)menu {
    NSAssert(NSThread.isMainThread, @"AppKit calls the delegate on the main thread");
    (void)menu;
    _controller->menuNeedsUpdate();
}

- (void)menuWillOpen:(NSMenu*)menu {
    NSAssert(NSThread.isMainThread, @"AppKit calls the delegate on the main thread");
    (void)menu;
    // The refresh timer runs only while the menu is tracked.
    _shell->whileMenuOpens([self] { _controller->menuWillOpen(); });
}

- (void)menuDidClose:(NSMenu*)menu {
    NSAssert(NSThread.isMainThread, @"AppKit calls the delegate on the main thread");
    (void)menu;
    _controller->menuDidClose();
}

// MARK: Menu actions

- (void)revealApp:(NSMenuItem*)sender {
    NSAssert(NSThread.isMainThread, @"menu actions run on the main thread");
    id path = sender.representedObject;
    if ([path isKindOfClass:[NSString class]]) _shell->reveal(sapwell::fromNSString(path));
}

- (void)showChart {
    NSAssert(NSThread.isMainThread, @"menu actions run on the main thread");
    _controller->openChart();
}

- (void)quit {
    NSAssert(NSThread.isMainThread, @"menu actions run on the main thread");
    _controller->quit();
}

// MARK: WKScriptMessageHandler

- (void)userContentController:(WKUserContentController*)userContentController
      didReceiveScriptMessage:(WKScriptMessage*)message {
    NSAssert(NSThread.isMainThread, @"WebKit delivers script messages on the main thread");
    (void)userContentController;
    if (auto text = messageText(message.body)) _controller->receive(*text);
}

@end
