// The area manager window and the area properties dialog, driven without a user.
#include <gtest/gtest.h>

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "areas/AreaEdits.h"
#include "areas/AreaLifetime.h"
#include "areas/gizmo.h"
#include "areas/ui/AreaMngr.h"
#include "areas/ui/EchoPropsForm.h"
#include "core/Settings.h"
#include "core/ui/SlotGuard.h"
#include "editor/ui/SendMessageForm.h"
#include "import/ui/FileChooser.h"
#include "platform/Registry.h"
#include "reader/MainWindowServices.h"
#include "reader/ui/AreaTreeModel.h"
#include "reader/ui/MainFrame.h"
#include "support/TestSupport.h"
#include "support/qt/Child.h"

namespace pelmar::ui {
namespace {

using pelmar::test::Child;

class AreaMngrTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings.BaseKey = RootKey + "\\Users\\AreaTester";
        Settings.SelfAKA = {"2:5020/1", "2:5020/1.1"};
    }
    void TearDown() override { Settings = saved_; }

    TAreaInfo* Add(TAreaInfo& parent, const std::string& name, int kind = AreaKindFolder) {
        TAreaFields fields;
        fields.Name = name;
        fields.Kind = kind;
        return parent.AddChild(fields);
    }
    void SelectInList(TAreaMngr& window, const std::vector<std::string>& names) {
        Child<QListWidget>(window, "List")->clearSelection();
        for (int i = 0; i < Child<QListWidget>(window, "List")->count(); ++i) {
            for (const std::string& name : names) {
                if (Child<QListWidget>(window, "List")->item(i)->text().toStdString() == name)
                    Child<QListWidget>(window, "List")->item(i)->setSelected(true);
            }
        }
    }

    test::ScopedHome home_;
    TSettings saved_;
    TAreaInfo root_;
};

TEST_F(AreaMngrTest, TreeShowsTopNodeAndListShowsChildren) {
    Add(root_, "echo");
    TAreaMngr window(root_);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Эхоконференции"));
    ASSERT_EQ(Child<TAreaMngrTree>(window, "Tree")->topLevelItemCount(), 1);
    EXPECT_EQ(Child<TAreaMngrTree>(window, "Tree")->topLevelItem(0)->text(0),
              QStringLiteral("Все конференции"));
    window.SelectFolder(&root_);
    ASSERT_EQ(Child<QListWidget>(window, "List")->count(), 1);
    EXPECT_FALSE(Child<QAction>(window, "UpAction")->isEnabled());
    EXPECT_TRUE(Child<QAction>(window, "CreateAction")->isEnabled());
    EXPECT_FALSE(Child<QAction>(window, "DeleteAction")->isEnabled());
}

TEST_F(AreaMngrTest, LinkedGroupsAndFoldersGetUniqueNames) {
    TAreaMngr window(root_);
    window.SelectFolder(&root_);
    int changes = 0;
    window.TreeChanged = [&] { ++changes; };
    for (int i = 0; i < 3; ++i) ASSERT_NE(window.AddLinkedGroup(LinkKindSquish), nullptr);
    window.CreateFolder();
    window.CreateFolder();
    ASSERT_EQ(root_.ChildCount(), 5);
    EXPECT_EQ(root_.Child(0)->Name, "Squish");
    EXPECT_EQ(root_.Child(1)->Name, "Squish1");
    EXPECT_EQ(root_.Child(2)->Name, "Squish11");
    EXPECT_EQ(root_.Child(2)->Zilo, ZiloLinkedGroup);
    EXPECT_EQ(root_.Child(2)->Kind, LinkKindSquish);
    EXPECT_EQ(root_.Child(3)->Name, "-----");
    EXPECT_EQ(root_.Child(4)->Name, "-----1");
    EXPECT_EQ(changes, 5);
    EXPECT_EQ(Child<TAreaMngrTree>(window, "Tree")->topLevelItem(0)->childCount(), 5);

    // Renaming in place onto a sibling's name (any case) is undone.
    Child<QListWidget>(window, "List")->item(4)->setText(QStringLiteral("SQUISH"));
    EXPECT_EQ(root_.Child(4)->Name, "-----1");
    EXPECT_EQ(Child<QListWidget>(window, "List")->item(4)->text(), QStringLiteral("-----1"));
    Child<QListWidget>(window, "List")->item(4)->setText(QStringLiteral("Local"));
    EXPECT_EQ(root_.Child(4)->Name, "Local");
    EXPECT_EQ(Child<TAreaMngrTree>(window, "Tree")->topLevelItem(0)->child(4)->text(0),
              QStringLiteral("Local"));

    // A linked group holds no folders of its own.
    window.SelectFolder(root_.Child(0));
    EXPECT_FALSE(Child<QAction>(window, "CreateAction")->isEnabled());
    EXPECT_EQ(window.CreateFolder(), nullptr);
    EXPECT_EQ(window.AddLinkedGroup(LinkKindFastEcho), nullptr);
}

