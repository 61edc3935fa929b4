#include "MenuBarApp.hpp"

#import <AppKit/AppKit.h>

#include <iostream>
#include <string>

#include "AppDelegate.hpp"
#include "History.hpp"
#include "InstanceLock.hpp"

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

}  // namespace

int runMenuBarApp(Seam& seam, int argc, char** argv) {
    @autoreleasepool {
        const auto historyFile = History::dataFile(seam.env);
        // One writer per history: a second copy would append every minute twice.
        static InstanceLock lock;
        std::string reason;
        const auto lockFile = InstanceLock::besideHistory(historyFile);
        switch (lock.acquire(lockFile, reason)) {
        case InstanceLock::Result::acquired: break;
        case InstanceLock::Result::heldElsewhere:
            std::cerr << "Sapwell is already running\n";
            return 1;
        case InstanceLock::Result::unavailable:
            // The history cannot be written there either; the figures are still worth showing.
            std::cerr << "Sapwell: cannot lock " << lockFile.string() << ": " << reason << "\n";
            break;
        }

        NSApplication* app = NSApplication.sharedApplication;
        // No Dock icon, no main menu: the status item is the whole surface.
        [app setActivationPolicy:NSApplicationActivationPolicyAccessory];
        delegate = [[SapwellAppDelegate alloc] initWithSeam:seam
                                                    appPath:appPath(argc, argv)
                                                historyFile:historyFile];
        app.delegate = delegate;
        [app run];
    }
    return 0;
}

}  // namespace sapwell
