#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace sapwell {

// One mapping of a file, as a line of /proc/<pid>/maps gives it.
struct FileMapping {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    std::string path;
    bool operator==(const FileMapping&) const = default;
};

// The mappings of files (paths from "/") in the text of /proc/<pid>/maps; anonymous memory,
// the stack, the heap and malformed lines are left out.
std::vector<FileMapping> fileMappings(std::string_view maps);

// The libraries a module brings into the process. A module such as WebKit cannot be unloaded
// (its threads and types live on), but once it is idle the kernel may take back the pages of
// the files it brought, which only this process holds; they come back from the page cache or
// the disk when next touched.
class AddedLibraries {
public:
    // Notes the files mapped now, before the module is loaded.
    void noteBefore();
    // Asks the kernel to reclaim the pages of every file mapped since (MADV_PAGEOUT: contents
    // are kept, pages shared with other processes are left alone) and gives the C library's
    // free memory back. Returns the bytes of the mappings it asked for.
    std::size_t pageOut() const;

private:
    std::set<std::string> before_;
    bool noted_ = false;
};

}  // namespace sapwell
