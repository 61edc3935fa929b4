#include "CommandLine.hpp"

#include <array>
#include <charconv>
#include <initializer_list>

namespace sapwell {

namespace {

using Mode = CommandLine::Mode;

struct Switch {
    std::string_view name;
    Mode mode;
};

constexpr std::array<Switch, 7> modeSwitches{{{"--terminal", Mode::terminal},
                                              {"--print-menu", Mode::printMenu},
                                              {"--dump-chart", Mode::dumpChart},
                                              {"--help", Mode::help},
                                              {"-h", Mode::help},
                                              {"--version", Mode::version},
                                              {"--autostart", Mode::autostart}}};

// The message from its pieces; an argument is shown between single quotes by the caller.
UsageError error(std::initializer_list<std::string_view> pieces) {
    UsageError e;
    for (const auto piece : pieces) e.message.append(piece);
    return e;
}

}  // namespace

std::optional<std::int64_t> parseDuration(std::string_view text) {
    constexpr std::string_view units = "smhd";
    constexpr std::int64_t unitSeconds[] = {1, 60, 3600, 86400};
    std::int64_t unit = 1;  // plain seconds without a unit
    if (const auto at = text.empty() ? units.npos : units.find(text.back()); at != units.npos) {
        unit = unitSeconds[at];
        text.remove_suffix(1);
    }
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    std::int64_t seconds = 0;
    if (ec != std::errc() || end != text.data() + text.size() || n <= 0 ||
        __builtin_mul_overflow(n, unit, &seconds)) {
        return std::nullopt;
    }
    return seconds;
}

std::variant<CommandLine, UsageError> parseCommandLine(std::span<const std::string_view> args) {
    CommandLine line;
    std::optional<std::string_view> modeName;  // the switch that chose the mode
    std::optional<std::string_view> since;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg.size() < 2 || arg.front() != '-') return error({"unexpected argument '", arg, "'"});
        const std::size_t eq = arg.find('=');
        const std::string_view name = arg.substr(0, eq);
        std::optional<std::string_view> attached;
        if (eq != std::string_view::npos) attached = arg.substr(eq + 1);
        // The value of an option that takes one: after "=", or the next argument.
        const auto value = [&]() -> std::optional<std::string_view> {
            if (attached) return attached;
            if (i + 1 < args.size()) return args[++i];
            return std::nullopt;
        };

        if (name == "--since") {
            if (since) return error({"'--since' given twice"});
            since = value();
            if (!since) return error({"option '--since' needs a duration, like 15m, 2h or 7d"});
            continue;
        }
        Mode mode = Mode::app;
        if (name == "--export") {
            mode = Mode::exportData;
        } else {
            for (const auto& s : modeSwitches) {
                if (s.name == name) mode = s.mode;
            }
        }
        if (mode == Mode::app) return error({"unknown option '", name, "'"});
        if (modeName) {
            return error({"'", *modeName, "' and '", name, "' cannot be used together"});
        }
        modeName = name;
        line.mode = mode;
        if (mode == Mode::autostart) {
            const auto v = value();
            if (!v) return error({"option '--autostart' needs a value: on or off"});
            if (*v != "on" && *v != "off") {
                return error({"'--autostart' takes on or off, not '", *v, "'"});
            }
            line.autostartOn = *v == "on";
        } else if (mode == Mode::exportData) {
            const auto v = value();
            if (!v) return error({"option '--export' needs a format: csv, json or prometheus"});
            if (*v == "csv") {
                line.format = CommandLine::Format::csv;
            } else if (*v == "json") {
                line.format = CommandLine::Format::json;
            } else if (*v == "prometheus") {
                line.format = CommandLine::Format::prometheus;
            } else {
                return error({"'--export' takes csv, json or prometheus, not '", *v, "'"});
            }
        } else if (attached) {
            return error({"option '", name, "' takes no value"});
        }
    }
    if (since) {
        if (line.mode != Mode::exportData || line.format == CommandLine::Format::prometheus) {
            return error({"'--since' goes with --export csv or --export json"});
        }
        line.sinceSeconds = parseDuration(*since);
        if (!line.sinceSeconds) {
            return error({"'--since' takes a duration like 15m, 2h or 7d, not '", *since, "'"});
        }
    }
    return line;
}

}  // namespace sapwell
