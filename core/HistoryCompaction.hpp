#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sapwell {

// Decides whether loading rewrites the file without its dead lines, and with which. Expiry is
// judged cautiously here: a clock that runs days ahead must not delete minutes that a start with
// the right time would load again, and a line of a later version is not this one's to remove.
class CompactionPlan {
public:
    enum Kind { live, older, unreadable };

    // A plan that is not `wanted` (a reader's) notes nothing and never compacts.
    explicit CompactionPlan(bool wanted) : wanted_(wanted) {}

    // `minute` is absent when the first field is not one.
    void add(std::string_view line, Kind kind, std::optional<std::int64_t> minute);

    // The file's new contents; absent when it stays as it is: nothing in it is within retention
    // (the clock may be wrong), or the dead lines do not outnumber the others yet.
    std::optional<std::string> compacted(std::int64_t now, std::size_t size);

private:
    struct Line {
        std::string_view text;
        std::int64_t minute;
        Kind kind;
        bool keep;
    };
    std::vector<Line> lines_;
    bool wanted_;
    std::size_t live_ = 0;
    std::int64_t newest_ = std::numeric_limits<std::int64_t>::min();
};

}  // namespace sapwell
