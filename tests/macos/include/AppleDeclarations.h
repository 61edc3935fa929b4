// Declarations of the Apple interfaces the macOS sources use, written from Apple's published
// documentation, so those sources can be compile-checked on Linux against GNUstep's Foundation
// and AppKit. Nothing here is linked or run. The check force-includes this header into every
// macOS source; the stand-in headers beside it (<libproc.h>, <IOKit/IOKitLib.h>, ...) are empty.
#pragma once

#ifdef __APPLE__
#error "On a Mac the system headers are used; this header is for the Linux compile check only."
#endif

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>
#include <time.h>

extern "C" {  // every source the check compiles is C++ or Objective-C++

// ---- mach ----
typedef int kern_return_t;
typedef unsigned int mach_port_t;
#define KERN_SUCCESS 0
#define MACH_PORT_NULL ((mach_port_t)0)

struct mach_timebase_info {
    uint32_t numer;
    uint32_t denom;
};
typedef struct mach_timebase_info* mach_timebase_info_t;
typedef struct mach_timebase_info mach_timebase_info_data_t;
kern_return_t mach_timebase_info(mach_timebase_info_t info);

// macOS's clock ids (Linux's differ; only the names matter for the check).
#define CLOCK_UPTIME_RAW ((clockid_t)8)

// ---- <sys/resource.h>, <libproc.h>, <sys/proc_info.h> ----
// The kernel's records with the fields the sources read at their offsets in Apple's layout, the
// rest as padding: the sources cannot read a field whose place here was never checked.
typedef void* rusage_info_t;
#define RUSAGE_INFO_V6 6
struct rusage_info_v6 {
    uint8_t ri_before_energy[336];
    uint64_t ri_energy_nj;
    uint8_t ri_after_energy[120];
};

#define PROC_ALL_PIDS 1
#define PROC_PIDTBSDINFO 3
#define PROC_PIDTASKINFO 4

struct proc_taskinfo {
    uint8_t pti_before_total[16];
    uint64_t pti_total_user;    // Mach ticks
    uint64_t pti_total_system;  // Mach ticks
    uint8_t pti_rest[64];
};

struct proc_bsdinfo {
    uint8_t pbi_before_start[120];
    uint64_t pbi_start_tvsec;
    uint64_t pbi_start_tvusec;
};

int proc_listpids(uint32_t type, uint32_t typeinfo, void* buffer, int buffersize);
int proc_pidinfo(int pid, int flavor, uint64_t arg, void* buffer, int buffersize);
int proc_pidpath(int pid, void* buffer, uint32_t buffersize);
int proc_name(int pid, void* buffer, uint32_t buffersize);
int proc_pid_rusage(int pid, int flavor, rusage_info_t* buffer);

// ---- CoreFoundation ----
typedef unsigned char Boolean;
typedef long CFIndex;
typedef unsigned long CFTypeID;
typedef uint32_t CFStringEncoding;
typedef const void* CFTypeRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef const struct __CFDictionary* CFDictionaryRef;
typedef struct __CFDictionary* CFMutableDictionaryRef;
typedef const struct __CFNumber* CFNumberRef;
typedef const struct __CFBoolean* CFBooleanRef;
typedef CFIndex CFNumberType;
enum { kCFNumberSInt64Type = 4, kCFNumberDoubleType = 13 };
enum { kCFStringEncodingUTF8 = 0x08000100 };
extern const CFAllocatorRef kCFAllocatorDefault;

CFTypeID CFGetTypeID(CFTypeRef cf);
void CFRelease(CFTypeRef cf);
CFTypeID CFDictionaryGetTypeID(void);
CFIndex CFDictionaryGetCount(CFDictionaryRef theDict);
void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void** keys, const void** values);
CFTypeID CFStringGetTypeID(void);
CFIndex CFStringGetLength(CFStringRef theString);
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);
Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding);
CFTypeID CFNumberGetTypeID(void);
Boolean CFNumberIsFloatType(CFNumberRef number);
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr);
CFTypeID CFBooleanGetTypeID(void);
Boolean CFBooleanGetValue(CFBooleanRef boolean);

