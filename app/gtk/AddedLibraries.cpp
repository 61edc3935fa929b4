#include "AddedLibraries.hpp"

#include <malloc.h>
#include <sys/mman.h>

#include <charconv>
#include <fstream>
#include <iterator>

namespace sapwell {

namespace {

std::string readMaps() {
    std::ifstream in("/proc/self/maps");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool hexField(std::string_view s, std::uintptr_t& out) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out, 16);
    return ec == std::errc() && end == s.data() + s.size();
}

}  // namespace

std::vector<FileMapping> fileMappings(std::string_view maps) {
    std::vector<FileMapping> out;
    while (!maps.empty()) {
        const auto eol = maps.find('\n');
        std::string_view line = maps.substr(0, eol);
        maps.remove_prefix(eol == std::string_view::npos ? maps.size() : eol + 1);
        // address perms offset device inode [path]; the path may hold spaces.
        std::string_view fields[5];
        bool whole = true;
        for (auto& field : fields) {
            const auto start = line.find_first_not_of(' ');
            const auto stop = line.find(' ', start);
            if (start == std::string_view::npos || stop == std::string_view::npos) {
                whole = false;
                break;
            }
            field = line.substr(start, stop - start);
            line.remove_prefix(stop);
        }
        if (!whole) continue;
        const auto pathStart = line.find_first_not_of(' ');
        if (pathStart == std::string_view::npos || line[pathStart] != '/') continue;
        const auto dash = fields[0].find('-');
        FileMapping m;
        if (dash == std::string_view::npos || !hexField(fields[0].substr(0, dash), m.start) ||
            !hexField(fields[0].substr(dash + 1), m.end) || !(m.start < m.end)) {
            continue;
        }
        m.path = std::string(line.substr(pathStart));
        out.push_back(std::move(m));
    }
    return out;
}

void AddedLibraries::noteBefore() {
    before_.clear();
    for (const auto& m : fileMappings(readMaps())) before_.insert(m.path);
    noted_ = true;
}

std::size_t AddedLibraries::pageOut() const {
    malloc_trim(0);
    if (!noted_) return 0;
    std::size_t bytes = 0;
    for (const auto& m : fileMappings(readMaps())) {
        if (before_.count(m.path) != 0) continue;
        // Only a hint: a kernel without it, or a range it will not touch, changes nothing.
        if (madvise(reinterpret_cast<void*>(m.start), m.end - m.start, MADV_PAGEOUT) == 0) {
            bytes += m.end - m.start;
        }
    }
    return bytes;
}

}  // namespace sapwell
