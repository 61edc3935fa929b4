#pragma once

#include <cerrno>

namespace sapwell {

// Calls `call` (a read, write or the like returning -1 and setting errno on failure) again for
// as long as a signal interrupts it; returns its first uninterrupted result.
template <typename Call>
auto retryOnInterrupt(Call call) {
    auto result = call();
    while (result < 0 && errno == EINTR) result = call();
    return result;
}

}  // namespace sapwell
