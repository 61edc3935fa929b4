#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ChartDump.hpp"
#include "CommandLine.hpp"
#include "Export.hpp"
#include "PrintMenu.hpp"
#include "System.hpp"
#include "TerminalSafe.hpp"
#ifdef __APPLE__
#include "MenuBarApp.hpp"
#else
#include "TerminalView.hpp"
#ifdef SAPWELL_GTK_SHELL
#include "Autostart.hpp"
#include "ChartModule.hpp"
#include "ProcessEnvironment.hpp"
#include "ProgramFile.hpp"
#include "TrayModule.hpp"
#endif
#endif

namespace {

[[maybe_unused]] bool graphicalSession(const sapwell::Environment& env) {  // not on macOS
    for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY"}) {
        const auto value = env.get(name);
        if (value && !value->empty()) return true;
    }
    return false;
}

constexpr std::string_view usage =
    "Usage: sapwell [--terminal | --print-menu | --dump-chart | --export FORMAT [--since DURATION]\n"
    "                | --autostart on|off | --help | --version]\n"
    "  (none)        the application: samples every 15 s and shows its figure and menu in the\n"
    "                tray; without a graphical session, in the terminal\n"
    "  --terminal    the application in the terminal\n"
    "  --print-menu  print the status menu from the stored history and exit\n"
    "  --dump-chart  write the chart page to sapwell-chart.html in $TMPDIR (else\n"
    "                $XDG_RUNTIME_DIR, else /tmp), print its path, exit\n"
    "  --export csv|json [--since DURATION]\n"
    "                print the stored minutes, one row per minute and application; DURATION\n"
    "                like 90 (seconds), 15m, 2h or 7d keeps only the latest\n"
    "  --export prometheus\n"
    "                print each window's totals per application for node exporter's textfile\n"
    "                collector\n"
    "  --autostart on|off  start Sapwell at login, or no longer\n"
    "  -h, --help    show this and exit\n"
    "  --version     show the version and exit\n";

// The arguments after the program's name. A Mac may hand an application started from the Finder
// a "-psn_…" process serial number, which is no option of ours.
std::vector<std::string_view> arguments(int argc, char** argv) {
    std::vector<std::string_view> args;
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr) continue;
        const std::string_view arg = argv[i];
#ifdef __APPLE__
        if (arg.starts_with("-psn_")) continue;
#endif
        args.push_back(arg);
    }
    return args;
}

int usageError(std::string_view message) {
    std::cerr << "sapwell: " << sapwell::terminalSafe(message) << "\n" << usage;
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef SAPWELL_GTK_SHELL
    // Started by the tray as its chart window (never by a user): nothing else of the program runs.
    const sapwell::platform::ProcessEnvironment processEnv;
    if (const auto fd = processEnv.get(sapwell::chartFdVariable)) {
        return sapwell::runChartWindow(processEnv, *fd, std::cerr);
    }
#endif
    using Mode = sapwell::CommandLine::Mode;
    const auto args = arguments(argc, argv);
    const auto parsed = sapwell::parseCommandLine(args);
    if (const auto* error = std::get_if<sapwell::UsageError>(&parsed)) {
        return usageError(error->message);
    }
    const auto& line = std::get<sapwell::CommandLine>(parsed);
    switch (line.mode) {
    case Mode::help: std::cout << usage; return std::cout.flush() ? 0 : 1;
    case Mode::version: std::cout << "sapwell " SAPWELL_VERSION "\n"; return std::cout.flush() ? 0 : 1;
    default: break;
    }

    sapwell::Seam& seam = sapwell::platform::system();
    if (line.mode == Mode::dumpChart) return sapwell::runChartDump(seam, std::cout, std::cerr);
    if (line.mode == Mode::printMenu) return sapwell::runPrintMenu(seam, std::cout);
    if (line.mode == Mode::exportData) {
        return sapwell::runExport(seam, line.format, line.sinceSeconds, std::cout);
    }
#ifdef __APPLE__
    // The Mac has neither a terminal view nor this way of starting at login.
    if (line.mode == Mode::terminal) return usageError("'--terminal' is not available on macOS");
    if (line.mode == Mode::autostart) return usageError("'--autostart' is not available on macOS");
    return sapwell::runMenuBarApp(seam, argc, argv);
#else
    const std::string appPath = argc > 0 && argv[0] != nullptr ? argv[0] : "sapwell";
#ifdef SAPWELL_GTK_SHELL
    if (line.mode == Mode::autostart) {
        // The entry names the program's own file; argv[0] when the system cannot say.
        const auto program = sapwell::platform::programFile().value_or(appPath);
        return sapwell::runAutostart(seam.env, line.autostartOn ? "on" : "off", program.string(),
                                     std::cout, std::cerr);
    }
    if (line.mode == Mode::app && graphicalSession(seam.env)) {
        if (auto status = sapwell::runTrayModule(seam, appPath, std::cerr)) return *status;
    }
#else
    if (line.mode == Mode::autostart) return usageError("this build has no desktop shell");
#endif
    return sapwell::runTerminalView(seam, appPath, std::cerr);
#endif
}
