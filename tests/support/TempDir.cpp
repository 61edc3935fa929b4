#include "TempDir.hpp"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

namespace sapwell::testing {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "sapwell-test-XXXXXX").string();
    if (char* made = mkdtemp(tmpl.data())) path_ = made;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::write(const std::string& rel, const std::string& content) const {
    const auto p = path_ / rel;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p;
}

std::string TempDir::read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace sapwell::testing
