#pragma once

// Objective-C++ only.

#import <AppKit/AppKit.h>
#import <WebKit/WebKit.h>

#include <filesystem>
#include <string>

#include "MacShell.hpp"
#include "Seam.hpp"

// The application's delegate: owns the controller and the shell for the life of the process and
// passes AppKit's and WebKit's events to the controller, all on the main thread.
@interface SapwellAppDelegate
    : NSObject <NSApplicationDelegate, SapwellMenuActions, NSMenuDelegate, WKScriptMessageHandler>
// Creates the status item, then the controller (metric, sampler, history, presentation).
- (instancetype)initWithSeam:(sapwell::Seam&)seam
                     appPath:(const std::string&)appPath
                 historyFile:(const std::filesystem::path&)historyFile;
@end
