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

#ifdef __cplusplus
extern "C" {
#endif

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

// ---- <sys/resource.h>: proc_pid_rusage records ----
typedef void* rusage_info_t;
#define RUSAGE_INFO_V6 6
struct rusage_info_v6 {
    uint8_t ri_uuid[16];
    uint64_t ri_user_time;
    uint64_t ri_system_time;
    uint64_t ri_pkg_idle_wkups;
    uint64_t ri_interrupt_wkups;
    uint64_t ri_pageins;
    uint64_t ri_wired_size;
    uint64_t ri_resident_size;
    uint64_t ri_phys_footprint;
    uint64_t ri_proc_start_abstime;
    uint64_t ri_proc_exit_abstime;
    uint64_t ri_child_user_time;
    uint64_t ri_child_system_time;
    uint64_t ri_child_pkg_idle_wkups;
    uint64_t ri_child_interrupt_wkups;
    uint64_t ri_child_pageins;
    uint64_t ri_child_elapsed_abstime;
    uint64_t ri_diskio_bytesread;
    uint64_t ri_diskio_byteswritten;
    uint64_t ri_cpu_time_qos_default;
    uint64_t ri_cpu_time_qos_maintenance;
    uint64_t ri_cpu_time_qos_background;
    uint64_t ri_cpu_time_qos_utility;
    uint64_t ri_cpu_time_qos_legacy;
    uint64_t ri_cpu_time_qos_user_initiated;
    uint64_t ri_cpu_time_qos_user_interactive;
    uint64_t ri_billed_system_time;
    uint64_t ri_serviced_system_time;
    uint64_t ri_logical_writes;
    uint64_t ri_lifetime_max_phys_footprint;
    uint64_t ri_instructions;
    uint64_t ri_cycles;
    uint64_t ri_billed_energy;
    uint64_t ri_serviced_energy;
    uint64_t ri_interval_max_phys_footprint;
    uint64_t ri_runnable_time;
    uint64_t ri_flags;
    uint64_t ri_user_ptime;
    uint64_t ri_system_ptime;
    uint64_t ri_pinstructions;
    uint64_t ri_pcycles;
    uint64_t ri_energy_nj;
    uint64_t ri_penergy_nj;
    uint64_t ri_secure_time_in_system;
    uint64_t ri_secure_ptime_in_system;
    uint64_t ri_neural_footprint;
    uint64_t ri_lifetime_max_neural_footprint;
    uint64_t ri_interval_max_neural_footprint;
    uint64_t ri_reserved[9];
};

// ---- <libproc.h>, <sys/proc_info.h> ----
#define PROC_ALL_PIDS 1
#define PROC_PIDTBSDINFO 3
#define PROC_PIDTASKINFO 4
#define PROC_PIDPATHINFO_MAXSIZE 4096
#define MAXCOMLEN 16

struct proc_taskinfo {
    uint64_t pti_virtual_size;
    uint64_t pti_resident_size;
    uint64_t pti_total_user;    // Mach ticks
    uint64_t pti_total_system;  // Mach ticks
    uint64_t pti_threads_user;
    uint64_t pti_threads_system;
    int32_t pti_policy;
    int32_t pti_faults;
    int32_t pti_pageins;
    int32_t pti_cow_faults;
    int32_t pti_messages_sent;
    int32_t pti_messages_received;
    int32_t pti_syscalls_mach;
    int32_t pti_syscalls_unix;
    int32_t pti_csw;
    int32_t pti_threadnum;
    int32_t pti_numrunning;
    int32_t pti_priority;
};

struct proc_bsdinfo {
    uint32_t pbi_flags;
    uint32_t pbi_status;
    uint32_t pbi_xstatus;
    uint32_t pbi_pid;
    uint32_t pbi_ppid;
    uid_t pbi_uid;
    gid_t pbi_gid;
    uid_t pbi_ruid;
    gid_t pbi_rgid;
    uid_t pbi_svuid;
    gid_t pbi_svgid;
    uint32_t rfu_1;
    char pbi_comm[MAXCOMLEN];
    char pbi_name[2 * MAXCOMLEN];
    uint32_t pbi_nfiles;
    uint32_t pbi_pgid;
    uint32_t pbi_pjobc;
    uint32_t e_tdev;
    uint32_t e_tpgid;
    int32_t pbi_nice;
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

#ifdef __cplusplus
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
#endif

#ifdef __OBJC__
#import <AppKit/AppKit.h>

// ---- What GNUstep's Foundation and AppKit lack or declare differently ----
typedef NSRect CGRect;
typedef NSPoint CGPoint;
typedef NSSize CGSize;

#ifdef __cplusplus
// Apple's nil is nullptr in C++, so `action:nil` (a SEL) compiles there; GNUstep's is (id)0.
#undef nil
#define nil nullptr
#undef Nil
#define Nil nullptr
#endif

enum : NSUInteger {
    NSEventModifierFlagShift = 1 << 17,
    NSEventModifierFlagControl = 1 << 18,
    NSEventModifierFlagOption = 1 << 19,
    NSEventModifierFlagCommand = 1 << 20,
};

@interface NSStatusItem (SapwellCheck)
@property(readonly, strong) NSStatusBarButton* button;
@end

@interface NSMenu (SapwellCheck)
- (void)removeAllItems;
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
- (void)removeScriptMessageHandlerForName:(NSString*)name;
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