TEST_F(AreaMngrTest, DroppingMovesEverySelectedEntryButNotIntoItsOwnSubtree) {
    TAreaInfo* target = Add(root_, "target");
    TAreaInfo* a = Add(root_, "a", 2);
    Add(*a, "inside");
    Add(root_, "b", 2);
    Add(root_, "c", 1);
    TAreaMngr window(root_);
    window.SelectFolder(&root_);

    SelectInList(window, {"a"});
    window.DropOn(a->Child(0));
    EXPECT_EQ(a->Parent(), &root_);

    SelectInList(window, {"a", "b", "c"});
    window.DropOn(target);
    ASSERT_EQ(target->ChildCount(), 3);
    EXPECT_EQ(target->Child(0)->Name, "a");
    EXPECT_EQ(target->Child(2)->Name, "c");
    EXPECT_EQ(root_.ChildCount(), 1);
    EXPECT_EQ(Child<QListWidget>(window, "List")->count(), 1);
    QTreeWidgetItem* targetNode = Child<TAreaMngrTree>(window, "Tree")->topLevelItem(0)->child(0);
    EXPECT_EQ(targetNode->text(0), QStringLiteral("target"));
    EXPECT_EQ(targetNode->childCount(), 3);
}

TEST_F(AreaMngrTest, DeletingTellsOpenEditorsAboutEveryAreaOfTheSubtree) {
    TAreaInfo* folder = Add(root_, "folder");
    Add(*folder, "one", 2);
    Add(*folder, "two", 4);
    Add(root_, "keep", 1);
    std::vector<std::string> gone;
    SetAreaGoneHook([&](TAreaInfo& entry) { gone.push_back(entry.Name); });
    TAreaMngr window(root_);
    window.SelectFolder(&root_);
    SelectInList(window, {"folder"});
    window.DeleteSelected();
    SetAreaGoneHook({});
    EXPECT_EQ(gone, (std::vector<std::string>{"two", "one", "folder"}));
    ASSERT_EQ(root_.ChildCount(), 1);
    EXPECT_EQ(Child<QListWidget>(window, "List")->count(), 1);
    EXPECT_EQ(Child<TAreaMngrTree>(window, "Tree")->topLevelItem(0)->childCount(), 1);
}

