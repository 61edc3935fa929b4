#include "ProcessEnvironment.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace sapwell::platform {

std::optional<std::string> ProcessEnvironment::get(std::string_view name) const {
    const char* value = std::getenv(std::string(name).c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

std::optional<std::string> ProcessEnvironment::accountHome() const {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 4096);
    passwd entry{};
    passwd* found = nullptr;
    // An entry longer than the hint asks for a bigger buffer.
    while (::getpwuid_r(::getuid(), &entry, buf.data(), buf.size(), &found) == ERANGE && buf.size() < (1u << 20))
        buf.resize(buf.size() * 2);
    if (found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] == '\0') return std::nullopt;
    return std::string(found->pw_dir);
}

}  // namespace sapwell::platform
