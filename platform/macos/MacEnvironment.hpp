#pragma once

#include "Seam.hpp"

namespace sapwell::platform {

// The process environment, with the folders and the locale as Foundation reports them: the
// user's Application Support folder, NSTemporaryDirectory() and the current locale's language.
class MacEnvironment final : public Environment {
public:
    std::optional<std::string> get(std::string_view name) const override;
    std::optional<std::filesystem::path> dataFolder() const override;
    std::string localeName() const override;
    std::filesystem::path tempFolder() const override;
};

}  // namespace sapwell::platform