// The main window shows a linked group's areas beside it, without a node for the group itself.
TEST_F(AreaMngrTest, DeletingALinkedGroupTakesItsAreasOutOfTheMainWindow) {
    CreateAreaManager();
    struct TRelease {
        ~TRelease() {
            SetAreaGoneHook({});  // the main window installed the editors' hook
            StoreAreasAndRelease();
        }
    } release;
    TAreaInfo& root = AreaManager()->Root();
    TAreaInfo* fido = Add(root, "Fido");
    Add(*fido, "LOCAL", 2);
    TAreaFields fields;
    fields.Name = "Link";
    fields.Zilo = ZiloLinkedGroup;
    fields.Kind = LinkKindSquish;
    TAreaInfo* group = root.AddChild(fields);
    Add(*Add(*group, "SU"), "SU.GENERAL", 4);
    Add(*group, "NETMAIL", 4);
    {
        TMainFrame frame;
        frame.BuildAreaTree();
        ASSERT_EQ(frame.AreaModel().rowCount(), 3);  // Fido, SU and NETMAIL
        TAreaMngr window(root);
        window.SelectFolder(&root);
        SelectInList(window, {"Link"});
        window.DeleteSelected();
        ASSERT_EQ(frame.AreaModel().rowCount(), 1);
        const QModelIndex top = frame.AreaModel().index(0, 0);
        EXPECT_EQ(TAreaTreeModel::AreaAt(top), fido);
        EXPECT_EQ(frame.AreaModel().rowCount(top), 1);
        frame.BuildAreaTree();  // what TreeChanged runs in the program
        EXPECT_EQ(frame.AreaModel().rowCount(), 1);
    }
}

// Hiding the window saves the tree. A save the settings store refuses is told once: by the store when
// the trouble starts, by the window when the store stays silent about a repeat.
TEST_F(AreaMngrTest, HidingWithAFailingSettingsSaveTellsItOnce) {
    CreateAreaManager();
    TRegistryStore& store = TRegistryStore::Instance();
    std::vector<std::string> told;
    store.SetErrorReporter([&told](const std::string& text) { told.push_back(text); });
    struct TRelease {
        ~TRelease() {
            TRegistryStore::Instance().SetSaveFaultForTesting(TRegistryStore::TSaveFault::None);
            TRegistryStore::Instance().SetErrorReporter(nullptr);
            StoreAreasAndRelease();
        }
    } release;
    Add(AreaManager()->Root(), "Fido");
    std::vector<QString> boxes;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&boxes] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes.push_back(box->text());
            box->accept();
        }
    });
    answer.start();
    TAreaMngr window(AreaManager()->Root());
    store.SetSaveFaultForTesting(TRegistryStore::TSaveFault::Write);
    for (int round = 0; round < 2; ++round) {
        window.show();
        window.hide();
    }
    ASSERT_EQ(told.size(), 1u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].startsWith(QStringLiteral("Список областей не сохранён: ")))
        << boxes[0].toStdString();
}

// Every window keeps its own nodes of the areas: a deleted subtree leaves none behind in the main
// window or the area manager, and an open editor drops it from its destinations. An area made after
// the deletion (it may reuse a freed address) gets a node of its own.
TEST_F(AreaMngrTest, DeletingLeavesNoNodeOfTheSubtreeInAnyWindow) {
    CreateAreaManager();
    struct TRelease {
        ~TRelease() {
            SetAreaGoneHook({});
            StoreAreasAndRelease();
        }
    } release;
    TAreaInfo& root = AreaManager()->Root();
    TAreaInfo* fido = Add(root, "Fido");
    TAreaInfo* one = Add(*fido, "ONE", 2);
    TAreaInfo* two = Add(*Add(*fido, "Sub"), "TWO", 4);
    TAreaInfo* keep = Add(root, "KEEP", 2);
    root.SortShown();
    TMainFrame frame;
    frame.BuildAreaTree();
    ASSERT_EQ(frame.AreaModel().NodeCount(), 5u);
    auto* editor = new TSendMessageForm(&frame);
    editor->Destinations = {one, keep, two};
    {
        TAreaMngr window(root);
        window.SelectFolder(&root);
        SelectInList(window, {"Fido"});
        window.DeleteSelected();
        EXPECT_EQ(Child<TAreaMngrTree>(window, "Tree")->topLevelItem(0)->childCount(), 1);
        window.SelectFolder(keep);  // a node left for a freed entry would be found here
        EXPECT_EQ(Child<TAreaMngrTree>(window, "Tree")->currentItem()->text(0), QStringLiteral("KEEP"));
    }
    EXPECT_EQ(frame.AreaModel().NodeCount(), 1u);
    EXPECT_TRUE(frame.AreaModel().IndexOf(keep).isValid());
    EXPECT_EQ(editor->Destinations, std::vector<TAreaInfo*>{keep});

    for (int i = 0; i < 3; ++i) {
        TAreaInfo* added = Add(root, "NEW" + std::to_string(i), 2);
        frame.AddNode(*added);
        const QModelIndex index = frame.AreaModel().IndexOf(added);
        ASSERT_TRUE(index.isValid());
        EXPECT_EQ(TAreaTreeModel::AreaAt(index), added);
    }
    EXPECT_EQ(frame.AreaModel().NodeCount(), 4u);
    EXPECT_EQ(frame.AreaModel().rowCount(), 4);
    delete editor;
}

