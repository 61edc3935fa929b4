#include "MacEnvironment.hpp"

#import <Foundation/Foundation.h>

#include <cstdlib>

#include "MacFolders.hpp"

#if !__has_feature(objc_arc)
#error "This file needs automatic reference counting (-fobjc-arc)."
#endif

namespace sapwell::platform {

namespace {
std::optional<std::string> text(NSString* string) {
    const char* utf8 = string.UTF8String;
    if (utf8 == nullptr) return std::nullopt;
    return std::string(utf8);
}
}  // namespace

std::optional<std::string> MacEnvironment::get(std::string_view name) const {
    const char* value = std::getenv(std::string(name).c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

std::optional<std::filesystem::path> MacEnvironment::dataFolder() const {
    @autoreleasepool {
        NSArray<NSURL*>* urls = [NSFileManager.defaultManager URLsForDirectory:NSApplicationSupportDirectory
                                                                     inDomains:NSUserDomainMask];
        NSURL* first = urls.firstObject;
        std::optional<std::string> support;
        if (first != nil && first.isFileURL) support = text(first.path);
        return supportFolder(support, text(NSHomeDirectory()));
    }
}

std::string MacEnvironment::localeName() const {
    @autoreleasepool {
        return text(NSLocale.currentLocale.languageCode).value_or(std::string());
    }
}

std::filesystem::path MacEnvironment::tempFolder() const {
    @autoreleasepool {
        return temporaryFolder(text(NSTemporaryDirectory()));
    }
}

}  // namespace sapwell::platform
