#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "MenuNode.hpp"

namespace sapwell {
namespace {

// "Name" is a top-level entry, ">name" a nested one, "-" a separator.
MenuEntries entriesOf(const std::vector<std::string>& spec) {
    MenuEntries entries;
    for (const std::string& s : spec) {
        MenuEntry e;
        if (s != "-") {
            e.kind = MenuEntry::Kind::row;
            e.nested = s[0] == '>';
            e.text = e.nested ? s.substr(1) : s;
        }
        entries.push_back(e);
    }
    return entries;
}

using Tree = std::vector<std::pair<std::string, std::vector<std::string>>>;

Tree treeOf(const std::vector<MenuNode>& nodes) {
    Tree tree;
    for (const MenuNode& n : nodes) {
        std::vector<std::string> children;
        for (const MenuEntry* c : n.children) children.push_back(c->text);
        tree.push_back({n.entry->kind == MenuEntry::Kind::separator ? "-" : n.entry->text, children});
    }
    return tree;
}

TEST(MenuNodes, NestedEntriesGoUnderTheEntryBeforeThem) {
    const struct {
        const char* what;
        std::vector<std::string> entries;
        Tree expected;
    } cases[] = {
        {"nothing", {}, {}},
        {"flat", {"Now", "a", "-", "Quit"}, {{"Now", {}}, {"a", {}}, {"-", {}}, {"Quit", {}}}},
        {"each header its rows",
         {"Now", "a", "15 min", ">b", ">c", "1 h", ">d", "-", "Quit"},
         {{"Now", {}}, {"a", {}}, {"15 min", {"b", "c"}}, {"1 h", {"d"}}, {"-", {}}, {"Quit", {}}}},
        {"first entries nested", {">a", ">b", "H", ">c"}, {{"a", {}}, {"b", {}}, {"H", {"c"}}}},
        {"after a separator", {"H", "-", ">a", ">b"}, {{"H", {}}, {"-", {}}, {"a", {}}, {"b", {}}}},
    };
    for (const auto& c : cases) {
        const MenuEntries entries = entriesOf(c.entries);
        EXPECT_EQ(treeOf(menuNodes(entries)), c.expected) << c.what;
    }
}

}  // namespace
}  // namespace sapwell
