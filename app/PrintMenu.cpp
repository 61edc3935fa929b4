#include "PrintMenu.hpp"

#include <ostream>

#include "Battery.hpp"
#include "Format.hpp"
#include "MenuBuilder.hpp"
#include "MenuText.hpp"
#include "StoredView.hpp"

namespace sapwell {

int runPrintMenu(Seam& seam, std::ostream& out) {
    const StoredView view = readStored(seam);
    const BatteryReading battery = seam.battery.read();
    const Units units(view.metric, Battery::capacityMJ(battery), Battery::snapshot(battery).state,
                      view.lang);
    out << menuText(buildMenu(view.history, units, view.bundles, view.now,
                              {battery.remainingMJ, battery.levelPct}));
    out.flush();
    return out ? 0 : 1;
}

}  // namespace sapwell