// ---- IOKit ----
typedef mach_port_t io_object_t;
typedef io_object_t io_service_t;
typedef io_object_t io_registry_entry_t;
typedef uint32_t IOOptionBits;
extern const mach_port_t kIOMainPortDefault;
CFMutableDictionaryRef IOServiceMatching(const char* name);
io_service_t IOServiceGetMatchingService(mach_port_t mainPort, CFDictionaryRef matching);
kern_return_t IORegistryEntryCreateCFProperties(io_registry_entry_t entry,
                                                CFMutableDictionaryRef* properties,
                                                CFAllocatorRef allocator, IOOptionBits options);
kern_return_t IOObjectRelease(io_object_t object);

}  // extern "C"

// The layouts the kernel writes; a wrong size here would let the check pass code that reads
// the wrong bytes on a Mac.
static_assert(sizeof(proc_taskinfo) == 96, "proc_taskinfo");
static_assert(offsetof(proc_taskinfo, pti_total_user) == 16, "pti_total_user");
static_assert(offsetof(proc_taskinfo, pti_total_system) == 24, "pti_total_system");
static_assert(sizeof(proc_bsdinfo) == 136, "proc_bsdinfo");
static_assert(offsetof(proc_bsdinfo, pbi_start_tvsec) == 120, "pbi_start_tvsec");
static_assert(offsetof(proc_bsdinfo, pbi_start_tvusec) == 128, "pbi_start_tvusec");
static_assert(sizeof(rusage_info_v6) == 464, "rusage_info_v6");
static_assert(offsetof(rusage_info_v6, ri_energy_nj) == 336, "ri_energy_nj");

#ifdef __OBJC__
#import <AppKit/AppKit.h>

// ---- What GNUstep's Foundation and AppKit lack or declare differently ----
typedef NSRect CGRect;

// Apple's nil is nullptr in C++, so `action:nil` (a SEL) compiles there; GNUstep's is (id)0.
#undef nil
#define nil nullptr
#undef Nil
#define Nil nullptr

@interface NSStatusItem (SapwellCheck)
@property(readonly, strong) NSStatusBarButton* button;
@end

@interface NSApplication (SapwellCheck)
- (BOOL)setActivationPolicy:(NSApplicationActivationPolicy)activationPolicy;
- (NSApplicationActivationPolicy)activationPolicy;
@end

@interface NSTimer (SapwellCheck)
@property NSTimeInterval tolerance;
@end

@interface NSWindow (SapwellCheck)
@property(getter=isReleasedWhenClosed) BOOL releasedWhenClosed;
@end

@interface NSWorkspace (SapwellCheck)
- (void)activateFileViewerSelectingURLs:(NSArray<NSURL*>*)fileURLs;
@end

@interface NSFileManager (SapwellCheck)
- (NSArray<NSURL*>*)URLsForDirectory:(NSSearchPathDirectory)directory
                           inDomains:(NSSearchPathDomainMask)domainMask;
@end

// GNUstep makes every NSMenuDelegate method required; Apple's are all optional.
@protocol SapwellCheckMenuDelegate <NSObject>
@optional
- (void)menuNeedsUpdate:(NSMenu*)menu;
- (void)menuWillOpen:(NSMenu*)menu;
- (void)menuDidClose:(NSMenu*)menu;
@end
#define NSMenuDelegate SapwellCheckMenuDelegate

// ---- WebKit ----
@class WKWebView;
@class WKUserContentController;

@interface WKScriptMessage : NSObject
@property(nonatomic, readonly, copy) id body;
@property(nonatomic, readonly, weak) WKWebView* webView;
@property(nonatomic, readonly, copy) NSString* name;
@end

@protocol WKScriptMessageHandler <NSObject>
@required
- (void)userContentController:(WKUserContentController*)userContentController
      didReceiveScriptMessage:(WKScriptMessage*)message;
@end

@interface WKUserContentController : NSObject
- (void)addScriptMessageHandler:(id<WKScriptMessageHandler>)scriptMessageHandler
                           name:(NSString*)name;
@end

@interface WKWebViewConfiguration : NSObject <NSCopying>
@property(nonatomic, strong) WKUserContentController* userContentController;
@end

@interface WKNavigation : NSObject
@end

@interface WKWebView : NSView
- (instancetype)initWithFrame:(CGRect)frame configuration:(WKWebViewConfiguration*)configuration;
@property(nonatomic, readonly, copy) WKWebViewConfiguration* configuration;
- (WKNavigation*)loadHTMLString:(NSString*)string baseURL:(NSURL*)baseURL;
@end
#endif  // __OBJC__
