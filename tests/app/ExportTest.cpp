#include <gtest/gtest.h>

#include <sstream>

#include "Export.hpp"

namespace sapwell {
namespace {

// Dates around the edges of the calendar arithmetic: the epoch, leap days, centuries, before 1970.
TEST(Export, MinutesAreWrittenAsUtcDates) {
    const std::pair<std::int64_t, std::string_view> cases[] = {
        {0, "1970-01-01T00:00:00Z"},          {1709164800, "2024-02-29T00:00:00Z"},
        {951782400, "2000-02-29T00:00:00Z"},  {4107542340, "2100-02-28T23:59:00Z"},
        {946684799, "1999-12-31T23:59:59Z"},  {-60, "1969-12-31T23:59:00Z"},
        {1767225600, "2026-01-01T00:00:00Z"}};
    for (const auto& [seconds, want] : cases) EXPECT_EQ(isoMinute(seconds), want) << seconds;
}

// Names the history file cannot hold (commas, line breaks) may still reach a writer from
// memory; each format keeps them whole.
TEST(Export, NamesWithSeparatorsStayOneField) {
    Bucket b;
    b.minute = 60;
    b.awakeS = 59.5;
    b.items = NamedAmounts{{"a,b", 3}, {"two\nlines \"q\"", 2}, {"back\\slash", 1}};
    std::ostringstream csv, json;
    writeMinutesCsv(csv, std::span(&b, 1), Metric::cpuTime);
    EXPECT_EQ(csv.str(),
              "minute,name,amount,unit,awake_seconds,battery_percent,battery_state,"
              "drain_millijoules,drain_seconds\r\n"
              "1970-01-01T00:01:00Z,\"a,b\",3,cpu_ms,59.5,,,,\r\n"
              "1970-01-01T00:01:00Z,\"two\nlines \"\"q\"\"\",2,cpu_ms,59.5,,,,\r\n"
              "1970-01-01T00:01:00Z,back\\slash,1,cpu_ms,59.5,,,,\r\n");
    writeMinutesJson(json, std::span(&b, 1), Metric::cpuTime);
    EXPECT_NE(json.str().find("\"name\":\"two\\nlines \\\"q\\\"\",\"amount\":2,"), std::string::npos)
        << json.str();

    History history(Metric::cpuTime, 120, "");
    history.add(90, 30, {{"two\nlines \"q\"", 1500}, {"back\\slash", 1}});
    std::ostringstream text;
    writePrometheus(text, history, 120);
    EXPECT_NE(text.str().find("sapwell_app_cpu_seconds{app=\"two\\nlines \\\"q\\\"\",window=\"5m\"} 1.5\n"
                              "sapwell_app_cpu_seconds{app=\"back\\\\slash\",window=\"5m\"} 0.001\n"),
              std::string::npos) << text.str();
}

}  // namespace
}  // namespace sapwell
