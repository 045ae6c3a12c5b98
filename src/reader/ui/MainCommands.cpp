#include "reader/ui/MainCommands.h"

#include <QAction>
#include <QActionGroup>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include "reader/ui/Icons.h"
#include "core/ui/SlotGuard.h"
#include "editor/ui/AfterSendRunner.h"

namespace pelmar::ui {

using C = TCommand;

TMainCommands::TMainCommands(QMainWindow& window) : QObject(&window) {
    BuildMenus(window);
    BuildToolbars(window);
    BuildPopups(window);
}

QAction* TMainCommands::Make(TCommand command, const QString& caption, const char* themeIcon,
                             const QString& fallbackIcon) {
    auto* action = new QAction(caption, parent());
    if (themeIcon != nullptr || !fallbackIcon.isEmpty()) {
        action->setIcon(
            ThemeIcon(themeIcon != nullptr ? QString::fromLatin1(themeIcon) : QString(), fallbackIcon));
    }
    GuardedConnect(action, &QAction::triggered, this, [this, command] { emit Triggered(command); });
    actions_.emplace(command, action);
    main_.emplace(command, action);
    return action;
}

QAction* TMainCommands::Extra(TCommand command, const QString& caption) {
    auto* action = new QAction(caption, parent());
    if (QAction* main = Action(command)) {
        action->setIcon(main->icon());
        action->setCheckable(main->isCheckable());
        if (main->isCheckable()) {
            GuardedConnect(main, &QAction::toggled, action, &QAction::setChecked);
            action->setChecked(main->isChecked());
        }
        // A checkable pop-up item toggles the main one, which runs the command.
        GuardedConnect(action, &QAction::triggered, main, [main, action] {
            if (main->isCheckable()) {
                main->setChecked(action->isChecked());
                emit main->triggered(action->isChecked());
            } else {
                main->trigger();
            }
        });
    } else {
        GuardedConnect(action, &QAction::triggered, this, [this, command] { emit Triggered(command); });
    }
    actions_.emplace(command, action);
    return action;
}

QAction* TMainCommands::Action(TCommand command) const {
    const auto it = main_.find(command);
    return it == main_.end() ? nullptr : it->second;
}

std::vector<QAction*> TMainCommands::Actions(TCommand command) const {
    std::vector<QAction*> result;
    const auto range = actions_.equal_range(command);
    for (auto it = range.first; it != range.second; ++it) result.push_back(it->second);
    return result;
}

void TMainCommands::Apply(const TCommandState& state) {
    for (const auto& [command, action] : actions_) {
        action->setEnabled(state.Enabled(command));
        ApplyDisabledHint(action, state.Hint(command));
    }
}

namespace {
// Properties of an action whose hint says why it is disabled: its own texts, kept the first time a
// hint replaces them, and whether the hint is shown now.
const char* const kOwnToolTip = "pelmarToolTip";
const char* const kOwnStatusTip = "pelmarStatusTip";
const char* const kHinted = "pelmarDisabledHint";
}  // namespace

bool TMainCommands::ShowsDisabledHint(const QAction& action) {
    return !action.isEnabled() && action.property(kHinted).toBool();
}

void TMainCommands::ApplyDisabledHint(QAction* action, TDisabledHint hint) {
    static const char* const kToolTip = kOwnToolTip;
    static const char* const kStatusTip = kOwnStatusTip;
    action->setProperty(kHinted, hint != TDisabledHint::None);
    if (hint == TDisabledHint::None) {
        if (!action->property(kToolTip).isValid()) return;
        action->setToolTip(action->property(kToolTip).toString());
        action->setStatusTip(action->property(kStatusTip).toString());
        return;
    }
    if (!action->property(kToolTip).isValid()) {
        action->setProperty(kToolTip, action->toolTip());
        action->setProperty(kStatusTip, action->statusTip());
    }
    const QString why = QStringLiteral(
        "Не задана нетмейл-область: \"Настройки\" → \"Параметры...\" → \"Сообщения\" → "
        "\"Netmail-область\".");
    // A long status text goes on one line, the tooltip on two.
    action->setToolTip(QStringLiteral("Ответить нетмейлом недоступно.\n") + why);
    action->setStatusTip(why);
}

void TMainCommands::SetHint(QAction* action, const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

void TMainCommands::BuildMenus(QMainWindow& window) {
    MainMenu1 = new QMenuBar(&window);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    window.setMenuBar(MainMenu1);

    // Captions of the key table's items end in a tab and the key's name.
    QMenu* letter = MainMenu1->addMenu(QStringLiteral("&Письмо"));
    letter->addAction(Make(C::NewLetter, QStringLiteral("&Новое\tIns"), "mail-message-new"));
    letter->addAction(Make(C::Reply, QStringLiteral("&Ответить\tF4"), "mail-reply-sender"));
    letter->addAction(Make(C::ReplyNetmail, QStringLiteral("Ответить нетме&йлом"), "mail-reply-all"));
    letter->addAction(Make(C::Forward, QStringLiteral("&Переслать\tF5"), "mail-forward"));
    letter->addAction(Make(C::Edit, QStringLiteral("Р&едактировать\tF3"), "document-edit"));
    letter->addAction(Make(C::Multiply, QStringLiteral("&Размножить\tF2"), "mail-send-receive"));
    letter->addAction(Make(C::Delete, QStringLiteral("&Удалить\tDel"), "edit-delete"));
    letter->addSeparator();
    // Reading by keys: single letters as mail and news readers have them, none of the key table's.
    letter->addAction(Make(C::NextUnread, QStringLiteral("Сле&дующее непрочитанное"), "go-last"));
    Action(C::NextUnread)->setShortcut(QKeySequence(Qt::Key_N));
    letter->addAction(Make(C::PrevUnread, QStringLiteral("Предыдущее непрочи&танное"), "go-first"));
    Action(C::PrevUnread)->setShortcut(QKeySequence(Qt::Key_P));
    letter->addAction(Make(C::MarkUnread, QStringLiteral("Пометить как непрочит&анное"), "mail-mark-unread"));
    Action(C::MarkUnread)->setShortcut(QKeySequence(Qt::Key_U));
    letter->addAction(
        Make(C::MarkAreaRead, QStringLiteral("Пометить о&бласть прочитанной"), "mail-mark-read"));
    Action(C::MarkAreaRead)->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_C));
    letter->addSeparator();
    letter->addAction(Make(C::UUDecode, QStringLiteral("&UUDecode\tF7"), "mail-attachment"));
    letter->addAction(Make(C::Save, QStringLiteral("&Сохранить...\tF8"), "document-save"));
    letter->addAction(Make(C::Copy, QStringLiteral("&Копировать...\tF9"), "edit-copy"));
    letter->addAction(Make(C::Print, QStringLiteral("Пе&чатать..."), "document-print"));
    letter->addSeparator();
    letter->addAction(Make(C::Exit, QStringLiteral("В&ыход"), "application-exit"));
    Action(C::Exit)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // The usual desktop keys beside the key table's single keys.
    Action(C::NewLetter)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    Action(C::Reply)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    Action(C::Print)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));

    QMenu* search = MainMenu1->addMenu(QStringLiteral("По&иск"));
    search->addAction(Make(C::Find, QStringLiteral("&Найти..."), "edit-find"));
    Action(C::Find)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    search->addAction(Make(C::FindNext, QStringLiteral("Найти &далее"), "edit-find-replace"));
    Action(C::FindNext)->setShortcut(QKeySequence(Qt::Key_F3));

    QMenu* settings = MainMenu1->addMenu(QStringLiteral("&Настройки"));
    QAction* threads = Make(C::BuildThreads, QStringLiteral("Строить &нити ответа"), nullptr, "threads.svg");
    threads->setCheckable(true);
    threads->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    settings->addAction(threads);
    settings->addSeparator();
    // "&Шрифт" is never shown: the display modes below replace it.
    QAction* fontItem = settings->addAction(QStringLiteral("&Шрифт"));
    fontItem->setObjectName(QStringLiteral("N20"));
    fontItem->setVisible(false);
    auto* modes = new QActionGroup(this);
    const std::pair<C, QString> modeItems[] = {
        {C::FontProportional, QStringLiteral("&Пропорциональный шрифт")},
        {C::FontMonospace, QStringLiteral("&Моноширинный шрифт")},
        {C::FontPseudoGraphics, QStringLiteral("С псевдогра&фикой")}};
    int key = Qt::Key_1;
    for (const auto& [command, caption] : modeItems) {
        QAction* mode = Make(command, caption);
        mode->setCheckable(true);
        mode->setShortcut(QKeySequence(Qt::CTRL | key++));
        modes->addAction(mode);
        settings->addAction(mode);
    }
    Action(C::FontProportional)->setChecked(true);
    settings->addSeparator();
    QMenu* coding = settings->addMenu(QStringLiteral("&Кодировка"));
    auto* codings = new QActionGroup(this);
    for (const auto& [command, caption] : {std::pair{C::CodingDos, QStringLiteral("&DOS (866)")},
                                           std::pair{C::CodingWindows, QStringLiteral("&Windows (1251)")}}) {
        QAction* item = Make(command, caption);
        item->setCheckable(true);
        codings->addAction(item);
        coding->addAction(item);
    }
    Action(C::CodingDos)->setChecked(true);
    settings->addSeparator();
    settings->addAction(Make(C::Settings, QStringLiteral("&Параметры..."), "preferences-system"));
    settings->addAction(Make(C::TemplateEditor, QStringLiteral("&Редактор шаблонов..."), "text-editor"));
    QAction* afterSendLog = settings->addAction(QStringLiteral("&Журнал команды после отправки"));
    afterSendLog->setObjectName(QStringLiteral("AfterSendLogAction"));
    GuardedConnect(afterSendLog, &QAction::triggered, &window, [&window] { ShowAfterSendLog(&window); });
    settings->addSeparator();
    settings->addAction(
        Make(C::GoldedImport, QStringLiteral("Импорт конфигурации Golded'а"), "document-open"));

    QMenu* windows = MainMenu1->addMenu(QStringLiteral("&Окна"));
    // "MainWindow" is never shown; its key still brings the main window up (see the window).
    QAction* mainWindow = Make(C::MainWindow, QStringLiteral("MainWindow"));
    mainWindow->setVisible(false);
    windows->addAction(mainWindow);
    windows->addAction(Make(C::AreasDialog, QStringLiteral("&Эхоконференции"), "folder"));
    Action(C::AreasDialog)->setShortcut(QKeySequence(Qt::Key_F11));
    windows->addAction(Make(C::AddressBook, QStringLiteral("Адресная &книга"), "x-office-address-book"));
    Action(C::AddressBook)->setShortcut(QKeySequence(Qt::Key_F12));
    windows->addAction(Make(C::NodeList, QStringLiteral("Список &узлов"), "view-list"));
    Action(C::NodeList)->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F12));
    windows->addSeparator();
    windows->addAction(Make(C::WindowListDialog, QStringLiteral("&Список окон..."), "window-new"));
    Action(C::WindowListDialog)->setShortcut(QKeySequence(Qt::ALT | Qt::Key_0));

    QMenu* help = MainMenu1->addMenu(QStringLiteral("&Справка"));
    help->addAction(Make(C::HelpContents, QStringLiteral("&Содержание"), "help-contents"));
    Action(C::HelpContents)->setShortcut(QKeySequence(Qt::Key_F1));
    help->addSeparator();
    help->addAction(Make(C::HelpManual, QStringLiteral("&Руководство"), "help-browser"));
    help->addAction(Make(C::HelpNovice, QStringLiteral("&Чайнику"), "help-faq"));
    help->addSeparator();
    help->addAction(Make(C::About, QStringLiteral("О &программе..."), "help-about"));

    keyTable_ = {{Qt::Key_Delete, C::Delete}, {Qt::Key_Insert, C::NewLetter}, {Qt::Key_F4, C::Reply},
                 {Qt::Key_F5, C::Forward},    {Qt::Key_F3, C::Edit},          {Qt::Key_F2, C::Multiply},
                 {Qt::Key_F7, C::UUDecode},   {Qt::Key_F8, C::Save},          {Qt::Key_F9, C::Copy}};
}

