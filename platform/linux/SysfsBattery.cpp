#include "SysfsBattery.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "PowerSupply.hpp"

namespace sapwell::platform {

namespace {

namespace fs = std::filesystem;

std::optional<std::string> readSmallFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return std::nullopt;
    std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return s;
}

// One supply: its uevent, with the attribute files filling the keys an older kernel leaves out
// of it.
struct Supply {
    Uevent ev;
    std::string attr(std::string_view key) const {
        auto it = ev.find(key);
        return it == ev.end() ? std::string() : it->second;
    }
};

Supply readSupply(const fs::path& dir) {
    Supply s;
    if (auto text = readSmallFile(dir / "uevent")) s.ev = parseUevent(*text);
    for (auto [file, key] : {std::pair{"type", "TYPE"}, std::pair{"scope", "SCOPE"},
                             std::pair{"online", "ONLINE"}, std::pair{"present", "PRESENT"}}) {
        if (s.ev.count(key)) continue;
        if (auto text = readSmallFile(dir / file)) {
            std::string v = *text;
            while (!v.empty() && (v.back() == '\n' || v.back() == ' ' || v.back() == '\r')) v.pop_back();
            s.ev.emplace(key, std::move(v));
        }
    }
    return s;
}

// Mains, USB and its many kinds (USB_PD, USB_C, USB_DCP...), Wireless: anything but a battery.
// A UPS is a battery too, and a supply without a type says nothing.
bool isExternalSupply(const std::string& type) {
    return !type.empty() && type != "Battery" && type != "UPS";
}

}  // namespace

SysfsBattery::SysfsBattery(std::filesystem::path root) : root_(std::move(root)) {}

BatteryReading SysfsBattery::read() {
    std::error_code ec;
    std::vector<fs::path> dirs;
    for (fs::directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec))
        dirs.push_back(it->path());
    if (ec && dirs.empty()) return {};
    // Listing order is arbitrary; sorted, BAT0 comes before BAT1 the same way every time.
    std::sort(dirs.begin(), dirs.end());

    std::vector<Uevent> batteries;
    bool anySupply = false;
    bool anyOnline = false;
    for (const auto& dir : dirs) {
        Supply s = readSupply(dir);
        const std::string type = s.attr("TYPE");
        // A device-scoped supply powers a peripheral, not this machine.
        if (s.attr("SCOPE") == "Device") continue;
        if (type == "Battery") {
            if (s.attr("PRESENT") != "0") batteries.push_back(std::move(s.ev));  // not an empty bay
        } else if (isExternalSupply(type)) {
            // One that does not say whether it is online tells nothing either way.
            if (auto online = integerValue(s.ev, "ONLINE")) {
                anySupply = true;
                anyOnline = anyOnline || *online >= 1;
            }
        }
    }
    return combinedReading(batteries, anySupply ? std::optional<bool>(anyOnline) : std::nullopt);
}

}  // namespace sapwell::platform
