#pragma once

#include <string_view>

namespace sapwell::web {
// The text of an embedded file of web/ by its file name ("chart.css", "chart.js"); empty when
// there is no such file.
std::string_view asset(std::string_view name);
}  // namespace sapwell::web
