#include <gtest/gtest.h>

#include <vector>

#include "CommandLine.hpp"

namespace sapwell {
namespace {

using Mode = CommandLine::Mode;
using Format = CommandLine::Format;
using Parsed = std::variant<CommandLine, UsageError>;

TEST(CommandLine, ChoosesOneModeWithItsValuesOrRefusesInOneLine) {
    const auto as = [](Mode mode, bool on = false, Format format = Format::csv, std::optional<std::int64_t> since = {}) {
        return Parsed(CommandLine{mode, on, format, since});
    };
    const auto exporting = [&](Format format, std::optional<std::int64_t> since = {}) {
        return as(Mode::exportData, false, format, since);
    };
    const auto refused = [](const char* message) { return Parsed(UsageError{message}); };
    const std::pair<std::vector<std::string_view>, Parsed> cases[] = {
        {{}, as(Mode::app)},
        {{"--terminal"}, as(Mode::terminal)},
        {{"--print-menu"}, as(Mode::printMenu)},
        {{"--dump-chart"}, as(Mode::dumpChart)},
        {{"-h"}, as(Mode::help)},
        {{"--help"}, as(Mode::help)},
        {{"--version"}, as(Mode::version)},
        {{"--autostart", "on"}, as(Mode::autostart, true)},
        {{"--autostart=off"}, as(Mode::autostart, false)},
        {{"--export", "prometheus"}, exporting(Format::prometheus)},
        {{"--export=json"}, exporting(Format::json)},
        {{"--export", "csv", "--since", "2h"}, exporting(Format::csv, 7200)},
        {{"--since=7d", "--export", "json"}, exporting(Format::json, 7 * 86400)},
        {{"--export", "csv", "--since", "90"}, exporting(Format::csv, 90)},
        {{"--bogus"}, refused("unknown option '--bogus'")},
        {{"-x"}, refused("unknown option '-x'")},
        {{"--dump-chart", "extra"}, refused("unexpected argument 'extra'")},
        {{"-"}, refused("unexpected argument '-'")},
        {{"--dump-chart-now"}, refused("unknown option '--dump-chart-now'")},
        {{"-dump-chart"}, refused("unknown option '-dump-chart'")},
        {{"--terminal", "--print-menu"}, refused("'--terminal' and '--print-menu' cannot be used together")},
        {{"--help", "-h"}, refused("'--help' and '-h' cannot be used together")},
        {{"--terminal=yes"}, refused("option '--terminal' takes no value")},
        {{"--autostart"}, refused("option '--autostart' needs a value: on or off")},
        {{"--autostart", "yes"}, refused("'--autostart' takes on or off, not 'yes'")},
        {{"--export"}, refused("option '--export' needs a format: csv, json or prometheus")},
        {{"--export", "xml"}, refused("'--export' takes csv, json or prometheus, not 'xml'")},
        {{"--since", "2h"}, refused("'--since' goes with --export csv or --export json")},
        {{"--export", "prometheus", "--since", "2h"}, refused("'--since' goes with --export csv or --export json")},
        {{"--export", "csv", "--since"}, refused("option '--since' needs a duration, like 15m, 2h or 7d")},
        {{"--export", "csv", "--since", "soon"}, refused("'--since' takes a duration like 15m, 2h or 7d, not 'soon'")},
        {{"--export", "csv", "--since=1h", "--since=2h"}, refused("'--since' given twice")},
    };
    for (const auto& [args, want] : cases) {
        const Parsed got = parseCommandLine(args);
        EXPECT_EQ(got, want) << (args.empty() ? "" : args[0]) << " "
                             << (std::holds_alternative<UsageError>(got) ? std::get<UsageError>(got).message : "");
    }
}

TEST(CommandLine, DurationsAreWholePositiveCountsOfAUnit) {
    const std::pair<std::string_view, std::optional<std::int64_t>> cases[] = {
        {"90", 90}, {"90s", 90}, {"15m", 900}, {"2h", 7200}, {"7d", 604800},
        {"0", std::nullopt}, {"0m", std::nullopt}, {"-5m", std::nullopt}, {"+5m", std::nullopt},
        {"m", std::nullopt}, {"", std::nullopt}, {"1.5h", std::nullopt}, {"2w", std::nullopt},
        {"2 h", std::nullopt}, {"2hh", std::nullopt},
        {"9223372036854775807", 9223372036854775807}, {"9223372036854775807m", std::nullopt},
        {"99999999999999999999", std::nullopt}};
    for (const auto& [text, want] : cases) EXPECT_EQ(parseDuration(text), want) << text;
}

}  // namespace
}  // namespace sapwell
