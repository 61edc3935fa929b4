#include "IOKitBattery.hpp"

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOKitLib.h>

#include <vector>

#include "BatteryProperties.hpp"

namespace sapwell::platform {

namespace {

std::optional<std::string> keyText(CFTypeRef key) {
    if (key == nullptr || CFGetTypeID(key) != CFStringGetTypeID()) return std::nullopt;
    const auto string = static_cast<CFStringRef>(key);
    const CFIndex size =
        CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8) + 1;
    std::vector<char> buffer(static_cast<std::size_t>(size), '\0');
    if (!CFStringGetCString(string, buffer.data(), size, kCFStringEncodingUTF8)) return std::nullopt;
    return std::string(buffer.data());
}

CFScalar scalar(CFTypeRef value) {
    CFScalar out;
    if (value == nullptr) return out;
    const CFTypeID type = CFGetTypeID(value);
    // CFBoolean is its own type, not a CFNumber, so a flag never reads as 0 or 1.
    if (type == CFBooleanGetTypeID()) {
        out.kind = CFScalar::Kind::boolean;
        out.truth = CFBooleanGetValue(static_cast<CFBooleanRef>(value));
    } else if (type == CFNumberGetTypeID()) {
        const auto number = static_cast<CFNumberRef>(value);
        if (CFNumberIsFloatType(number)) {
            if (CFNumberGetValue(number, kCFNumberDoubleType, &out.real))
                out.kind = CFScalar::Kind::real;
        } else if (CFNumberGetValue(number, kCFNumberSInt64Type, &out.integer)) {
            out.kind = CFScalar::Kind::integer;  // false: the value does not fit 64 bits
        }
    }
    return out;
}

PropertyMap toMap(CFDictionaryRef dictionary) {
    PropertyMap map;
    const CFIndex count = CFDictionaryGetCount(dictionary);
    if (count <= 0) return map;
    std::vector<const void*> keys(static_cast<std::size_t>(count), nullptr);
    std::vector<const void*> values(static_cast<std::size_t>(count), nullptr);
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
    for (std::size_t i = 0; i < keys.size(); ++i) addProperty(map, keyText(keys[i]), scalar(values[i]));
    return map;
}

}  // namespace

BatteryReading IOKitBattery::read() {
    // The matching dictionary is consumed by the look-up, whatever it finds.
    const io_service_t service =
        IOServiceGetMatchingService(kIOMainPortDefault, IOServiceMatching("AppleSmartBattery"));
    if (service == MACH_PORT_NULL) return {};  // no battery

    CFMutableDictionaryRef properties = nullptr;
    const kern_return_t result =
        IORegistryEntryCreateCFProperties(service, &properties, kCFAllocatorDefault, 0);
    IOObjectRelease(service);

    BatteryReading reading;
    if (result == KERN_SUCCESS && properties != nullptr &&
        CFGetTypeID(properties) == CFDictionaryGetTypeID())
        reading = batteryReading(toMap(properties));
    if (properties != nullptr) CFRelease(properties);
    return reading;
}

}  // namespace sapwell::platform