void TMainCommands::BuildToolbars(QMainWindow& window) {
    const auto toolbar = [&window](const char* name, const QString& title) {
        auto* bar = new QToolBar(title, &window);
        bar->setObjectName(QString::fromLatin1(name));
        bar->setIconSize(QSize(20, 20));
        return bar;
    };
    const auto button = [this](QToolBar* bar, C command, const QString& caption, const QString& hint) {
        QAction* action = Action(command);
        action->setIconText(caption);
        SetHint(action, hint);
        bar->addAction(action);
        return action;
    };

    Toolbar972 = toolbar("Toolbar972", QStringLiteral("Окна"));
    Toolbar971 = toolbar("Toolbar971", QStringLiteral("Письмо"));
    Toolbar974 = toolbar("Toolbar974", QStringLiteral("Просмотр"));
    Toolbar973 = toolbar("Toolbar973", QStringLiteral("Справка"));

    Make(C::ErrorReport, QStringLiteral("Cообщение об ошибке"), "dialog-warning");
    button(Toolbar972, C::ErrorReport, QStringLiteral("Cообщение об ошибке"),
           QStringLiteral("Cообщение об ошибке|Посылает письмо автору программы, описывающее ошибку."));
    Toolbar972->addSeparator();
    button(Toolbar972, C::AreasDialog, QStringLiteral("Эхоконференции"),
           QStringLiteral(
               "Эхоконференции|Открывает или показывает окно \"Эхоконференции\", в котором пользователь "
               "может изменять список областей."));
    button(Toolbar972, C::AddressBook, QStringLiteral("Адресная книга"),
           QStringLiteral(
               "Адресная книга|Адресная книга позволяет хранить адреса тех людей, с которыми вы часто "
               "общаетесь"));
    button(Toolbar972, C::NodeList, QStringLiteral("Список узлов"),
           QStringLiteral(
               "Список узлов|Показывает окно, содержащее информацию об узлах сети, их администраторах и "
               "т.д."));
    Make(C::Bookmarks, QStringLiteral("Закладки"), "emblem-favorite");
    button(Toolbar972, C::Bookmarks, QStringLiteral("Закладки"),
           QStringLiteral("Закладки|Показывает окно \"Закладки\", которое позволяет быстро переходить к "
                          "\"заложенным\" письмам"));

    button(Toolbar971, C::NewLetter, QStringLiteral("Новое письмо"),
           QStringLiteral("Новое письмо|Создает новое, пустое письмо в текущей области"));
    button(Toolbar971, C::Reply, QStringLiteral("Ответить на письмо"),
           QStringLiteral(
               "Ответить на письмо|Создает новое письмо, цитирует оригинал. Ctrl+Щелчок - цитирование "
               "клуджей"));
    button(Toolbar971, C::ReplyNetmail, QStringLiteral("Ответить нетмейлом"),
           QStringLiteral("Ответить нетмейлом|Отвечает на письмо в нетмейл-области, задаваемой в настройках "
                          "программы. Ctrl+Щелчок - цитировать клуджи"));
    button(Toolbar971, C::Forward, QStringLiteral("Переслать письмо"),
           QStringLiteral("Переслать письмо|Вставляет текст текущего письма без изменений в ваше письмо для "
                          "пересылки. Ctrl+Щелчок - использовать клуджи"));
    button(Toolbar971, C::Edit, QStringLiteral("Редактировать письмо"),
           QStringLiteral("Редактировать письмо"));
    button(Toolbar971, C::Multiply, QStringLiteral("Размножить письмо"), QStringLiteral("Размножить письмо"));
    button(Toolbar971, C::Delete, QStringLiteral("Удалить письмо"), QStringLiteral("Удалить письмо"));
    Toolbar971->addSeparator();
    button(Toolbar971, C::Copy, QStringLiteral("Копировать/переместить сообщение"),
           QStringLiteral("Копировать/переместить сообщение"));
    button(Toolbar971, C::UUDecode, QStringLiteral("UUDecode"), QStringLiteral("UUDecode"));
    button(Toolbar971, C::Save, QStringLiteral("Сохранить текст письма"),
           QStringLiteral("Сохранить текст письма"));
    button(Toolbar971, C::Print, QStringLiteral("Печать письма"), QStringLiteral("Печать письма"));
    Toolbar971->addSeparator();

    button(Toolbar974, C::Find, QStringLiteral("Поиск"), QStringLiteral("Поиск"));
    button(Toolbar974, C::FindNext, QStringLiteral("Найти следующее"), QStringLiteral("Найти следующее"));
    Toolbar974->addSeparator();
    button(Toolbar974, C::BuildThreads, QStringLiteral("Строить нити ответа"),
           QStringLiteral("Строить нити ответа"));
    // Drop-down buttons get their menus in BuildPopups.
    button(Toolbar974, C::Settings, QStringLiteral("Настройки программы"),
           QStringLiteral("Настройки программы"));

    // The window list drop-down goes first (BuildPopups).
    Toolbar973->addSeparator();
    button(Toolbar973, C::About, QStringLiteral("О программе"), QStringLiteral("О программе"));
    button(Toolbar973, C::HelpContents, QStringLiteral("Справка"), QStringLiteral("Справка"));
    Toolbar973->addSeparator();
    button(Toolbar973, C::Exit, QStringLiteral("Выход"), QStringLiteral("Выход"));
}

