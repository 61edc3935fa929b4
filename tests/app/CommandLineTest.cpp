#include <gtest/gtest.h>

#include <vector>

#include "CommandLine.hpp"

namespace sapwell {
namespace {

using Mode = CommandLine::Mode;
using Format = CommandLine::Format;

CommandLine mode(Mode m) {
    CommandLine line;
    line.mode = m;
    return line;
}

CommandLine exporting(Format format, std::optional<std::int64_t> since = std::nullopt) {
    CommandLine line = mode(Mode::exportData);
    line.format = format;
    line.sinceSeconds = since;
    return line;
}

CommandLine autostart(bool on) {
    CommandLine line = mode(Mode::autostart);
    line.autostartOn = on;
    return line;
}

std::variant<CommandLine, UsageError> parse(std::vector<std::string_view> args) {
    return parseCommandLine(args);
}

TEST(CommandLine, ChoosesOneModeWithItsValues) {
    const std::pair<std::vector<std::string_view>, CommandLine> cases[] = {
        {{}, mode(Mode::app)},
        {{"--terminal"}, mode(Mode::terminal)},
        {{"--print-menu"}, mode(Mode::printMenu)},
        {{"--dump-chart"}, mode(Mode::dumpChart)},
        {{"-h"}, mode(Mode::help)},
        {{"--help"}, mode(Mode::help)},
        {{"--version"}, mode(Mode::version)},
        {{"--autostart", "on"}, autostart(true)},
        {{"--autostart=off"}, autostart(false)},
        {{"--export", "prometheus"}, exporting(Format::prometheus)},
        {{"--export=json"}, exporting(Format::json)},
        {{"--export", "csv", "--since", "2h"}, exporting(Format::csv, 7200)},
        {{"--since=7d", "--export", "json"}, exporting(Format::json, 7 * 86400)},
        {{"--export", "csv", "--since", "90"}, exporting(Format::csv, 90)},
    };
    for (const auto& [args, want] : cases) {
        const auto got = parse(args);
        ASSERT_TRUE(std::holds_alternative<CommandLine>(got))
            << args.size() << ": " << std::get<UsageError>(got).message;
        EXPECT_EQ(std::get<CommandLine>(got), want) << (args.empty() ? "" : args[0]);
    }
}

TEST(CommandLine, RefusesWhatItDoesNotKnowInOneLine) {
    const std::pair<std::vector<std::string_view>, std::string_view> cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-x"}, "unknown option '-x'"},
        {{"--dump-chart", "extra"}, "unexpected argument 'extra'"},
        {{"-"}, "unexpected argument '-'"},
        {{"--dump-chart-now"}, "unknown option '--dump-chart-now'"},
        {{"--terminal", "--print-menu"}, "'--terminal' and '--print-menu' cannot be used together"},
        {{"--help", "-h"}, "'--help' and '-h' cannot be used together"},
        {{"--terminal=yes"}, "option '--terminal' takes no value"},
        {{"--autostart"}, "option '--autostart' needs a value: on or off"},
        {{"--autostart", "yes"}, "'--autostart' takes on or off, not 'yes'"},
        {{"--export"}, "option '--export' needs a format: csv, json or prometheus"},
        {{"--export", "xml"}, "'--export' takes csv, json or prometheus, not 'xml'"},
        {{"--since", "2h"}, "'--since' goes with --export csv or --export json"},
        {{"--export", "prometheus", "--since", "2h"}, "'--since' goes with --export csv or --export json"},
        {{"--export", "csv", "--since"}, "option '--since' needs a duration, like 15m, 2h or 7d"},
        {{"--export", "csv", "--since", "soon"}, "'--since' takes a duration like 15m, 2h or 7d, not 'soon'"},
        {{"--export", "csv", "--since=1h", "--since=2h"}, "'--since' given twice"},
    };
    for (const auto& [args, want] : cases) {
        const auto got = parse(args);
        ASSERT_TRUE(std::holds_alternative<UsageError>(got)) << args[0];
        EXPECT_EQ(std::get<UsageError>(got).message, want);
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
