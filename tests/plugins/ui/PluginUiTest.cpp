// Plug-in buttons on the main window, the settings page's plug-in list and the about box, with the
// sample plug-in and the recording one loaded for real.
#include <gtest/gtest.h>
#include <pelmar/plugin.h>

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QToolBar>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "msgbase/FidoBase.h"
#include "plugins/PluginHost.h"
#include "plugins/PluginManager.h"
#include "plugins/ui/PluginAboutForm.h"
#include "plugins/ui/PluginActions.h"
#include "reader/MainWindowServices.h"
#include "reader/ReadingCommands.h"
#include "reader/ui/MainCommands.h"
#include "reader/ui/MainFrame.h"
#include "settings/ui/SetupForm.h"
#include "support/TestSupport.h"
#include "support/qt/Child.h"

namespace pelmar::ui {
namespace {

using pelmar::test::Child;
namespace fs = std::filesystem;

// The shown message, with the status bar left to the window.
class TShownServices : public TMainWindowServices {
public:
    explicit TShownServices(TMainFrame& frame) : frame_(frame) {}
    void SetStatusText(const std::string& text) override { frame_.SetStatusText(text); }
    const TShownMessage* ShownMessage() override { return &Message; }
    TShownMessage Message;

private:
    TMainFrame& frame_;
};

std::vector<QAction*> Snapshot(const QToolBar* bar) {
    const QList<QAction*> list = bar->actions();
    return {list.begin(), list.end()};
}

class PluginUiTest : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path folder = home_.Path() / "Plugins";
        fs::create_directories(folder);
        fs::copy_file(PELMAR_SAMPLE_PLUGIN, folder / "b-sender.so");
        // With the picture the build puts beside it, as a user copies the two.
        const fs::path icon = fs::path(PELMAR_SAMPLE_PLUGIN).parent_path() / "sender-status.png";
        if (fs::exists(icon)) fs::copy_file(icon, folder / "sender-status.png");
        fs::copy_file(std::string(PELMAR_TEST_PLUGINS) + "test-plugin-recording.so", folder / "a-rec.so");
        log_ = home_.Path() / "calls.log";
        setenv("PLM_RECORD_LOG", log_.c_str(), 1);
        InstallPluginUi(frame_);
        SetPluginManager(&manager_);
        manager_.DiscoverPlugins(folder.string() + "/");
        manager_.NotifyAfterInit();
    }
    void TearDown() override {
        unsetenv("PLM_RECORD_LOG");
        unsetenv("PLM_RECORD_REMOVE_ON_CLICK");
        for (int i = 0; i < manager_.Count(); ++i) manager_.Plugin(i)->Unload();
        SetPluginManager(nullptr);
        RemovePluginUi();
    }
    TPluginActions& Actions() { return *static_cast<TPluginActions*>(&PluginHost()); }
    QToolBar* Toolbar() { return Child<QToolBar>(frame_, "Toolbar971"); }
    static void SettleDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    std::string Log() {
        std::ifstream in(log_);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    test::ScopedHome home_;
    fs::path log_;
    TMainFrame frame_;
    TPluginManager manager_;
};

TEST_F(PluginUiTest, SampleButtonPutsTheSenderIntoTheStatusBarAndGoesWithItsPlugin) {
    ASSERT_EQ(manager_.Count(), 2);
    ASSERT_TRUE(manager_.Plugin(1)->Loaded);
    const std::vector<QAction*> buttons = Actions().Buttons();
    ASSERT_EQ(buttons.size(), 2u);
    // Position 0 with the bookmarks button on another toolbar: first on "Письмо".
    EXPECT_EQ(Toolbar()->actions().first(), buttons[0]);
    QAction* sender = buttons[0]->toolTip() == QStringLiteral("Отправитель") ? buttons[0] : buttons[1];
    EXPECT_EQ(sender->toolTip(), QStringLiteral("Отправитель"));
    EXPECT_FALSE(sender->icon().isNull());

    TShownServices shown(frame_);
    shown.Message.FromName =
        std::string(200, 'x') + "\xC8\xE2\xE0\xED";  // longer than the sample's first buffer
    InstallMainWindowServices(&shown);
    sender->trigger();
    InstallMainWindowServices(&frame_);
    EXPECT_TRUE(
        frame_.StatusPanel(2)->text().contains(QString(200, QLatin1Char('x')) + QStringLiteral("Иван")))
        << frame_.StatusPanel(2)->text().toStdString();
    EXPECT_TRUE(frame_.StatusPanel(2)->text().startsWith(QStringLiteral("От: ")));

    // Unchecked in the settings: unloaded, and its button is gone.
    manager_.SetActive(1, false);
    SettleDeletes();
    EXPECT_EQ(Actions().Buttons().size(), 1u);
    EXPECT_FALSE(Toolbar()->actions().contains(sender));
}

TEST_F(PluginUiTest, RemoveActionAcceptsOnlyItsOwnButtonsEvenFromTheirClick) {
    const std::vector<QAction*> before = Snapshot(Toolbar());
    QAction* unrelated = frame_.Commands().Action(TCommand::Bookmarks);
    int local = 0;
    for (void* bogus :
         {static_cast<void*>(&local), static_cast<void*>(unrelated), reinterpret_cast<void*>(0x42),
          static_cast<void*>(nullptr), static_cast<void*>(&frame_)})
        EXPECT_EQ(plmRemoveAction(bogus), 0);
    EXPECT_EQ(plmAddAction(0, "", "hidden", manager_.Plugin(0)->Instance(), "", 1, 0, 0), nullptr);
    EXPECT_EQ(plmAddAction(0, "", "stranger", &local, "", 1, 0, 1), nullptr);
    SettleDeletes();
    EXPECT_EQ(Snapshot(Toolbar()), before);
    EXPECT_EQ(plmGetMainForm(), static_cast<void*>(static_cast<QMainWindow*>(&frame_)));

    // The recording plug-in's button removes itself from its own click.
    setenv("PLM_RECORD_REMOVE_ON_CLICK", "1", 1);
    QAction* own = nullptr;
    for (QAction* action : Actions().Buttons())
        if (action->toolTip() == QStringLiteral("Record")) own = action;
    ASSERT_NE(own, nullptr);
    own->trigger();
    EXPECT_NE(Log().find("plmAction\nremove 1\n"), std::string::npos) << Log();
    SettleDeletes();
    EXPECT_EQ(Actions().Buttons().size(), 1u);
    EXPECT_EQ(plmRemoveAction(own), 0);  // already gone
}

TEST_F(PluginUiTest, SettingsPageListsPluginsAndUncheckingUnloads) {
    TSetupForm form;
    ASSERT_EQ(Child<QListWidget>(form, "RxCheckListBox1")->count(), 2);
    EXPECT_EQ(Child<QListWidget>(form, "RxCheckListBox1")->item(0)->text(),
              QStringLiteral("Recorder 2.10 [a-rec.so]"));
    EXPECT_EQ(Child<QListWidget>(form, "RxCheckListBox1")->item(1)->text(),
              QStringLiteral("Отправитель в строке состояния 1.0 [b-sender.so]"));
    EXPECT_EQ(Child<QListWidget>(form, "RxCheckListBox1")->item(1)->checkState(), Qt::Checked);
    Child<QListWidget>(form, "RxCheckListBox1")->item(1)->setCheckState(Qt::Unchecked);
    form.WriteBack();
    SettleDeletes();
    EXPECT_FALSE(manager_.Plugin(1)->Loaded);
    EXPECT_FALSE(manager_.Plugin(1)->Active);
    EXPECT_TRUE(manager_.Plugin(0)->Loaded);
    ASSERT_EQ(Actions().Buttons().size(), 1u);
    EXPECT_EQ(Actions().Buttons()[0]->toolTip(), QStringLiteral("Record"));
}

TEST_F(PluginUiTest, PluginThatFailedToLoadIsListedUntickedWithItsReason) {
    const fs::path folder = home_.Path() / "Broken";
    fs::create_directories(folder);
    test::WriteFile(folder / "broken.so", "not a library\n");
    TPluginManager broken;
    SetPluginManager(&broken);
    broken.DiscoverPlugins(folder.string() + "/");
    ASSERT_TRUE(broken.Plugin(0)->Active);  // stored on: it should have run
    TSetupForm form;
    auto* list = form.findChild<QListWidget*>(QStringLiteral("RxCheckListBox1"));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->checkState(), Qt::Unchecked);
    EXPECT_TRUE(
        list->item(0)->text().startsWith(QStringLiteral("[broken.so] (не загружен: не открывается: ")))
        << list->item(0)->text().toStdString();
    list->setCurrentRow(0);
    EXPECT_TRUE(form.findChild<QLabel*>(QStringLiteral("StaticText1"))
                    ->text()
                    .startsWith(QStringLiteral("Модуль не загружен: ")));
    // OK without touching it changes nothing: still stored on, tried again at the next start.
    form.WriteBack();
    EXPECT_TRUE(broken.Plugin(0)->Active);
    SetPluginManager(&manager_);
}

TEST_F(PluginUiTest, StayOnTopWindowsStepBackAndReturn) {
    QWidget onTop(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
    onTop.show();
    plmHideTopMosts();
    EXPECT_FALSE(onTop.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(onTop.isVisible());
    plmShowTopMosts();
    EXPECT_TRUE(onTop.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(onTop.isVisible());
}

TEST(PluginAboutForm, ShowsTheCallersTexts) {
    TPluginAboutForm form("Caption", "Line one", "Line two", "Body text");
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Caption"));
    EXPECT_EQ(Child<QLabel>(form, "Label1")->text(), QStringLiteral("Line one"));
    EXPECT_EQ(Child<QLabel>(form, "Label1")->font().pixelSize(), 19);
    EXPECT_TRUE(Child<QLabel>(form, "Label1")->font().bold());
    EXPECT_EQ(Child<QLabel>(form, "Label2")->text(), QStringLiteral("Line two"));
    EXPECT_EQ(Child<QLabel>(form, "StaticText1")->text(), QStringLiteral("Body text"));
}

}  // namespace
}  // namespace pelmar::ui
