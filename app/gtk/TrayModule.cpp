#include "TrayModule.hpp"

#include <dlfcn.h>
#include <stdlib.h>

#include <charconv>
#include <filesystem>
#include <ostream>

#include "ChartModule.hpp"
#include "Decimal.hpp"
#include "ProgramFile.hpp"

namespace sapwell {

namespace {

constexpr double chartReleaseS = 60;

// How long the chart window stays hidden before its process ends: 60 s, or
// SAPWELL_CHART_RELEASE_SECONDS (1 to 86400) for tests that cannot wait a minute.
double chartReleaseAfter(const Environment& env) {
    const auto value = env.get("SAPWELL_CHART_RELEASE_SECONDS");
    if (!value || value->empty()) return chartReleaseS;
    const auto s = parseFinite(*value);
    if (!s || !(*s >= 1 && *s <= 86400)) return chartReleaseS;
    return *s;
}

// A loader's message may span lines; a notice is one.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n') c = ' ';
    }
    return text;
}

// A module's entry point, or absent with the reason in `why`.
void* loadEntry(const char* moduleName, const char* entryName, std::string& why) {
    const auto exe = platform::programFile();
    if (!exe) {
        why = "the program's own folder is unknown";
        return nullptr;
    }
    const auto dir = exe->parent_path();
    std::error_code ec;
    why = std::string(moduleName) + " is not installed";
    for (const auto& file : {dir / SAPWELL_MODULE_DIR / moduleName, dir / moduleName}) {
        if (!std::filesystem::exists(file, ec)) continue;
        // Bound at once, so that a library of the wrong version fails here and not mid-run;
        // local, so that its symbols serve no one else. Kept for the life of the process: GTK
        // cannot be unloaded.
        void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* error = dlerror();
            why = error != nullptr ? error : file.string() + " cannot be loaded";
            continue;
        }
        if (void* symbol = dlsym(module, entryName)) return symbol;
        why = file.string() + " has no " + entryName;
        // Not closed either: what it brought may have started threads on loading (WebKit's
        // JavaScript engine does), which would crash once their code was unloaded.
    }
    return nullptr;
}

}  // namespace

std::optional<int> runTrayModule(Seam& seam, const std::string& appPath, std::ostream& err) {
    std::string why;
    auto* entry = reinterpret_cast<TrayEntry*>(loadEntry(SAPWELL_TRAY_MODULE, trayEntryName, why));
    if (entry == nullptr) {
        err << "Sapwell: cannot load the tray shell (" << oneLine(why)
            << "); running the terminal view.\n";
        return std::nullopt;
    }
    const int status = entry(seam, appPath.c_str(), err);
    if (status == trayNotStarted) return std::nullopt;
    return status;
}

int runChartWindow(const Environment& env, std::string_view fdText, std::ostream& err) {
    int fd = -1;
    const auto [end, ec] = std::from_chars(fdText.data(), fdText.data() + fdText.size(), fd);
    if (ec != std::errc() || end != fdText.data() + fdText.size() || fd < 3) return 2;
    // Not handed on to WebKit's processes.
    unsetenv(chartFdVariable);
    std::string why;
    auto* entry = reinterpret_cast<ChartEntry*>(loadEntry(SAPWELL_CHART_MODULE, chartEntryName, why));
    if (entry == nullptr) {
        err << "Sapwell: cannot load the chart window (" << oneLine(why) << ").\n";
        return 1;
    }
    return entry(fd, chartReleaseAfter(env), env.get("SAPWELL_REPORT_DRAW").has_value());
}

}  // namespace sapwell