TEST_F(AreaMngrTest, PropertiesStoreBaseNamesWithTheirDotsAndRefuseBadBoards) {
    TAreaInfo* area = Add(root_, "area");
    TEchoPropsForm form;
    form.LoadFrom(*area);
    EXPECT_FALSE(Child<QCheckBox>(form, "NetmailCheck")->isEnabled());
    form.SetKind(2);
    EXPECT_TRUE(Child<QCheckBox>(form, "NetmailCheck")->isEnabled());
    Child<TFileChooser>(form, "JamFile")->SetPath("/var/spool/ftn/su.general.jhr");
    Child<QLineEdit>(form, "AreaNameEdit")->setText("SU.GENERAL");
    Child<QLineEdit>(form, "DescriptionEdit")->setText("General");
    Child<QComboBox>(form, "AkaCombo")->setCurrentIndex(1);
    Child<QCheckBox>(form, "NetmailCheck")->setChecked(true);
    ASSERT_TRUE(form.ApplyTo(*area));
    EXPECT_EQ(area->Kind, 2);
    EXPECT_EQ(area->Path, "/var/spool/ftn/su.general");
    EXPECT_EQ(area->AreaName, "SU.GENERAL");
    EXPECT_EQ(area->Description, "General");
    EXPECT_EQ(area->UseAKA, "2:5020/1.1");
    EXPECT_TRUE(area->IsNetmail);

    // A Squish file typed with its extension loses only that extension too.
    TEchoPropsForm squish;
    squish.SetKind(4);
    Child<TFileChooser>(squish, "SquishFile")->SetPath("/bases/ru.linux.sqd");
    ASSERT_TRUE(squish.ApplyTo(*area));
    EXPECT_EQ(area->Path, "/bases/ru.linux");

    TEchoPropsForm hudson;
    hudson.SetKind(3);
    Child<TFileChooser>(hudson, "HudsonDir")->SetPath("/hudson/");
    for (const char* bad : {"0", "201", "abc"}) {
        Child<QLineEdit>(hudson, "HudsonBoardEdit")->setText(bad);
        EXPECT_FALSE(hudson.ApplyTo(*area)) << bad;
        EXPECT_EQ(area->Path, "/bases/ru.linux") << bad;
    }
    Child<QLineEdit>(hudson, "HudsonBoardEdit")->setText("12");
    ASSERT_TRUE(hudson.ApplyTo(*area));
    EXPECT_EQ(area->Path, std::string("\x0C/hudson/"));
    TEchoPropsForm again;
    again.LoadFrom(*area);
    EXPECT_EQ(again.Kind(), 3);
    EXPECT_EQ(Child<QLineEdit>(again, "HudsonBoardEdit")->text(), QStringLiteral("12"));
    EXPECT_EQ(Child<TFileChooser>(again, "HudsonDir")->Path(), "/hudson/");
}

