#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

#include "ChartDump.hpp"
#include "PrintMenu.hpp"
#include "System.hpp"
#ifdef __APPLE__
#include "MenuBarApp.hpp"
#else
#include "TerminalView.hpp"
#ifdef SAPWELL_GTK_SHELL
#include "Autostart.hpp"
#include "ProgramFile.hpp"
#include "TrayModule.hpp"
#endif
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

// The value after a switch, or empty.
[[maybe_unused]] std::string_view valueOf(int argc, char** argv, std::string_view name) {
    for (int i = 0; i + 1 < argc; ++i) {
        if (argv[i] != nullptr && std::string_view(argv[i]) == name && argv[i + 1] != nullptr) {
            return argv[i + 1];
        }
    }
    return {};
}

constexpr std::string_view usage =
    "Usage: sapwell [--terminal | --print-menu | --dump-chart | --autostart on|off | --help]\n"
    "  (none)        the application: samples every 15 s and shows its figure and menu in the\n"
    "                tray; without a graphical session, in the terminal\n"
    "  --terminal    the application in the terminal\n"
    "  --print-menu  print the status menu from the stored history and exit\n"
    "  --dump-chart  write the chart page to $TMPDIR/sapwell-chart.html, print its path, exit\n"
    "  --autostart on|off  start Sapwell at login, or no longer\n";

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
    const std::string appPath = argc > 0 && argv[0] != nullptr ? argv[0] : "sapwell";
#ifdef SAPWELL_GTK_SHELL
    if (hasSwitch(argc, argv, "--autostart")) {
        // The entry names the program's own file; argv[0] when the system cannot say.
        const auto program = sapwell::platform::programFile().value_or(appPath);
        return sapwell::runAutostart(seam.env, valueOf(argc, argv, "--autostart"),
                                     program.string(), std::cout, std::cerr);
    }
    if (!hasSwitch(argc, argv, "--terminal") && graphicalSession(seam.env)) {
        if (auto status = sapwell::runTrayModule(seam, appPath, std::cerr)) return *status;
    }
#endif
    return sapwell::runTerminalView(seam, appPath, std::cerr);
#endif
}
