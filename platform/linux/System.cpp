#include "System.hpp"

#include "I18n.hpp"
#include "LinuxClocks.hpp"
#include "LinuxProcessTable.hpp"
#include "ProcessEnvironment.hpp"
#include "SysfsBattery.hpp"
#include "XdgDirs.hpp"

namespace sapwell::platform {

namespace {
LinuxProcessTable& processTable(const Environment& env) {
    static LinuxProcessTable processes = [&] {
        XdgDataFolders folders = xdgDataFolders(env);
        // Applications are named in the language the menu speaks.
        return LinuxProcessTable("/proc", std::move(folders.home), std::move(folders.dirs),
                                 readingLocale(env));
    }();
    return processes;
}

// For tests only: SAPWELL_POWER_SUPPLY_DIR puts a fixture tree where the kernel's power supplies
// are, so the whole program can be run against batteries this machine does not have.
std::filesystem::path powerSupplyRoot(const Environment& env) {
    const auto dir = env.get("SAPWELL_POWER_SUPPLY_DIR");
    return dir && !dir->empty() ? std::filesystem::path(*dir) : "/sys/class/power_supply";
}
}  // namespace

Seam& system() {
    static ProcessEnvironment env;
    static LinuxClocks clocks;
    static SysfsBattery battery(powerSupplyRoot(env));
    static Seam seam{processTable(env), clocks, battery, env};
    return seam;
}

}  // namespace sapwell::platform
