#include "MacShell.hpp"

#include <utility>
#include <vector>

#include "MenuNode.hpp"

#if !__has_feature(objc_arc)
#error "This file needs automatic reference counting (-fobjc-arc)."
#endif

namespace sapwell {

namespace {

constexpr CGFloat chartWidth = 1000;
constexpr CGFloat chartHeight = 680;
constexpr NSWindowStyleMask chartStyle = NSWindowStyleMaskTitled | NSWindowStyleMaskClosable |
                                         NSWindowStyleMaskMiniaturizable |
                                         NSWindowStyleMaskResizable;
static_assert(chartStyle == 15, "titled, closable, miniaturizable, resizable");

NSString* const messageHandlerName = @"sapwell";

// Font and colour of an entry's attributed title.
NSDictionary<NSAttributedStringKey, id>* attributes(MenuEntry::Style style) {
    NSFont* font = nil;
    NSColor* colour = nil;
    switch (style) {
    case MenuEntry::Style::header:
        font = [NSFont boldSystemFontOfSize:13];
        colour = NSColor.labelColor;
        break;
    case MenuEntry::Style::note:
        font = [NSFont menuFontOfSize:12];
        colour = NSColor.secondaryLabelColor;
        break;
    case MenuEntry::Style::row:
        font = [NSFont menuFontOfSize:13];
        colour = NSColor.labelColor;
        break;
    case MenuEntry::Style::dimRow:
        font = [NSFont menuFontOfSize:13];
        colour = NSColor.secondaryLabelColor;
        break;
    case MenuEntry::Style::standard: return nil;
    }
    return @{NSFontAttributeName : font, NSForegroundColorAttributeName : colour};
}

bool isSeparator(const MenuEntry& e) { return e.kind == MenuEntry::Kind::separator; }

SEL selectorOf(MenuEntry::Action action) {
    switch (action) {
    case MenuEntry::Action::revealApp: return @selector(revealApp:);
    case MenuEntry::Action::showChart: return @selector(showChart);
    case MenuEntry::Action::quit: return @selector(quit);
    case MenuEntry::Action::none: break;
    }
    return nullptr;
}

// Puts `entry` on an item that is not a separator. An item holding a submenu keeps the action
// AppKit gave it with the submenu.
void show(NSMenuItem* item, const MenuEntry& entry, SapwellShellTarget target) {
    NSString* title = toNSString(entry.text);
    item.attributedTitle = nil;
    item.title = title;
    if (NSDictionary* style = attributes(entry.style)) {
        item.attributedTitle = [[NSAttributedString alloc] initWithString:title attributes:style];
    }
    item.keyEquivalent = toNSString(entry.keyEquivalent);
    if (item.submenu == nil) {
        const SEL action = selectorOf(entry.action);
        item.action = action;
        item.target = action != nullptr ? target : nil;
    }
    item.representedObject = entry.bundlePath ? toNSString(*entry.bundlePath) : nil;
    item.toolTip = entry.tooltip.empty() ? nil : toNSString(entry.tooltip);
}

// Makes `menu` show `nodes`, each with its children in a submenu. Items stay where the kind at
// their place stays (separator or not), in the menu and in each submenu, so a menu that is open
// while a tick refreshes it changes in place, an open submenu included, instead of closing.
void fill(NSMenu* menu, const std::vector<MenuNode>& nodes, SapwellShellTarget target) {
    const auto count = static_cast<NSInteger>(nodes.size());
    for (NSInteger i = 0; i < count; ++i) {
        const MenuNode& node = nodes[static_cast<std::size_t>(i)];
        const MenuEntry& entry = *node.entry;
        NSMenuItem* item = i < menu.numberOfItems ? [menu itemAtIndex:i] : nil;
        if (item == nil || bool([item isSeparatorItem]) != isSeparator(entry)) {
            if (item != nil) [menu removeItemAtIndex:i];
            // The cast is a no-op on AppKit; GNUstep, which checks this file on Linux, types it id.
            item = isSeparator(entry) ? (NSMenuItem*)[NSMenuItem separatorItem]
                                      : [[NSMenuItem alloc] initWithTitle:@""
                                                                   action:nullptr
                                                            keyEquivalent:@""];
            [menu insertItem:item atIndex:i];
        }
        if (isSeparator(entry)) continue;
        const bool opensSubmenu = !node.children.empty();
        if (!opensSubmenu && item.submenu != nil) item.submenu = nil;
        show(item, entry, target);
        if (!opensSubmenu) continue;
        NSMenu* submenu = item.submenu;
        if (submenu == nil) {
            submenu = [[NSMenu alloc] initWithTitle:toNSString(entry.text)];
            submenu.autoenablesItems = NO;
            item.submenu = submenu;
        }
        std::vector<MenuNode> rows;
        for (const MenuEntry* child : node.children) rows.push_back({child, {}});
        fill(submenu, rows, target);
    }
    while (menu.numberOfItems > count) [menu removeItemAtIndex:menu.numberOfItems - 1];
}

}  // namespace

NSString* toNSString(const std::string& text) {
    NSString* string = [[NSString alloc] initWithBytes:text.data()
                                                length:text.size()
                                              encoding:NSUTF8StringEncoding];
    return string != nil ? string : @"";
}

std::string fromNSString(NSString* string) {
    const char* utf8 = string.UTF8String;
    return utf8 != nullptr ? std::string(utf8) : std::string();
}

MacShell::MacShell(SapwellShellTarget target) : target_(target) {
    // Shown in the menu bar from here on, empty until the controller sets its title.
    statusItem_ = [NSStatusBar.systemStatusBar statusItemWithLength:NSVariableStatusItemLength];
}

MacShell::~MacShell() {
    for (auto& [id, timer] : timers_) [timer invalidate];
    timers_.clear();
}

void MacShell::setStatusText(const std::string& text) {
    NSStatusBarButton* button = statusItem_.button;
    if (button != nil) button.title = toNSString(text);
}

void MacShell::setTooltip(const std::string& text) {
    NSStatusBarButton* button = statusItem_.button;
    if (button != nil) button.toolTip = toNSString(text);
}

void MacShell::presentMenu(const MenuEntries& entries) {
    if (menu_ == nil) {
        menu_ = [[NSMenu alloc] initWithTitle:@"Sapwell"];
        // Entries without an action must still show in full colour.
        menu_.autoenablesItems = NO;
        menu_.delegate = target_;
        statusItem_.menu = menu_;
    }
    fill(menu_, menuNodes(entries), target_);
}

Shell::TimerId MacShell::scheduleRepeating(double intervalS, double toleranceS,
                                           std::function<void()> action) {
    const TimerId id = nextTimer_++;
    // The block keeps its own copy of the action; cancelling invalidates the timer, and the
    // controller cancels its timers before it goes away.
    const std::function<void()> run = std::move(action);
    NSTimer* timer = [NSTimer timerWithTimeInterval:intervalS
                                            repeats:YES
                                              block:^(NSTimer*) {
                                                run();
                                              }];
    timer.tolerance = toleranceS;
    NSRunLoopMode mode = menuOpening_ ? NSEventTrackingRunLoopMode : NSRunLoopCommonModes;
    [NSRunLoop.currentRunLoop addTimer:timer forMode:mode];
    timers_[id] = timer;
    return id;
}

void MacShell::cancelTimer(TimerId id) {
    const auto it = timers_.find(id);
    if (it == timers_.end()) return;
    [it->second invalidate];
    timers_.erase(it);
}

void MacShell::makeChartWindow() {
    const NSRect frame = NSMakeRect(0, 0, chartWidth, chartHeight);
    chartWindow_ = [[NSWindow alloc] initWithContentRect:frame
                                               styleMask:chartStyle
                                                 backing:NSBackingStoreBuffered
                                                   defer:NO];
    // Closing only hides it; the next opening reuses it where the user left it.
    chartWindow_.releasedWhenClosed = NO;
    WKWebViewConfiguration* configuration = [[WKWebViewConfiguration alloc] init];
    [configuration.userContentController addScriptMessageHandler:target_ name:messageHandlerName];
    WKWebView* webView = [[WKWebView alloc] initWithFrame:frame configuration:configuration];
    chartWindow_.contentView = webView;
    [chartWindow_ center];
}

void MacShell::loadChart(const std::string& html) {
    if (chartWindow_ == nil) makeChartWindow();
    // A window whose content is not the web view is shown without the page.
    id content = chartWindow_.contentView;
    if ([content isKindOfClass:[WKWebView class]]) {
        WKWebView* webView = content;
        [webView loadHTMLString:toNSString(html) baseURL:nil];
    }
}

void MacShell::showChart(const std::string& title) {
    if (chartWindow_ == nil) makeChartWindow();
    chartWindow_.title = toNSString(title);
    [chartWindow_ makeKeyAndOrderFront:nil];
    // An accessory application is not active by itself; bring the window in front of others.
    [NSApp activateIgnoringOtherApps:YES];
}

void MacShell::hideChart() {
    if (chartWindow_ != nil) [chartWindow_ orderOut:nil];
}

void MacShell::reveal(const std::string& path) {
    // A file URL built from the path, so spaces and non-ASCII characters stay as they are.
    NSURL* url = [NSURL fileURLWithPath:toNSString(path)];
    [NSWorkspace.sharedWorkspace activateFileViewerSelectingURLs:@[ url ]];
}

void MacShell::quit() { [NSApp terminate:nil]; }

}  // namespace sapwell