void TMainCommands::BuildPopups(QMainWindow& window) {
    const auto dropDown = [](QToolBar* bar, QAction* before, QMenu* menu, const QString& caption,
                             const char* themeIcon) {
        auto* button = new QToolButton(bar);
        button->setText(caption);
        button->setToolTip(caption);
        button->setStatusTip(caption);
        button->setIcon(ThemeIcon(QString::fromLatin1(themeIcon)));
        button->setMenu(menu);
        button->setPopupMode(QToolButton::InstantPopup);
        return before != nullptr ? bar->insertWidget(before, button) : bar->addWidget(button);
    };

    PopupMenu1 = new QMenu(&window);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(Extra(C::UUDecode, QStringLiteral("UUDecode")));
    PopupMenu1->addAction(Extra(C::Save, QStringLiteral("Сохранить")));
    PopupMenu1->addAction(Extra(C::Copy, QStringLiteral("Копировать")));
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(Extra(C::AddBookmark, QStringLiteral("Добавить закладку")));
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(Extra(C::Reply, QStringLiteral("Ответить")));
    PopupMenu1->addAction(Extra(C::ReplyNetmail, QStringLiteral("Ответить нетмейлом")));
    PopupMenu1->addAction(Extra(C::Forward, QStringLiteral("Переслать")));
    PopupMenu1->addAction(Extra(C::Edit, QStringLiteral("Редактировать")));
    PopupMenu1->addAction(Extra(C::Multiply, QStringLiteral("Размножить")));
    PopupMenu1->addAction(Extra(C::Delete, QStringLiteral("Удалить")));
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(Extra(C::MarkUnread, QStringLiteral("Пометить как непрочитанное")));
    PopupMenu1->addAction(Extra(C::MarkAreaRead, QStringLiteral("Пометить область прочитанной")));

    RicheditMenu = new QMenu(&window);
    RicheditMenu->setObjectName(QStringLiteral("RicheditMenu"));
    RicheditMenu->addAction(Extra(C::TextCopy, QStringLiteral("Копировать")));
    RicheditMenu->addAction(Extra(C::TextSelectAll, QStringLiteral("Выделить все")));
    RicheditMenu->addSeparator();
    RicheditMenu->addAction(Extra(C::TakeTearline, QStringLiteral("\"Выдрать\" тирлайн")));
    RicheditMenu->addAction(Extra(C::TakeOrigin, QStringLiteral("\"Выдрать\" ориджин")));
    QAction* rtf = RicheditMenu->addAction(QStringLiteral("Сохранить как RTF"));
    rtf->setVisible(false);

    PopupMenu2 = new QMenu(&window);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    QAction* showMenu = Make(C::ShowMenu, QStringLiteral("&Меню"));
    showMenu->setCheckable(true);
    showMenu->setChecked(true);
    PopupMenu2->addAction(showMenu);
    QAction* showBars = Make(C::ShowToolbars, QStringLiteral("&Панель кнопок"));
    showBars->setCheckable(true);
    showBars->setChecked(true);
    PopupMenu2->addAction(showBars);

    PopupMenu3 = new QMenu(&window);
    PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    PopupMenu3->addAction(Extra(C::SelectAll, QStringLiteral("Выделить все")));
    PopupMenu3->addAction(Extra(C::SelectNone, QStringLiteral("Ничего не выделено")));
    PopupMenu3->addAction(Extra(C::InvertSelection, QStringLiteral("Обратить выделение")));
    PopupMenu3->addSeparator();
    PopupMenu3->addAction(Extra(C::SelectRead, QStringLiteral("Выделить прочитанные")));
    PopupMenu3->addAction(Extra(C::SelectPersonal, QStringLiteral("Выделить личные")));
    dropDown(Toolbar971, nullptr, PopupMenu3, QStringLiteral("Выделение"), "edit-select-all");

    // Same commands as the display-mode and code-page items of the menu bar.
    FontMenu = new QMenu(&window);
    FontMenu->setObjectName(QStringLiteral("FontMenu"));
    FontMenu->addAction(Action(C::FontProportional));
    FontMenu->addAction(Action(C::FontMonospace));
    FontMenu->addAction(Action(C::FontPseudoGraphics));
    CodingMenu = new QMenu(&window);
    CodingMenu->setObjectName(QStringLiteral("CodingMenu"));
    CodingMenu->addAction(Action(C::CodingDos));
    CodingMenu->addAction(Action(C::CodingWindows));
    QAction* settings = Action(C::Settings);
    dropDown(Toolbar974, settings, FontMenu, QStringLiteral("Шрифт"), "preferences-desktop-font");
    dropDown(Toolbar974, settings, CodingMenu, QStringLiteral("Кодировка"), "format-text-plaintext");

    WindowList = new QMenu(&window);
    WindowList->setObjectName(QStringLiteral("WindowList"));
    GuardedConnect(WindowList, &QMenu::aboutToShow, this, [this] { emit WindowListRequested(); });
    Make(C::WindowListMenu, QStringLiteral("Список окон"), "window-new");
    QAction* listButton = dropDown(Toolbar973, Toolbar973->actions().value(0), WindowList,
                                   QStringLiteral("Список окон"), "window-new");
    actions_.emplace(C::WindowListMenu, listButton);
}

