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

bool isAdapter(const std::string& type) {
    return type == "Mains" || type == "USB" || type == "Wireless";
}

}  // namespace

SysfsBattery::SysfsBattery(std::filesystem::path root) : root_(std::move(root)) {}

std::optional<PropertyMap> SysfsBattery::properties() {
    std::error_code ec;
    std::vector<fs::path> dirs;
    for (fs::directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec))
        dirs.push_back(it->path());
    if (ec && dirs.empty()) return std::nullopt;
    // Listing order is arbitrary; sorting makes "the first battery" BAT0 before BAT1.
    std::sort(dirs.begin(), dirs.end());

    std::optional<Supply> battery;
    bool anyAdapter = false;
    bool anyOnline = false;
    for (const auto& dir : dirs) {
        Supply s = readSupply(dir);
        const std::string type = s.attr("TYPE");
        // A device-scoped supply powers a peripheral, not this machine.
        if (s.attr("SCOPE") == "Device") continue;
        if (type == "Battery") {
            if (battery || s.attr("PRESENT") == "0") continue;  // an empty battery bay
            battery = std::move(s);
        } else if (isAdapter(type)) {
            anyAdapter = true;
            if (auto online = integerValue(s.ev, "ONLINE"); online && *online >= 1) anyOnline = true;
        }
    }
    if (!battery) return std::nullopt;
    return batteryProperties(battery->ev, anyAdapter ? std::optional<bool>(anyOnline) : std::nullopt);
}

}  // namespace sapwell::platform
