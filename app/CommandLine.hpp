#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace sapwell {

// What the command line asks for: one mode and its values.
struct CommandLine {
    enum class Mode { app, terminal, printMenu, dumpChart, autostart, exportData, help, version };
    enum class Format { csv, json, prometheus };

    Mode mode = Mode::app;
    bool autostartOn = false;                 // autostart: on or off
    Format format = Format::csv;              // exportData
    std::optional<std::int64_t> sinceSeconds;  // exportData as csv or json: only the minutes since

    bool operator==(const CommandLine&) const = default;
};

// Why a command line was refused, in one line without the program's name.
struct UsageError {
    std::string message;
    bool operator==(const UsageError&) const = default;
};

// The arguments after the program's name. Decides before anything runs, so a refused command
// line starts nothing and writes nothing. A value follows its option as the next argument or
// after "=" ("--since 2h", "--since=2h").
std::variant<CommandLine, UsageError> parseCommandLine(std::span<const std::string_view> args);

// "90", "90s", "15m", "2h", "7d": a positive number of seconds; absent otherwise.
std::optional<std::int64_t> parseDuration(std::string_view text);

}  // namespace sapwell