TEST_F(AreaMngrTest, FilterKeepsMasksAndAddresses) {
    TAreaFields fields;
    fields.Name = "group";
    fields.Zilo = ZiloLinkedGroup;
    TAreaInfo* group = root_.AddChild(fields);
    group->AKAInclude = "2:5020/1.1";
    TImportFilterForm form;
    form.LoadFrom(*group);
    EXPECT_EQ(Child<QComboBox>(form, "IncludeAkaCombo")->currentIndex(), 2);
    EXPECT_EQ(Child<QComboBox>(form, "ExcludeAkaCombo")->currentText(), QStringLiteral("<любая>"));
    Child<QLineEdit>(form, "IncludeMaskEdit")->setText("su.hardw.*;pvt.exch.*");
    Child<QComboBox>(form, "IncludeAkaCombo")->setCurrentIndex(0);
    Child<QComboBox>(form, "ExcludeAkaCombo")->setCurrentIndex(1);
    form.ApplyTo(*group);
    EXPECT_EQ(group->WildInclude, "su.hardw.*;pvt.exch.*");
    EXPECT_EQ(group->AKAInclude, "");
    EXPECT_EQ(group->AKAExclude, "2:5020/1");
}

TEST_F(AreaMngrTest, AreaSelectionAddsOnlyAreasNotListedYet) {
    TAreaInfo* folder = Add(root_, "folder");
    TAreaInfo* area = Add(*folder, "area", 2);
    root_.SortShown();
    TAreaPostForm form(root_);
    EXPECT_FALSE(Child<QPushButton>(form, "OKButton")->isEnabled());
    ASSERT_TRUE(form.SelectInTree(*folder));
    EXPECT_FALSE(Child<QPushButton>(form, "AddButton")->isEnabled());
    ASSERT_TRUE(form.SelectInTree(*area));
    EXPECT_TRUE(Child<QPushButton>(form, "AddButton")->isEnabled());
    form.AddSelected();
    EXPECT_FALSE(Child<QPushButton>(form, "AddButton")->isEnabled());
    EXPECT_EQ(form.Targets(), std::vector<TAreaInfo*>{area});
    EXPECT_EQ(Child<QListWidget>(form, "TargetList")->item(0)->text(), QStringLiteral("folder\\area"));
    EXPECT_TRUE(Child<QPushButton>(form, "OKButton")->isEnabled());
}

// The main window as the properties dialog sees it: which area it lists and when it lets go.
class FakeMainWindow : public TAreaTreeView, public TMainWindowServices {
public:
    TAreaInfo* Listed = nullptr;
    std::vector<int> KindWhenCleared;
    bool TreeVisible() const override { return true; }
    void ClearSelection() override {
        if (Listed != nullptr) KindWhenCleared.push_back(Listed->Kind);
        Listed = nullptr;
    }
    void BeginUpdate() override {}
    void EndUpdate() override {}
    bool HasNode(const TAreaInfo&) const override { return false; }
    void DeleteNode(TAreaInfo&) override {}
    void AddNode(TAreaInfo&) override {}
    TAreaInfo* CurrentArea() override { return Listed; }
};

TEST_F(AreaMngrTest, MainWindowLeavesTheAreaBeforeItsKindOrPathChanges) {
    TAreaInfo* area = Add(root_, "area", 1);
    area->Path = "/old/";
    FakeMainWindow main;
    SetAreaTreeView(&main);
    InstallMainWindowServices(&main);
    main.Listed = area;
    TEchoPropsForm form;
    form.LoadFrom(*area);
    Child<QLineEdit>(form, "DescriptionEdit")->setText("only the description");
    ASSERT_TRUE(form.ApplyTo(*area));
    EXPECT_TRUE(main.KindWhenCleared.empty());  // nothing the base depends on changed
    form.SetKind(2);
    Child<TFileChooser>(form, "JamFile")->SetPath("/new/base");
    ASSERT_TRUE(form.ApplyTo(*area));
    InstallMainWindowServices(nullptr);
    SetAreaTreeView(nullptr);
    EXPECT_EQ(main.KindWhenCleared, std::vector<int>{1});
    EXPECT_EQ(area->Kind, 2);
}

}  // namespace
}  // namespace pelmar::ui
