#include "System.hpp"

#include "LinuxClocks.hpp"
#include "LinuxProcessTable.hpp"
#include "ProcessEnvironment.hpp"
#include "SysfsBattery.hpp"

namespace sapwell::platform {

Seam& system() {
    static LinuxProcessTable processes;
    static LinuxClocks clocks;
    static SysfsBattery battery;
    static ProcessEnvironment env;
    static Seam seam{processes, clocks, battery, env};
    return seam;
}

}  // namespace sapwell::platform
