#include <gtest/gtest.h>

#include "macos/MacFolders.hpp"

namespace sapwell::platform {
namespace {

using Path = std::optional<std::filesystem::path>;
using Text = std::optional<std::string>;

TEST(MacFolders, ApplicationSupportElseHomeLibraryElseNothing) {
    const struct { Text support, home; Path folder; } cases[] = {
        {"/Users/a/Library/Application Support", "/Users/a", "/Users/a/Library/Application Support"},
        {std::nullopt, "/Users/a", "/Users/a/Library/Application Support"},
        {"", "/Users/a", "/Users/a/Library/Application Support"},
        {"Library/Application Support", "/Users/a", "/Users/a/Library/Application Support"},  // relative
        {std::nullopt, "", std::nullopt}, {std::nullopt, "Users/a", std::nullopt}, {std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(supportFolder(c.support, c.home), c.folder) << c.support.value_or("(none)") << " | " << c.home.value_or("(none)");
}

TEST(MacFolders, TemporaryFolderMustBeAbsolute) {
    EXPECT_EQ(temporaryFolder("/var/folders/xy/abc/T/"), "/var/folders/xy/abc/T/");
    for (const Text& reported : {Text(), Text(""), Text("T/")}) EXPECT_EQ(temporaryFolder(reported), "/tmp");
}

}  // namespace
}  // namespace sapwell::platform
