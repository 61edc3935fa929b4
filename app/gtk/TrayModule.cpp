#include "TrayModule.hpp"

#include <dlfcn.h>

#include <filesystem>
#include <ostream>

#include "ProgramFile.hpp"

namespace sapwell {

namespace {

// The entry point, or absent with the reason in `why`.
TrayEntry* loadTrayEntry(std::string& why) {
    const auto exe = platform::programFile();
    if (!exe) {
        why = "the program's own folder is unknown";
        return nullptr;
    }
    const auto dir = exe->parent_path();
    std::error_code ec;
    why = std::string(SAPWELL_TRAY_MODULE) + " is not installed";
    for (const auto& file : {dir / SAPWELL_MODULE_DIR / SAPWELL_TRAY_MODULE,
                             dir / SAPWELL_TRAY_MODULE}) {
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
        if (void* symbol = dlsym(module, trayEntryName)) return reinterpret_cast<TrayEntry*>(symbol);
        why = file.string() + " has no " + trayEntryName;
        // Not closed either: what it brought may have started threads on loading (WebKit's
        // JavaScript engine does), which would crash once their code was unloaded.
    }
    return nullptr;
}

}  // namespace

std::optional<int> runTrayModule(Seam& seam, const std::string& appPath, std::ostream& err) {
    std::string why;
    TrayEntry* entry = loadTrayEntry(why);
    if (entry == nullptr) {
        // A loader's message may span lines; the notice is one.
        for (char& c : why) {
            if (c == '\n') c = ' ';
        }
        err << "Sapwell: cannot load the tray shell (" << why << "); running the terminal view.\n";
        return std::nullopt;
    }
    const int status = entry(seam, appPath.c_str(), err);
    if (status == trayNotStarted) return std::nullopt;
    return status;
}

}  // namespace sapwell
