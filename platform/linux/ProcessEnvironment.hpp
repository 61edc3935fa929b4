#pragma once

#include "Seam.hpp"

namespace sapwell::platform {

class ProcessEnvironment final : public Environment {
public:
    std::optional<std::string> get(std::string_view name) const override;
    std::optional<std::string> accountHome() const override;
};

}  // namespace sapwell::platform
