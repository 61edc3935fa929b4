#include <gtest/gtest.h>

#include "Fakes.hpp"
#include "History.hpp"
#include "I18n.hpp"

namespace sapwell {
namespace {

// A platform that reports its folders and locale itself, as macOS does through Foundation.
class ReportingEnvironment : public testing::FakeEnvironment {
public:
    std::optional<std::filesystem::path> folder;
    std::string locale;
    std::optional<std::filesystem::path> dataFolder() const override { return folder; }
    std::string localeName() const override { return locale; }
    std::filesystem::path tempFolder() const override { return "/private/var/folders/T"; }
};

TEST(Environment, PlatformFoldersAndLocaleWinOverTheVariables) {
    ReportingEnvironment env;
    env.vars = {{"XDG_DATA_HOME", "/x"}, {"HOME", "/home/u"}, {"LANG", "ru_RU.UTF-8"}, {"TMPDIR", "/t"}};
    env.folder = "/Users/a/Library/Application Support";
    env.locale = "de";
    EXPECT_EQ(History::dataFile(env), "/Users/a/Library/Application Support/Sapwell/history.tsv");
    EXPECT_EQ(Lang::detect(env), Lang::de);
    EXPECT_EQ(env.tempFolder(), "/private/var/folders/T");
    env.vars["SAPWELL_LANG"] = "zh";
    EXPECT_EQ(Lang::detect(env), Lang::zh);  // the override still comes first
    env.folder.reset();
    EXPECT_EQ(History::dataFile(env), std::filesystem::path());  // nowhere to write: nothing
}

TEST(Environment, DefaultTempFolderIsTmpdirThenTheUsersRuntimeFolderThenTmp) {
    struct Case {
        std::optional<std::string> tmpdir, runtime;
        const char* folder;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, "/tmp"},
        {"", "", "/tmp"},
        {"/var/tmp", "/run/user/1000", "/var/tmp"},
        {std::nullopt, "/run/user/1000", "/run/user/1000"},
        {"", "/run/user/1000", "/run/user/1000"},
        {std::nullopt, "run/user/1000", "/tmp"},  // relative: not a runtime folder
    };
    for (const Case& c : cases) {
        testing::FakeEnvironment env;
        if (c.tmpdir) env.vars["TMPDIR"] = *c.tmpdir;
        if (c.runtime) env.vars["XDG_RUNTIME_DIR"] = *c.runtime;
        EXPECT_EQ(env.tempFolder(), c.folder) << c.tmpdir.value_or("unset") << " " << c.runtime.value_or("unset");
    }
}

}  // namespace
}  // namespace sapwell
