#include "System.hpp"

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
        return LinuxProcessTable("/proc", std::move(folders.home), std::move(folders.dirs));
    }();
    return processes;
}
}  // namespace

Seam& system() {
    static ProcessEnvironment env;
    static LinuxClocks clocks;
    static SysfsBattery battery;
    static Seam seam{processTable(env), clocks, battery, env};
    return seam;
}

}  // namespace sapwell::platform
