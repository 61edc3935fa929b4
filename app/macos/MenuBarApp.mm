#include "MenuBarApp.hpp"

#import <AppKit/AppKit.h>

#include <iostream>
#include <memory>
#include <string>

#include "AppDelegate.hpp"
#include "MacShell.hpp"
#include "ShellLoop.hpp"

#if !__has_feature(objc_arc)
#error "This file needs automatic reference counting (-fobjc-arc)."
#endif

namespace sapwell {

namespace {

// The tooltip's location of the program: the bundle when running as Sapwell.app, else the
// command the bare executable was started with.
std::string appPath(int argc, char** argv) {
    NSURL* bundle = NSBundle.mainBundle.bundleURL;
    if (bundle != nil && [bundle.pathExtension isEqualToString:@"app"]) {
        return fromNSString(bundle.path);
    }
    return argc > 0 && argv[0] != nullptr ? std::string(argv[0]) : std::string("sapwell");
}

// The application object and its delegate live as long as the process (the application only
// holds its delegate weakly).
SapwellAppDelegate* delegate = nil;

// AppKit's run loop. It does not return: the application ends the process once its delegate has
// terminated the controller (applicationWillTerminate:).
class MenuBarLoop final : public ShellLoop {
public:
    std::unique_ptr<Shell> openShell() override {
        // No Dock icon, no main menu: the status item is the whole surface.
        [NSApplication.sharedApplication setActivationPolicy:NSApplicationActivationPolicyAccessory];
        delegate = [[SapwellAppDelegate alloc] init];
        auto shell = std::make_unique<MacShell>(delegate);
        shell_ = shell.get();
        return shell;
    }

    void run(AppController& controller) override {
        [delegate attachShell:*shell_ controller:controller];
        NSApplication* app = NSApplication.sharedApplication;
        app.delegate = delegate;
        [app run];
    }

private:
    MacShell* shell_ = nullptr;
};

}  // namespace

int runMenuBarApp(Seam& seam, int argc, char** argv) {
    @autoreleasepool {
        MenuBarLoop loop;
        return runApp(seam, appPath(argc, argv), std::cerr, loop);
    }
}

}  // namespace sapwell
