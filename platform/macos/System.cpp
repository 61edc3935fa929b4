#include "System.hpp"

#include "IOKitBattery.hpp"
#include "MacClocks.hpp"
#include "MacEnvironment.hpp"
#include "MacProcessTable.hpp"

namespace sapwell::platform {

Seam& system() {
    static MacEnvironment env;
    static MacClocks clocks;
    static MacProcessTable processes(clocks);
    static IOKitBattery battery;
    static Seam seam{processes, clocks, battery, env};
    return seam;
}

}  // namespace sapwell::platform
