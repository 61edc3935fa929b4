#include <iostream>
#include <string>
#include <string_view>

#include "ChartDump.hpp"
#include "MenuText.hpp"
#include "System.hpp"
#ifdef __APPLE__
#include "MenuBarApp.hpp"
#else
#include "TerminalShell.hpp"
#endif

namespace {

// A mode is chosen by an argument that is exactly its switch, wherever it stands.
bool hasSwitch(int argc, char** argv, std::string_view name) {
    for (int i = 0; i < argc; ++i) {
        if (argv[i] != nullptr && std::string_view(argv[i]) == name) return true;
    }
    return false;
}

[[maybe_unused]] bool graphicalSession(const sapwell::Environment& env) {  // not on macOS
    for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY"}) {
        const auto value = env.get(name);
        if (value && !value->empty()) return true;
    }
    return false;
}

constexpr std::string_view usage =
    "Usage: sapwell [--terminal | --print-menu | --dump-chart | --help]\n"
    "  (none)        the application: samples every 15 s and shows the menu in the terminal\n"
    "  --terminal    the same, asked for explicitly\n"
    "  --print-menu  print the status menu from the stored history and exit\n"
    "  --dump-chart  write the chart page to $TMPDIR/sapwell-chart.html, print its path, exit\n";

}  // namespace

int main(int argc, char** argv) {
    sapwell::Seam& seam = sapwell::platform::system();
    if (hasSwitch(argc, argv, "--dump-chart")) {
        return sapwell::runChartDump(seam, std::cout, std::cerr);
    }
    if (hasSwitch(argc, argv, "--help")) {
        std::cout << usage;
        return 0;
    }
    if (hasSwitch(argc, argv, "--print-menu")) {
        return sapwell::runPrintMenu(seam, std::cout);
    }
#ifdef __APPLE__
    return sapwell::runMenuBarApp(seam, argc, argv);
#else
    if (!hasSwitch(argc, argv, "--terminal") && graphicalSession(seam.env)) {
        std::cerr << "Sapwell: the tray shell is not built yet; running the terminal view.\n";
    }
    const std::string appPath = argc > 0 && argv[0] != nullptr ? argv[0] : "sapwell";
    return sapwell::runTerminalView(seam, appPath, std::cerr);
#endif
}
