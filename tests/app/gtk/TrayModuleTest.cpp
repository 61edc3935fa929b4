#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "../ChildProcess.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

using namespace testing;  // ChildProcess, TempDir, eventually

std::string output(std::vector<std::string> command) {
    ChildProcess run(std::move(command), {"PATH=/usr/bin:/bin", "LC_ALL=C"});
    EXPECT_EQ(run.wait(), 0) << run.err();
    return run.out();
}

// The text modes and the terminal view start without loading the desktop's libraries; the tray
// module carries GTK but not WebKit, which waits for the chart. Every library a file loads,
// directly or through another, counts. The program and the tray module share one copy of the
// common code.
TEST(TrayModule, OnlyTheModuleLoadsTheDesktopLibraries) {
    using Names = std::vector<std::string>;
    const std::tuple<std::string, Names, Names> cases[] = {
        {SAPWELL_BINARY, {"libsapwell-common"},
         {"libgtk-3", "libgdk-3", "libglib-2.0", "libgobject-2.0", "libgio-2.0", "libgmodule-2.0",
          "libayatana-appindicator3", "libdbusmenu-glib", "libwebkit2gtk-4.1", "libX11"}},
        {SAPWELL_TRAY_MODULE_FILE,
         {"libgtk-3", "libayatana-appindicator3", "libdbusmenu-glib", "libsapwell-common"},
         {"libwebkit2gtk-4.1", "libjavascriptcoregtk-4.1"}},
    };
    for (const auto& [file, loaded, notLoaded] : cases) {
        const std::string libraries = output({"/usr/bin/ldd", file});
        for (const auto& [names, want] : {std::pair(loaded, true), std::pair(notLoaded, false)}) {
            for (const auto& name : names) {
                EXPECT_EQ(libraries.find(name + ".so") != std::string::npos, want)
                    << file << (want ? " lacks " : " loads ") << name << ":\n" << libraries;
            }
        }
    }
}

// Each module shows the program its entry point and nothing else (the linker's own end markers
// aside).
TEST(TrayModule, ShowsTheProgramItsEntryPointOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {SAPWELL_TRAY_MODULE_FILE, "sapwell_tray_run"},
        {SAPWELL_CHART_MODULE_FILE, "sapwell_chart_run"},
    };
    for (const auto& [file, entry] : cases) {
        std::istringstream symbols(output({"/usr/bin/nm", "-D", "--defined-only", file}));
        std::vector<std::string> exported;
        for (std::string address, kind, name; symbols >> address >> kind >> name;) {
            if (name != "__bss_start" && name != "_edata" && name != "_end") exported.push_back(name);
        }
        EXPECT_EQ(exported, std::vector<std::string>{entry}) << file;
    }
}

// In a graphical session without a loadable tray module the application says why in one line
// and runs in the terminal, as it does where the display cannot be opened.
TEST(TrayModule, WithoutALoadableModuleTheTerminalViewRuns) {
    const std::string prefix = "Sapwell: cannot load the tray shell (";
    const std::string suffix = "); running the terminal view.\n";
    const std::pair<std::optional<std::filesystem::path>, std::string> cases[] = {
        {std::nullopt, "sapwell-tray.so is not installed"},
        {"", "sapwell-tray.so: file too short"},  // not a library at all
        {SAPWELL_CHART_MODULE_FILE, "sapwell-tray.so has no sapwell_tray_run"},  // another module
    };
    for (const auto& [module, why] : cases) {
        TempDir dir;
        const auto program = dir / "bin/sapwell";
        std::filesystem::create_directories(program.parent_path());
        std::filesystem::copy_file(SAPWELL_BINARY, program);
        if (module && module->empty()) dir.write("bin/sapwell-tray.so", "not a library");
        if (module && !module->empty()) std::filesystem::copy_file(*module, dir / "bin/sapwell-tray.so");
        ChildProcess run({program.string()},
                         {"XDG_DATA_HOME=" + (dir / "data").string(), "TMPDIR=" + dir.path().string(),
                          "SAPWELL_LANG=en", "SAPWELL_TICK_SECONDS=0.2", "DISPLAY=:0"});
        EXPECT_TRUE(eventually([&] { return run.out().find("Sapwell \u2014 ") != std::string::npos; }))
            << why << ": " << run.err();
        run.signal(SIGTERM);
        EXPECT_EQ(run.wait(), 0) << why;
        const std::string err = run.err();
        EXPECT_TRUE(err.starts_with(prefix)) << err;
        EXPECT_TRUE(err.ends_with(why + suffix)) << err;
        EXPECT_EQ(std::ranges::count(err, '\n'), 1) << err;
    }
}

}  // namespace
}  // namespace sapwell
