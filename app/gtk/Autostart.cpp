#include "Autostart.hpp"

#include <fstream>
#include <ostream>
#include <system_error>

namespace sapwell {

namespace {

// One argument of an Exec key: quoted when it holds anything the key gives a meaning to, with
// the characters that stay special inside quotes escaped; "%" doubled in every case.
std::string execArgument(const std::string& arg) {
    bool quote = arg.empty();
    std::string inner;
    for (char c : arg) {
        if (std::string_view(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos) {
            quote = true;
        }
        if (c == '"' || c == '`' || c == '$' || c == '\\') inner += '\\';
        if (c == '%') inner += '%';
        inner += c;
    }
    if (!quote) return inner;
    // The quoted argument is a string value as well, whose own escape is the backslash.
    std::string out = "\"";
    for (char c : inner) {
        if (c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::optional<std::filesystem::path> autostartFile(const Environment& env) {
    std::filesystem::path config;
    if (auto x = env.get("XDG_CONFIG_HOME"); x && std::filesystem::path(*x).is_absolute()) {
        config = *x;
    } else if (auto home = env.get("HOME"); home && std::filesystem::path(*home).is_absolute()) {
        config = std::filesystem::path(*home) / ".config";
    } else {
        return std::nullopt;
    }
    return config / "autostart" / "sapwell.desktop";
}

std::string autostartEntry(const std::string& program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Sapwell\n"
           "Comment=Which applications drain the battery\n"
           "Exec=" + execArgument(program) + "\n"
           "Icon=sapwell\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

int runAutostart(const Environment& env, std::string_view value, const std::string& program,
                 std::ostream& out, std::ostream& err) {
    if (value != "on" && value != "off") {
        err << "Usage: sapwell --autostart on|off\n";
        return 2;
    }
    const auto file = autostartFile(env);
    if (!file) {
        err << "Sapwell: no configuration folder (HOME and XDG_CONFIG_HOME are unset)\n";
        return 1;
    }
    std::error_code ec;
    if (value == "off") {
        const bool removed = std::filesystem::remove(*file, ec);
        if (ec) {
            err << "Sapwell: cannot remove " << file->string() << ": " << ec.message() << "\n";
            return 1;
        }
        if (removed) {
            out << "removed " << file->string() << "\n";
        } else {
            out << "autostart was not on: no " << file->string() << "\n";
        }
        return 0;
    }
    std::filesystem::create_directories(file->parent_path(), ec);
    // Written beside and renamed, so a desktop reading at login never sees half an entry.
    const auto tmp = std::filesystem::path(file->string() + ".tmp");
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        f << autostartEntry(program);
        f.close();
        if (!f) ec = std::make_error_code(std::errc::io_error);
    }
    if (!ec) std::filesystem::rename(tmp, *file, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(tmp, ignored);
        err << "Sapwell: cannot write " << file->string() << ": " << ec.message() << "\n";
        return 1;
    }
    out << "wrote " << file->string() << "\n";
    return 0;
}

}  // namespace sapwell
