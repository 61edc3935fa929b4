#include <gio/gio.h>
#include <gtest/gtest.h>

#include <sstream>

#include "Autostart.hpp"
#include "DesktopBus.hpp"
#include "Fakes.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

using Vars = std::map<std::string, std::string, std::less<>>;

TEST(Autostart, TheEntryLivesInTheUsersConfigurationFolder) {
    const std::pair<Vars, std::optional<std::string>> cases[] = {
        {{{"XDG_CONFIG_HOME", "/x/cfg"}, {"HOME", "/h"}}, "/x/cfg/autostart/sapwell.desktop"},
        {{{"XDG_CONFIG_HOME", "cfg"}, {"HOME", "/h"}}, "/h/.config/autostart/sapwell.desktop"},
        {{{"XDG_CONFIG_HOME", ""}, {"HOME", "/h"}}, "/h/.config/autostart/sapwell.desktop"},
        {{{"HOME", "relative"}}, std::nullopt},
        {{}, std::nullopt}};
    for (const auto& [vars, want] : cases) {
        testing::FakeEnvironment env;
        env.vars = vars;
        const auto file = autostartFile(env);
        EXPECT_EQ(file ? std::optional(file->string()) : std::nullopt, want);
    }
}

// The desktop reads Exec back as GIO does: string escapes first, then shell-like quoting.
TEST(Autostart, ExecGivesBackTheProgramWhateverItsPathHolds) {
    for (const std::string program :
         {"/usr/bin/sapwell", "/opt/My Apps/sapwell", "/opt/\u00dcber \"q\"/sap$well",
          "/opt/back\\slash/100%/`x`", "/opt/it's;here/sapwell"}) {
        GKeyFile* file = g_key_file_new();
        const std::string entry = autostartEntry(program);
        ASSERT_TRUE(g_key_file_load_from_data(file, entry.c_str(), entry.size(),
                                              G_KEY_FILE_NONE, nullptr));
        gchar* exec = g_key_file_get_string(file, "Desktop Entry", "Exec", nullptr);
        ASSERT_NE(exec, nullptr) << program;
        std::string unpercented;  // "%%" stands for "%" in Exec
        for (const char* p = exec; *p; ++p) {
            unpercented += *p;
            if (*p == '%' && p[1] == '%') ++p;
        }
        gchar** argv = nullptr;
        gint argc = 0;
        ASSERT_TRUE(g_shell_parse_argv(unpercented.c_str(), &argc, &argv, nullptr)) << exec;
        EXPECT_EQ(argc, 1) << exec;
        EXPECT_EQ(std::string(argv[0]), program) << exec;
        g_strfreev(argv);
        g_free(exec);
        g_key_file_free(file);
    }
}

TEST(Autostart, OnWritesTheEntryOffRemovesItAnythingElseIsAUsageError) {
    testing::TempDir dir;
    testing::FakeEnvironment env;
    env.vars = {{"XDG_CONFIG_HOME", (dir / "config").string()}};
    const auto file = dir / "config/autostart/sapwell.desktop";
    const std::tuple<std::string, int, bool, std::string> steps[] = {
        {"on", 0, true, "wrote " + file.string() + "\n"},
        {"on", 0, true, "wrote " + file.string() + "\n"},  // again: still one entry
        {"yes", 2, true, ""},
        {"off", 0, false, "removed " + file.string() + "\n"},
        {"off", 0, false, "autostart was not on: no " + file.string() + "\n"},  // nothing to remove
        {"", 2, false, ""}};
    for (const auto& [value, status, exists, said] : steps) {
        std::ostringstream out, err;
        EXPECT_EQ(runAutostart(env, value, "/usr/bin/sapwell", out, err), status) << value;
        EXPECT_EQ(std::filesystem::exists(file), exists) << value;
        EXPECT_EQ(out.str(), said) << value;
        EXPECT_EQ(err.str().empty(), status == 0) << value;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 0);

    // A folder that cannot be made: nothing claimed, status 1.
    dir.write("blocked", "a file where the folder should be");
    env.vars = {{"XDG_CONFIG_HOME", (dir / "blocked").string()}};
    std::ostringstream out, err;
    EXPECT_EQ(runAutostart(env, "on", "/usr/bin/sapwell", out, err), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_TRUE(err.str().starts_with("Sapwell: cannot write ")) << err.str();
}

TEST(NoTrayNotice, EveryLanguageNamesTheThreeWaysToSeeTheFigures) {
    std::set<std::string> summaries;
    for (const Lang lang : Lang::all) {
        const NoTrayNotice notice = noTrayNotice(lang);
        summaries.insert(notice.summary);
        for (const char* command : {"sapwell --terminal", "sapwell --print-menu",
                                    "sapwell --dump-chart"}) {
            EXPECT_NE(notice.body.find(command), std::string::npos) << lang.htmlCode();
        }
    }
    EXPECT_EQ(summaries.size(), 4u);
}

}  // namespace
}  // namespace sapwell
