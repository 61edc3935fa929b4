#include "ProcessEnvironment.hpp"

#include <cstdlib>
#include <string>

namespace sapwell::platform {

std::optional<std::string> ProcessEnvironment::get(std::string_view name) const {
    const char* value = std::getenv(std::string(name).c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

}  // namespace sapwell::platform
