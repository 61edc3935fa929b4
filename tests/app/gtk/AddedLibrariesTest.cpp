#include <gtest/gtest.h>

#include "AddedLibraries.hpp"

namespace sapwell {
namespace {

TEST(AddedLibraries, FileMappingsAreReadFromTheMapsText) {
    const std::pair<const char*, std::vector<FileMapping>> cases[] = {
        {"7f0a0000-7f0a2000 r-xp 00000000 08:01 1234    /usr/lib/libx.so.1\n",
         {{0x7f0a0000, 0x7f0a2000, "/usr/lib/libx.so.1"}}},
        {"1000-2000 r--p 00000000 08:01 9 /opt/my lib/a b.so\n3000-4000 rw-p 0 00:00 0 \n",
         {{0x1000, 0x2000, "/opt/my lib/a b.so"}}},  // spaces in a path; no path at all
        {"5000-6000 rw-p 00000000 00:00 0    [heap]\n7000-8000 rw-p 0 00:00 0\n", {}},
        {"zz-8000 r--p 0 00:00 1 /x\n9000-8000 r--p 0 00:00 1 /y\n9000 r--p 0 0 1 /z", {}},
        {"a000-b000 r--s 00000000 00:05 7 /SYSV00000000 (deleted)",
         {{0xa000, 0xb000, "/SYSV00000000 (deleted)"}}},
        {"", {}},
    };
    for (const auto& [maps, mappings] : cases) EXPECT_EQ(fileMappings(maps), mappings) << maps;
}

}  // namespace
}  // namespace sapwell
