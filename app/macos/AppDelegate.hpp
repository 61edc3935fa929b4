#pragma once

// Objective-C++ only.

#import <AppKit/AppKit.h>
#import <WebKit/WebKit.h>

#include "MacShell.hpp"

namespace sapwell {
class AppController;
}

// The application's delegate: the target of the shell's events, which it passes to the
// controller, all on the main thread. Both live as long as the process.
@interface SapwellAppDelegate
    : NSObject <NSApplicationDelegate, SapwellMenuActions, NSMenuDelegate, WKScriptMessageHandler>
// Events go to this controller, made over `shell`, from now on.
- (void)attachShell:(sapwell::MacShell&)shell controller:(sapwell::AppController&)controller;
@end
