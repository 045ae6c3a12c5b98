// The one rule of what a tree of areas shows: rows of every window's tree, in order, with parents.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "areas/AreaTreeRows.h"
#include "areas/gizmo.h"

namespace pelmar {
namespace {

TAreaInfo* Add(TAreaInfo& parent, const std::string& name, int kind = AreaKindFolder,
               uint8_t zilo = ZiloOrdinary) {
    TAreaFields fields;
    fields.Name = name;
    fields.Kind = kind;
    fields.Zilo = zilo;
    fields.IsNetmail = name == "NET";
    return parent.AddChild(fields);
}

// "name<parent" for each row, "name" at the top.
std::vector<std::string> Rows(const TAreaInfo& from, TAreaTreeKind kind) {
    const std::vector<TAreaTreeRow> rows = AreaTreeRows(from, kind);
    std::vector<std::string> shown;
    for (const TAreaTreeRow& row : rows) {
        EXPECT_LT(row.Parent, static_cast<int>(shown.size())) << "a parent comes before its children";
        std::string text = row.Entry->Name;
        if (row.Parent >= 0) text += "<" + rows[static_cast<size_t>(row.Parent)].Entry->Name;
        shown.push_back(text);
    }
    return shown;
}

TEST(AreaTreeRows, OneRuleForEveryTreeOfAreas) {
    TAreaInfo root;
    TAreaInfo* fido = Add(root, "Fido");
    Add(*fido, "LOCAL", 2);
    TAreaInfo* group = Add(*fido, "Link", LinkKindSquish, ZiloLinkedGroup);
    Add(*Add(*group, "Sub"), "SU.GENERAL", 4);
    Add(*group, "R50", 4);
    Add(*fido, "NET", 1);
    Add(*Add(root, "Odd", AreaKindFolder, 7), "HIDDEN", 2);  // a kind of entry this program does not know
    Add(root, "Empty");
    root.SortShown();

    const struct {
        const char* Case;
        const TAreaInfo* From;
        TAreaTreeKind Kind;
        std::vector<std::string> Expected;
    } cases[] = {
        // Sorted shown tree: a group's folders first, then netmail, then names; the group's areas
        // beside it, the group itself and what the program does not know left out.
        {"reading from the root",
         &root,
         TAreaTreeKind::Reading,
         {"Empty", "Fido", "Sub<Fido", "SU.GENERAL<Sub", "NET<Fido", "LOCAL<Fido", "R50<Fido"}},
        // What a node added for a folder brings with it.
        {"reading below a folder",
         fido,
         TAreaTreeKind::Reading,
         {"Sub", "SU.GENERAL<Sub", "NET", "LOCAL", "R50"}},
        {"reading below a group", group, TAreaTreeKind::Reading, {}},
        // The stored order, every entry; a group is one row without its content.
        {"manager from the root",
         &root,
         TAreaTreeKind::Manager,
         {"Fido", "LOCAL<Fido", "Link<Fido", "NET<Fido", "Odd", "HIDDEN<Odd", "Empty"}},
        {"manager below a group", group, TAreaTreeKind::Manager, {"Sub", "SU.GENERAL<Sub", "R50"}},
    };
    for (const auto& test : cases) EXPECT_EQ(Rows(*test.From, test.Kind), test.Expected) << test.Case;
}

}  // namespace
}  // namespace pelmar
