// Linked groups: name patterns, filters, and the merge that keeps what the user attached to an area.
#include <gtest/gtest.h>

#include <set>

#include "areas/AreaEdits.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

struct TImported {
    std::string Name;
    std::string UseAKA;
    std::string Path;
    int Kind = 2;
};

// Installs an importer for the Squish kind that yields `areas` and records what it was asked.
class LinkedGroupTest : public ::testing::Test {
protected:
    void SetUp() override {
        configFile_ = dir_.File("squish.cfg");
        test::WriteFile(configFile_, "config");
        SetAreaImporter(LinkKindSquish, [this](const TLinkedImport& request, TAreaInfo& container) {
            ++calls_;
            request_ = request;
            if (fail_) throw std::runtime_error("unreadable");
            for (const TImported& area : areas_) {
                auto entry = std::make_unique<TAreaInfo>();
                entry->Name = area.Name;
                entry->Kind = area.Kind;
                entry->UseAKA = area.UseAKA;
                entry->Path = area.Path.empty() ? "/bases/" + area.Name : area.Path;
                entry->AreaName = area.Name;
                container.AddChild(std::move(entry));
            }
        });
        group_ = root_.AddChild(std::make_unique<TAreaInfo>());
        group_->Name = "Link";
        group_->Zilo = ZiloLinkedGroup;
        group_->Kind = LinkKindSquish;
        group_->Path = configFile_;
        group_->Read = 6;
        group_->Description = "/hudson";
    }
    void TearDown() override { SetAreaImporter(LinkKindSquish, nullptr); }