bool TMainCommands::RunKeyTable(const QKeyEvent& event, bool findNextEnabled) {
    if ((event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    for (const TKeyEntry& entry : keyTable_) {
        if (entry.Key != event.key()) continue;
        if (entry.Key == Qt::Key_F3 && findNextEnabled) continue;
        QAction* action = Action(entry.Command);
        if (action == nullptr || !action->isEnabled()) continue;
        action->trigger();
        return true;
    }
    return false;
}

void TMainCommands::AddPluginButton(QAction* button, bool first) {
    button->setParent(Toolbar971);
    QAction* before = nullptr;
    if (first) {
        const QList<QAction*> list = Toolbar971->actions();
        const qsizetype at = list.indexOf(Action(TCommand::Bookmarks));
        if (at >= 0)
            before = at + 1 < list.size() ? list[at + 1] : nullptr;
        else if (!list.isEmpty())
            before = list.first();
    }
    if (before != nullptr)
        Toolbar971->insertAction(before, button);
    else
        Toolbar971->addAction(button);
}

QList<QAction*> TMainCommands::LetterBarButtons() const {
    return Toolbar971->actions();
}

void TMainCommands::DockToolbars(QMainWindow& window) {
    for (QToolBar* bar : {Toolbar972, Toolbar971, Toolbar974, Toolbar973})
        window.addToolBar(Qt::TopToolBarArea, bar);
}

void TMainCommands::SetMenuVisible(bool visible) {
    MainMenu1->setVisible(visible);
}

void TMainCommands::SetToolbarsVisible(bool visible) {
    for (QToolBar* bar : {Toolbar971, Toolbar972, Toolbar973, Toolbar974}) bar->setVisible(visible);
}

bool TMainCommands::ToolbarsHidden() const {
    return Toolbar971->isHidden();
}

void TMainCommands::PopupListMenu(const QPoint& global) {
    PopupMenu1->popup(global);
}

void TMainCommands::PopupTextMenu(const QPoint& global) {
    RicheditMenu->popup(global);
}

void TMainCommands::SetCodingEnabled(bool enabled) {
    if (CodingMenu != nullptr) CodingMenu->setEnabled(enabled);
}

void TMainCommands::ClearWindowList() {
    WindowList->clear();
}

QAction* TMainCommands::AddWindowListItem(const QIcon& icon, const QString& title) {
    return WindowList->addAction(icon, title);
}

}  // namespace pelmar::ui
