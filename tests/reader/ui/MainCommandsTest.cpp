// The main window's actions: menus as laid out, the key table, the window list drop-down.
#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <map>
#include <vector>

#include "reader/ThreadList.h"
#include "reader/ui/HeaderControl.h"
#include "reader/ui/MainCommands.h"
#include "reader/ui/MainFrame.h"
#include "support/TestSupport.h"
#include "support/qt/Child.h"

namespace pelmar::ui {
namespace {

using pelmar::test::Child;
using C = TCommand;

QStringList Texts(const QList<QAction*>& actions) {
    QStringList texts;
    for (QAction* action : actions) {
        if (action->isSeparator()) {
            texts << QStringLiteral("-");
        } else if (action->isVisible()) {
            texts << action->text();
        }
    }
    return texts;
}

TEST(MainCommands, MenusAreLaidOutWithTheirCaptionsAndKeys) {
    QMainWindow window;
    TMainCommands commands(window);
    const QList<QAction*> menus = Child<QMenuBar>(window, "MainMenu1")->actions();
    ASSERT_EQ(menus.size(), 5);
    EXPECT_EQ(Texts(menus), (QStringList{"&Письмо", "По&иск", "&Настройки", "&Окна", "&Справка"}));
    EXPECT_EQ(
        Texts(menus[0]->menu()->actions()),
        (QStringList{"&Новое\tIns", "&Ответить\tF4", "Ответить нетме&йлом", "&Переслать\tF5",
                     "Р&едактировать\tF3", "&Размножить\tF2", "&Удалить\tDel", "-",
                     "Сле&дующее непрочитанное", "Предыдущее непрочи&танное", "Пометить как непрочит&анное",
                     "Пометить о&бласть прочитанной", "-", "&UUDecode\tF7", "&Сохранить...\tF8",
                     "&Копировать...\tF9", "Пе&чатать...", "-", "В&ыход"}));
    EXPECT_EQ(Texts(menus[4]->menu()->actions()),
              (QStringList{"&Содержание", "-", "&Руководство", "&Чайнику", "-", "О &программе..."}));
    EXPECT_EQ(Texts(Child<QMenu>(window, "PopupMenu1")->actions()),
              (QStringList{"UUDecode", "Сохранить", "Копировать", "-", "Добавить закладку", "-", "Ответить",
                           "Ответить нетмейлом", "Переслать", "Редактировать", "Размножить", "Удалить", "-",
                           "Пометить как непрочитанное", "Пометить область прочитанной"}));
    EXPECT_EQ(commands.Action(C::FindNext)->shortcut(), QKeySequence(Qt::Key_F3));
    EXPECT_EQ(commands.Action(C::BuildThreads)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
    EXPECT_EQ(commands.Action(C::NodeList)->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F12));
    EXPECT_EQ(Child<QToolBar>(window, "Toolbar971")->windowTitle(), QStringLiteral("Письмо"));
    // Hints: the tooltip before "|", the status text after it.
    EXPECT_EQ(commands.Action(C::NewLetter)->toolTip(), QStringLiteral("Новое письмо"));
    EXPECT_EQ(commands.Action(C::NewLetter)->statusTip(),
              QStringLiteral("Создает новое, пустое письмо в текущей области"));
    EXPECT_EQ(commands.Action(C::NewLetter)->iconText(), QStringLiteral("Новое письмо"));
}

// The reading keys take no key of the key table and no key another command has.
TEST(MainCommands, EveryShortcutIsTakenOnceAndNoneIsAKeyTableKey) {
    QMainWindow window;
    TMainCommands commands(window);
    // F3 is edit's table key and find next's shortcut on purpose: the table leaves it to find next
    // while a search can be continued.
    const QList<QKeySequence> table = {Qt::Key_Delete, Qt::Key_Insert, Qt::Key_F4, Qt::Key_F5,
                                       Qt::Key_F2,     Qt::Key_F7,     Qt::Key_F8, Qt::Key_F9};
    std::map<QString, int> taken;
    for (std::size_t i = 0; i < CommandCount; ++i) {
        const QAction* action = commands.Action(static_cast<C>(i));
        if (action == nullptr || action->shortcut().isEmpty()) continue;
        EXPECT_FALSE(table.contains(action->shortcut())) << action->text().toStdString();
        const QString key = action->shortcut().toString();
        EXPECT_EQ(taken.count(key), 0u) << key.toStdString() << " twice";
        taken[key] = static_cast<int>(i);
    }
    for (const auto& [key, command] : std::map<QKeySequence, C>{{Qt::Key_N, C::NextUnread},
                                                                {Qt::Key_P, C::PrevUnread},
                                                                {Qt::Key_U, C::MarkUnread},
                                                                {Qt::SHIFT | Qt::Key_C, C::MarkAreaRead}})
        EXPECT_EQ(commands.Action(command)->shortcut(), key) << key.toString().toStdString();
}

// A greyed reply by netmail says what to set, and gets its own hint back once it is set.
TEST(MainCommands, GreyedNetmailReplyTellsWhatToSet) {
    QMainWindow window;
    TMainCommands commands(window);
    TCommandState state;
    TCommandContext context;
    context.HasCurrentEntry = true;
    context.SelectionCount = 1;
    state.Update(context);
    commands.Apply(state);
    for (const QAction* action : commands.Actions(C::ReplyNetmail)) {
        EXPECT_FALSE(action->isEnabled());
        EXPECT_TRUE(action->statusTip().contains(QStringLiteral("Netmail-область")))
            << action->statusTip().toStdString();
        EXPECT_TRUE(action->toolTip().contains(QStringLiteral("нетмейл-область")));
    }
    context.NetmailAreaExists = true;
    state.Update(context);
    commands.Apply(state);
    EXPECT_TRUE(commands.Action(C::ReplyNetmail)->isEnabled());
    EXPECT_EQ(commands.Action(C::ReplyNetmail)->toolTip(), QStringLiteral("Ответить нетмейлом"));
    EXPECT_TRUE(
        commands.Action(C::ReplyNetmail)->statusTip().startsWith(QStringLiteral("Отвечает на письмо")));
}

TEST(MainCommands, KeyTableRunsEnabledItemsOfUnmodifiedKeys) {
    QMainWindow window;
    TMainCommands commands(window);
    std::vector<C> ran;
    QObject::connect(&commands, &TMainCommands::Triggered, [&ran](C command) { ran.push_back(command); });
    for (const auto& [name, action] :
         std::vector<std::pair<C, bool>>{{C::NewLetter, true}, {C::Edit, true}, {C::Delete, false}})
        commands.Action(name)->setEnabled(action);

    struct TRow {
        int Key;
        Qt::KeyboardModifiers Modifiers;
        bool FindNext;
        std::vector<C> Expected;
    };
    const TRow rows[] = {
        {Qt::Key_Insert, Qt::NoModifier, false, {C::NewLetter}},
        {Qt::Key_Insert, Qt::KeypadModifier, false, {C::NewLetter}},
        {Qt::Key_Insert, Qt::ControlModifier, false, {}},
        {Qt::Key_Insert, Qt::ShiftModifier, false, {}},
        {Qt::Key_Delete, Qt::NoModifier, false, {}},  // disabled item
        {Qt::Key_F3, Qt::NoModifier, false, {C::Edit}},
        {Qt::Key_F3, Qt::NoModifier, true, {}},  // left to find next
        {Qt::Key_F6, Qt::NoModifier, false, {}},
    };
    for (const TRow& row : rows) {
        ran.clear();
        const QKeyEvent event(QEvent::KeyPress, row.Key, row.Modifiers);
        EXPECT_EQ(commands.RunKeyTable(event, row.FindNext), !row.Expected.empty()) << row.Key;
        EXPECT_EQ(ran, row.Expected) << row.Key;
    }
}

TEST(MainCommands, WindowListNamesTheOtherWindowsOnly) {
    test::ScopedHome home;
    TMainFrame frame;
    frame.show();
    QWidget other;
    other.setWindowTitle(QStringLiteral("Эхоконференции"));
    other.show();
    QMenu* list = Child<QMenu>(frame, "WindowList");
    emit list->aboutToShow();
    EXPECT_EQ(Texts(list->actions()), QStringList{QStringLiteral("Эхоконференции")});
    other.hide();
    emit list->aboutToShow();
    EXPECT_TRUE(list->actions().isEmpty());
}

}  // namespace
}  // namespace pelmar::ui

namespace pelmar::ui {
namespace {

TEST(HeaderControl, SortArrowIsDrawnInItsSectionOnly) {
    THeaderControl header;
    header.resize(400, header.sizeHint().height());
    header.show();
    const QImage plain = header.grab().toImage();
    header.SetSortArrow(SectionSubject, false);
    const QImage arrow = header.grab().toImage();
    ASSERT_EQ(plain.size(), arrow.size());
    const auto differs = [&](int section) {
        const int left = header.sectionViewportPosition(section);
        for (int x = left; x < left + header.sectionSize(section); ++x) {
            for (int y = 0; y < plain.height(); ++y) {
                if (plain.pixel(x, y) != arrow.pixel(x, y)) return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(differs(SectionSubject));
    EXPECT_FALSE(differs(SectionFrom));
    EXPECT_FALSE(differs(SectionDate));
}

}  // namespace
}  // namespace pelmar::ui