    std::vector<std::string> GroupNames() const {
        std::vector<std::string> names;
        for (int i = 0; i < group_->ChildCount(); ++i) names.push_back(group_->Child(i)->Name);
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempDir dir_;
    std::string configFile_;
    TAreaInfo root_;
    TAreaInfo* group_ = nullptr;
    std::vector<TImported> areas_;
    TLinkedImport request_;
    int calls_ = 0;
    bool fail_ = false;
};

TEST(Wildcard, WholeNameStarsQuestionMarksAndCase) {
    struct {
        const char* name;
        const char* pattern;
        bool match;
    } rows[] = {
        {"R50.RU", "*.RU", true},
        {"XX.TEST.RU", "*.RU", true},
        {"XX.TEST.RU", "*.TEST", false},
        {"SU.GENERAL", "su.*", true},
        {"SU", "SU.*", false},
        {"SU.GENERAL", "SU.GENERAL", true},
        {"SU.GENERALX", "SU.GENERAL", false},
        {"SU.GEN", "SU.G?N", true},
        {"SU.GN", "SU.G?N", false},
        {"ABC", "*", true},
        {"ABC", "**", true},
        {"ABC", "A**C", true},
        {"ABC", "*B*", true},
        {"ABC", "*AB*BC", false},  // pieces do not overlap
        {"ABCBC", "*AB*BC", true},
        {"A.B.C", "A*B*C", true},
        {"A.B.D", "A*B*C", false},
        {"", "", true},
        {"", "*", false},
        {"ABC", "", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(MatchesWildcard(row.name, row.pattern), row.match) << row.name << " ~ " << row.pattern;
    EXPECT_TRUE(MatchesWildcard(Utf8ToAnsi("СУ.ОБЩИЙ"), Utf8ToAnsi("су.*")));
    EXPECT_TRUE(MatchesWildcardList("SU.TEST", ";;R50.*;SU.*;"));
    EXPECT_FALSE(MatchesWildcardList("SU.TEST", ";;"));
}

TEST_F(LinkedGroupTest, FiltersKeepAndDropByNameAndAka) {
    areas_ = {{"R50.RU"}, {"SU.GENERAL"}, {"XX.TEST.RU"}, {"SU.TEST"}, {"R50.SYSOP"}};
    group_->WildInclude = "*.RU;SU.*";
    group_->WildExclude = "*.TEST";
    ASSERT_TRUE(group_->RefreshLinkedGroup());
    EXPECT_EQ(GroupNames(), (std::vector<std::string>{"R50.RU", "SU.GENERAL", "XX.TEST.RU"}));

    areas_ = {{"A", "2:5020/1"}, {"B", "2:5020/1.5"}, {"C", ""}};
    group_->WildInclude.clear();
    group_->WildExclude.clear();
    group_->AKAInclude = "2:5020/1";
    group_->RefreshLinkedGroup();
    EXPECT_EQ(GroupNames(), std::vector<std::string>{"A"});
    group_->AKAInclude.clear();
    group_->AKAExclude = "2:5020/1";
    group_->RefreshLinkedGroup();
    EXPECT_EQ(GroupNames(), (std::vector<std::string>{"B", "C"}));
}

TEST_F(LinkedGroupTest, RefreshKeepsWhatTheUserAttachedAndTakesTheRestFromTheFile) {
    areas_ = {{"KEEP"}, {"GONE"}};
    group_->RefreshLinkedGroup();
    EXPECT_EQ(request_.Path, configFile_);
    EXPECT_EQ(request_.Options, 6);
    EXPECT_EQ(request_.Description, "/hudson");
    TAreaInfo* keep = group_->FindChild("KEEP");
    ASSERT_NE(keep, nullptr);
    EXPECT_EQ(keep->ShownParent(), &root_);
    const std::string id = keep->ID;
    keep->LastMSGID = "2:5020/1 12345678";
    keep->Uplink = "2:5020/9";
    keep->MsgCount = 10;
    keep->Read = 4;
    keep->Kind = 2;

    areas_ = {{"KEEP", "2:5020/1.7", "/moved/KEEP", 4}, {"NEW"}};
    group_->RefreshLinkedGroup();
    EXPECT_EQ(GroupNames(), (std::vector<std::string>{"KEEP", "NEW"}));
    ASSERT_EQ(group_->FindChild("KEEP"), keep);
    EXPECT_EQ(keep->ID, id);
    EXPECT_EQ(keep->LastMSGID, "2:5020/1 12345678");
    EXPECT_EQ(keep->Uplink, "2:5020/9");
    EXPECT_EQ(keep->MsgCount.load(), 10);
    EXPECT_EQ(keep->Read.load(), 4);
    EXPECT_EQ(keep->UseAKA, "");           // kept, not taken from the file
    EXPECT_EQ(keep->Kind, 2);              // kept as well
    EXPECT_EQ(keep->Path, "/moved/KEEP");  // taken from the file
    EXPECT_EQ(root_.ShownCount(), 3);
}

TEST_F(LinkedGroupTest, DuplicateNamesInTheFileGiveOneArea) {
    areas_ = {{"SAME", "", "/first"}, {"SAME", "", "/second"}};
    group_->RefreshLinkedGroup();
    EXPECT_EQ(GroupNames(), std::vector<std::string>{"SAME"});
}

TEST_F(LinkedGroupTest, MissingFileEmptiesTheGroupButAnUnreadableOneKeepsIt) {
    areas_ = {{"A"}, {"B"}};
    group_->RefreshLinkedGroup();
    ASSERT_EQ(group_->ChildCount(), 2);

    fail_ = true;
    EXPECT_FALSE(group_->RefreshLinkedGroup());
    EXPECT_EQ(group_->ChildCount(), 2);

    SetAreaImporter(LinkKindSquish, nullptr);
    EXPECT_FALSE(group_->RefreshLinkedGroup());
    EXPECT_EQ(group_->ChildCount(), 2);

    group_->Path = dir_.File("missing.cfg");
    EXPECT_TRUE(group_->RefreshLinkedGroup());
    EXPECT_EQ(group_->ChildCount(), 0);
    EXPECT_EQ(root_.ShownCount(), 1);  // only the group itself
}

TEST_F(LinkedGroupTest, ImportedFoldersAreMergedLevelByLevel) {
    // An importer that splits names at dots hands back folders holding areas.
    SetAreaImporter(LinkKindSquish, [this](const TLinkedImport&, TAreaInfo& container) {
        auto folder = std::make_unique<TAreaInfo>();
        folder->Name = "SU";
        for (const TImported& area : areas_) {
            auto entry = std::make_unique<TAreaInfo>();
            entry->Name = area.Name;
            entry->Kind = 2;
            folder->AddChild(std::move(entry));
        }
        container.AddChild(std::move(folder));
    });
    areas_ = {{"GENERAL"}, {"OLD"}};
    group_->RefreshLinkedGroup();
    TAreaInfo* su = group_->FindChild("SU");
    ASSERT_NE(su, nullptr);
    const std::string generalId = su->FindChild("GENERAL")->ID;

    areas_ = {{"GENERAL"}, {"NEW"}};
    group_->RefreshLinkedGroup();
    ASSERT_EQ(group_->FindChild("SU"), su);
    EXPECT_EQ(su->FindChild("OLD"), nullptr);
    ASSERT_NE(su->FindChild("NEW"), nullptr);
    EXPECT_EQ(su->FindChild("GENERAL")->ID, generalId);
}

// Editors hold areas as destinations: each area a refresh frees is told about while still whole.
TEST_F(LinkedGroupTest, AreasDroppedByARefreshAreToldAboutBeforeTheyAreFreed) {
    areas_ = {{"KEEP"}, {"GONE"}, {"ALSO.GONE"}};
    ASSERT_TRUE(group_->RefreshLinkedGroup());
    const std::string goneId = group_->FindChild("GONE")->ID;
    std::vector<std::string> told;
    SetAreaGoneHook([&](TAreaInfo& entry) {
        EXPECT_NE(AreaRegistry().FindAreaById(entry.ID), nullptr);
        told.push_back(entry.Name);
    });
    areas_ = {{"KEEP"}};
    EXPECT_TRUE(group_->RefreshLinkedGroup());
    SetAreaGoneHook({});
    std::sort(told.begin(), told.end());
    EXPECT_EQ(told, (std::vector<std::string>{"ALSO.GONE", "GONE"}));
    EXPECT_EQ(AreaRegistry().FindAreaById(goneId), nullptr);
    EXPECT_EQ(GroupNames(), std::vector<std::string>{"KEEP"});
}

// Records what a refresh does to the main window's tree.
class TRecordingView : public TAreaTreeView {
public:
    bool TreeVisible() const override { return Visible; }
    void ClearSelection() override { Log += "clear;"; }
    void BeginUpdate() override { Log += "begin;"; }
    void EndUpdate() override { Log += "end;"; }
    bool HasNode(const TAreaInfo& entry) const override { return Nodes.count(&entry) != 0; }
    void DeleteNode(TAreaInfo& entry) override {
        Log += "delete " + entry.Name + ";";
        Nodes.erase(&entry);
    }
    void AddNode(TAreaInfo& entry) override {
        Log += "add " + entry.Name + " under " + entry.ShownParent()->Name + ";";
        Nodes.insert(&entry);
    }
    bool Visible = true;
    std::string Log;
    std::set<const TAreaInfo*> Nodes;
};

TEST_F(LinkedGroupTest, TheWindowTreeFollowsTheRefresh) {
    root_.Name = "Root";
    TRecordingView view;
    SetAreaTreeView(&view);
    areas_ = {{"A"}, {"B"}};
    group_->RefreshLinkedGroup();
    EXPECT_EQ(view.Log, "clear;begin;add B under Root;add A under Root;end;");

    view.Log.clear();
    view.Nodes.erase(group_->FindChild("A"));  // an entry without a node needs no deletion
    areas_ = {};
    group_->RefreshLinkedGroup();
    EXPECT_EQ(view.Log, "clear;begin;delete B;end;");

    view.Log.clear();
    view.Visible = false;
    areas_ = {{"C"}};
    group_->RefreshLinkedGroup();
    EXPECT_EQ(view.Log, "clear;begin;end;");
    SetAreaTreeView(nullptr);
}

}  // namespace
}  // namespace pelmar
