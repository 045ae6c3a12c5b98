#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

#include <filesystem>

#include <QListWidget>
#include <QTreeWidget>
#include "areas/AreaEdits.h"
#include "areas/gizmo.h"
#include "areas/ui/AreaMngr.h"
#include "core/Settings.h"
#include "core/ui/QtText.h"
#include "core/ui/VirtualKeys.h"
#include "editor/Templates.h"
#include "editor/UUCode.h"
#include "editor/ui/DraftKeeper.h"
#include "editor/ui/EditorOpeners.h"
#include "editor/ui/EditorWiring.h"
#include "editor/ui/SendMessageForm.h"
#include "editor/ui/SpellChecker.h"
#include "editor/ui/TemplEditForm.h"
#include "editor/ui/UUDecodeForm.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"
#include "platform/Codepage.h"
#include "reader/DraftStore.h"
#include "reader/MainWindowServices.h"
#include "reader/ReadingCommands.h"
#include "reader/ui/HelpWindow.h"
#include "support/TestSupport.h"
#include "support/qt/Child.h"

namespace pelmar::ui {
namespace {

using pelmar::test::Child;
namespace fs = std::filesystem;

std::string A(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

// Answers the next message boxes with `button`, keeping their texts.
struct TBoxAnswerer {
    explicit TBoxAnswerer(QMessageBox::StandardButton button) {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this, button] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                Texts.push_back(box->text().toStdString());
                if (QAbstractButton* b = box->button(button))
                    b->click();
                else
                    box->close();
            }
        });
        timer.start();
    }
    QTimer timer;
    std::vector<std::string> Texts;
};

class EditorWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings.ProgramFolder = home.Path().string() + "/";
        Settings.DataFolder = Settings.ProgramFolder;
        Settings.SelfAKA = {"2:5020/120.5"};
        Settings.FullName = "Ivan Petrov";
        Settings.AutoSpell = false;
        Settings.AutoAKA = false;
        OpenTemplateStore();
        WriteMissingDefaultTemplates();
    }
    void TearDown() override {
        for (TSendMessageForm* e : std::vector<TSendMessageForm*>(Editors())) delete e;
        CloseTemplateStore();
    }

    TAreaInfo& Area(int kind, const std::string& name, TAreaInfo* parent = nullptr) {
        auto area = std::make_unique<TAreaInfo>();
        area->Kind = kind;
        area->Name = area->AreaName = name;
        area->Path = (home.Path() / name).string();
        if (kind == BaseKindMsg) {
            fs::create_directories(area->Path);
        } else if (kind != AreaKindFolder) {
            auto base = CreateMessageBase(kind);
            base->SetPath(area->Path);
            base->CreateBase();
        }
        if (parent != nullptr) return *parent->AddChild(std::move(area));
        areas.push_back(std::move(area));
        return *areas.back();
    }

    std::string Body(TSendMessageForm& e) { return e.BodyText(); }

    test::ScopedHome home;
    std::vector<std::unique_ptr<TAreaInfo>> areas;
};

TEST_F(EditorWindowTest, WithEditPlacementTheNextEditorOpensWhereTheLastOneClosed) {
    TAreaInfo& area = Area(BaseKindMsg, "ECHO");
    const bool saved = Settings.EditPlacement;
    Settings.EditPlacement = true;
    TSendMessageForm* first = OpenNewLetter(nullptr, &area);
    first->move(123, 77);
    const QPoint closedAt = first->pos();
    delete first;
    TSendMessageForm* second = OpenNewLetter(nullptr, &area);
    EXPECT_EQ(second->pos(), closedAt);
    second->move(5, 6);
    delete second;
    Settings.EditPlacement = false;  // off: the stored place is not used
    TSendMessageForm* third = OpenNewLetter(nullptr, &area);
    EXPECT_NE(third->pos(), QPoint(5, 6));
    Settings.EditPlacement = saved;
}

TEST_F(EditorWindowTest, PreviewFollowsTheHeaderUntilEditingStarts) {
    TAreaInfo& area = Area(BaseKindMsg, "ECHO");
    TSendMessageForm* e = OpenNewLetter(nullptr, &area);
    EXPECT_FALSE(e->Editing());
    EXPECT_TRUE(Child<QPlainTextEdit>(*e, "RichEdit1")->isReadOnly());
    EXPECT_NE(Body(*e).find(A("Привет All!")), std::string::npos) << Body(*e);
    const int before = e->ExpansionCount();
    for (const char* name : {"S", "Se", "Sergey", "Sergey Ivanov"}) e->SetToName(name);
    e->FlushPreview();
    EXPECT_EQ(e->ExpansionCount(), before + 1);  // one expansion for the burst of keystrokes
    EXPECT_NE(Body(*e).find(A("Привет Sergey!")), std::string::npos);
    const std::string marker = CursorMacro();
    EXPECT_EQ(Body(*e).find(marker), std::string::npos);
    const int offset = e->CursorOffset();
    EXPECT_EQ(offset, static_cast<int>(A("Привет Sergey!\r\r").size()));

    e->StartEditing();
    EXPECT_TRUE(e->Editing());
    EXPECT_FALSE(Child<QPlainTextEdit>(*e, "RichEdit1")->isReadOnly());
    EXPECT_EQ(Child<QPlainTextEdit>(*e, "RichEdit1")->textCursor().position(), offset);
    EXPECT_EQ(e->CaretPanelText(), "  1:  3");
    const std::string edited = Body(*e);
    e->SetToName("Somebody Else");
    e->FlushPreview();
    EXPECT_EQ(Body(*e), edited);
    EXPECT_TRUE(Child<QToolButton>(*e, "SpeedButton1")->isVisible());
    e->SetHeaderCollapsed(true);
    EXPECT_FALSE(Child<QWidget>(*e, "HeaderGroup")->isVisible());
    EXPECT_EQ(Child<QLabel>(*e, "CollapsedLabel")->text(), QStringLiteral("Ivan Petrov -> Somebody Else : "));
}

TEST_F(EditorWindowTest, SendNeedsOwnAddressAndAValidNetmailAddress) {
    TAreaInfo& net = Area(BaseKindMsg, "NETMAIL");
    net.IsNetmail = true;
    TSendMessageForm* e = OpenNetmailTo(nullptr, "5020/1", "Sysop");
    e->Destinations = {&net};
    e->SetDestAddress("5020/1");
    EXPECT_FALSE(e->Commands().Send);
    Child<QComboBox>(*e, "ComboBox2")->setFocus();
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(Child<QComboBox>(*e, "ComboBox2"), &out);
    EXPECT_EQ(e->DestAddress(), "2:5020/1");
    EXPECT_TRUE(e->Commands().Send);
    // A robot is written to the boss node of the own address.
    e->SetToName("aReAfIx");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(Child<QLineEdit>(*e, "Edit2"), &enter);
    EXPECT_EQ(e->DestAddress(), "2:5020/120");

    Settings.SelfAKA.clear();
    TSendMessageForm* none = OpenNewLetter(nullptr, &net);
    EXPECT_TRUE(none->SelectedAka().empty());
    EXPECT_FALSE(none->Commands().Send);
}

TEST_F(EditorWindowTest, QuoteContinuationAndAutoType) {
    TAreaInfo& area = Area(BaseKindMsg, "ECHO");
    Settings.AutoTypeTable = {{{0x70, ssCtrl}, "Hello"}, {{0x70, ssCtrl}, A(" мир")}};
    TSendMessageForm* e = OpenNewLetter(nullptr, &area);
    e->StartEditing();
    Child<QPlainTextEdit>(*e, "RichEdit1")->setPlainText(QStringLiteral("AB> quoted text"));
    Child<QPlainTextEdit>(*e, "RichEdit1")->moveCursor(QTextCursor::End);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(Child<QPlainTextEdit>(*e, "RichEdit1"), &enter);
    EXPECT_EQ(Body(*e), "AB> quoted text\rAB> ");
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::ControlModifier);
    QApplication::sendEvent(Child<QPlainTextEdit>(*e, "RichEdit1"), &f1);
    EXPECT_EQ(Body(*e), "AB> quoted text\rAB> Hello" + A(" мир"));
    // F1 alone is help, never text.
    QKeyEvent help(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(Child<QPlainTextEdit>(*e, "RichEdit1"), &help);
    EXPECT_EQ(Body(*e), "AB> quoted text\rAB> Hello" + A(" мир"));
    bool helpShown = false;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* page = qobject_cast<THelpWindow*>(window); page != nullptr && page->isVisible())
            helpShown =
                Child<QTextBrowser>(*page, "Browser")->source().fileName() == QStringLiteral("editor.html");
    }
    EXPECT_TRUE(helpShown);
    // Pasted text cannot forge control lines either.
    QGuiApplication::clipboard()->setText(QStringLiteral("\nx\x01MSGID: 1:2/3 4"));
    Child<QPlainTextEdit>(*e, "RichEdit1")->moveCursor(QTextCursor::End);
    Child<QPlainTextEdit>(*e, "RichEdit1")->paste();
    EXPECT_EQ(Body(*e), "AB> quoted text\rAB> Hello" + A(" мир") + "\rxMSGID: 1:2/3 4");
    EXPECT_EQ(VirtualKeyOf(Qt::Key_A), 0x41);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_F12), 0x7B);
    EXPECT_EQ(ShiftStateOf(Qt::ShiftModifier | Qt::AltModifier), ssShift | ssAlt);
}

TEST_F(EditorWindowTest, TypingNeverAsksTheClipboardAndPasteFollowsItsNotices) {
    QGuiApplication::clipboard()->clear();
    TSendMessageForm* e = OpenNewLetter(nullptr, &Area(BaseKindMsg, "ECHO"));
    e->StartEditing();
    Child<QPlainTextEdit>(*e, "RichEdit1")->setPlainText(QString());
    EXPECT_FALSE(e->Commands().Paste);
    const int reads = TSendMessageForm::ClipboardReadsForTesting;
    for (const QChar c : QStringLiteral("Hello, all")) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(Child<QPlainTextEdit>(*e, "RichEdit1"), &key);
    }
    EXPECT_EQ(Body(*e), "Hello, all");
    EXPECT_EQ(TSendMessageForm::ClipboardReadsForTesting, reads);
    // Another program puts text there: the notice, not the next keystroke, enables "paste".
    QGuiApplication::clipboard()->setText(QStringLiteral("x"));
    EXPECT_TRUE(e->Commands().Paste);
    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(e->Commands().Paste);
}

TEST_F(EditorWindowTest, FailedDestinationKeepsTheWindowAndTheDraft) {
    TAreaInfo& good = Area(BaseKindMsg, "GOOD");
    TAreaInfo& locked = Area(BaseKindJam, "LOCKED");
    TSendMessageForm* e = OpenNewLetter(nullptr, &good);
    e->Destinations = {&good, &locked};
    e->StartEditing();
    ASSERT_TRUE(SaveDrafts(true));
    const int32_t draft = e->DraftNumber;
    ASSERT_NE(draft, -1);

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        const int fd = ::open((locked.Path + ".jhr").c_str(), O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_len = 1;
        const bool ok = fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0;
        (void)!write(ready[1], ok ? "1" : "0", 1);
        sleep(30);
        _exit(0);
    }
    close(ready[1]);
    char flag = 0;
    ASSERT_EQ(read(ready[0], &flag, 1), 1);
    close(ready[0]);
    bool sent = true;
    std::vector<std::string> boxes;
    {
        TBoxAnswerer answer(QMessageBox::Ok);
        if (flag == '1') sent = e->Send(true);
        boxes = answer.Texts;
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_EQ(flag, '1');
    EXPECT_FALSE(sent);
    ASSERT_EQ(Editors().size(), 1u);
    EXPECT_EQ(e->Destinations, std::vector<TAreaInfo*>{&locked});
    EXPECT_EQ(e->DraftNumber, draft);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("LOCKED"), std::string::npos);
    // Stored again at once with only the area still to write: a crash now must not post twice.
    const auto stored = CurrentDraftStore().Load();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].AreaIds, std::vector<std::string>{locked.ID});

    // Once the lock is gone the rest goes out, only into the area that failed, and the draft goes.
    EXPECT_TRUE(e->Send(true));
    QApplication::processEvents();
    EXPECT_TRUE(CurrentDraftStore().Load().empty());
    auto count = [](TAreaInfo& a) {
        auto base = CreateMessageBase(a.Kind);
        base->SetPath(a.Path);
        base->Open();
        return base->Count();
    };
    EXPECT_EQ(count(good), 1);
    EXPECT_EQ(count(locked), 1);
}

// Only regular files go in, and no more than the cap: a device or a pipe reports no size.
TEST_F(EditorWindowTest, InsertTextFileTakesRegularFilesUpToTheCap) {
    TAreaInfo& area = Area(BaseKindMsg, "ECHO");
    const std::string line(79, 'x');
    std::string full;
    while (full.size() + line.size() + 1 <= MaxInsertFileSize) full += line + "\n";
    full.append(MaxInsertFileSize - full.size(), 'y');
    test::WriteFile(home.Path() / "full.txt", full);
    test::WriteFile(home.Path() / "over.txt", full + "z");
    const fs::path fifo = home.Path() / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Row {
        std::string path;
        bool inserted;
    };
    for (const Row& row :
         {Row{(home.Path() / "full.txt").string(), true}, Row{(home.Path() / "over.txt").string(), false},
          Row{"/dev/zero", false}, Row{fifo.string(), false}}) {
        SCOPED_TRACE(row.path);
        TSendMessageForm* e = OpenNewLetter(nullptr, &area);
        e->StartEditing();
        Child<QPlainTextEdit>(*e, "RichEdit1")->clear();
        TBoxAnswerer ok(QMessageBox::Ok);
        EXPECT_EQ(e->InsertTextFileFrom(QString::fromStdString(row.path)), row.inserted);
        EXPECT_EQ(ok.Texts.size(), row.inserted ? 0u : 1u);
        EXPECT_EQ(e->BodyText().find(line) != std::string::npos, row.inserted);
        delete e;
    }
}

// The timer's failure is told once in a box, in Russian; the same failure again only in the status bar.
TEST_F(EditorWindowTest, AutoSaveFailureIsShownOnce) {
    struct TStatus : TMainWindowServices {
        void SetStatusText(const std::string& text) override { Texts.push_back(text); }
        std::vector<std::string> Texts;
    } status;
    InstallMainWindowServices(&status);
    Settings.AutoSave = false;
    Settings.DataFolder = (home.Path() / "missing").string() + "/";
    TDraftKeeper keeper;
    std::vector<std::string> boxes;
    {
        TBoxAnswerer ok(QMessageBox::Ok);
        for (int round = 0; round < 3; ++round) keeper.AutoSave();
        boxes = ok.Texts;
    }
    InstallMainWindowServices(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("Не удалось сохранить непосланные письма", 0), 0u) << boxes[0];
    ASSERT_EQ(status.Texts.size(), 2u);
    EXPECT_EQ(ToQt(status.Texts[0]).toStdString(), boxes[0]);
}

// Rescue files the data folder holds.
std::vector<fs::path> RescueFiles(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind("rescued-letters-", 0) == 0) files.push_back(entry.path());
    return files;
}

// The program ends while the draft store refuses every save: an asked exit lets the user stay with
// the letter open; leaving, or an exit nobody can answer, puts the letter into a rescue file.
TEST_F(EditorWindowTest, ExitWithAFailingDraftStoreNeverLosesTheLetter) {
    TAreaInfo& area = Area(BaseKindMsg, "ECHO");
    TSendMessageForm* e = OpenNewLetter(nullptr, &area);
    e->StartEditing();
    Child<QPlainTextEdit>(*e, "RichEdit1")->setPlainText(QStringLiteral("Привет, мир"));
    TDraftStore::SetSaveFaultForTesting(A("диск переполнен"));
    struct Row {
        TExitKind kind;
        QMessageBox::StandardButton answer;
        bool mayEnd;
        size_t boxes;
        size_t rescueFiles;  // in the data folder afterwards
    };
    for (const Row& row : {Row{TExitKind::Asked, QMessageBox::Yes, false, 1, 0},
                           Row{TExitKind::Asked, QMessageBox::No, true, 2, 1},
                           Row{TExitKind::Unattended, QMessageBox::Ok, true, 0, 1}}) {
        SCOPED_TRACE(static_cast<int>(row.kind) * 10 + static_cast<int>(row.boxes));
        for (const fs::path& old : RescueFiles(home.Path())) fs::remove(old);
        TBoxAnswerer answer(row.answer);
        EXPECT_EQ(KeepLettersForExit(row.kind), row.mayEnd);
        ASSERT_EQ(answer.Texts.size(), row.boxes);
        if (row.boxes > 0) EXPECT_NE(answer.Texts[0].find("диск переполнен"), std::string::npos);
        const std::vector<fs::path> files = RescueFiles(home.Path());
        ASSERT_EQ(files.size(), row.rescueFiles);
        if (!files.empty()) {
            EXPECT_NE(test::ReadFile(files[0]).find("Привет, мир\n"), std::string::npos);
            if (row.boxes > 1) EXPECT_NE(answer.Texts[1].find(files[0].string()), std::string::npos);
        }
        EXPECT_EQ(Editors().size(), 1u);
    }
    TDraftStore::SetSaveFaultForTesting({});
    // With the store back, the letter goes there and nothing is asked.
    TBoxAnswerer none(QMessageBox::Yes);
    EXPECT_TRUE(KeepLettersForExit(TExitKind::Asked));
    EXPECT_TRUE(none.Texts.empty());
    EXPECT_EQ(CurrentDraftStore().Load().size(), 1u);
}

// Types `text` as keys into whatever control of `window` has the focus at each key.
void Type(QWidget* window, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, c == QLatin1Char(' ') ? Qt::Key_Space : 0, Qt::NoModifier,
                        QString(c));
        QApplication::sendEvent(window->focusWidget(), &press);
        QKeyEvent release(QEvent::KeyRelease, c == QLatin1Char(' ') ? Qt::Key_Space : 0, Qt::NoModifier,
                          QString(c));
        QApplication::sendEvent(window->focusWidget(), &release);
    }
}

// Enter in the subject goes to "Начать редактирование"; Enter (or the keypad's) there starts editing,
// and what is typed next goes into the letter.
TEST_F(EditorWindowTest, EnterOnStartEditingStartsItAndTheNextWordsReachTheLetter) {
    TAreaInfo& area = Area(BaseKindMsg, "ECHO");
    for (const Qt::KeyboardModifiers keypad :
         {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::KeypadModifier)}) {
        TSendMessageForm* e = OpenNewLetter(nullptr, &area);
        const Qt::Key enter = keypad == Qt::KeypadModifier ? Qt::Key_Enter : Qt::Key_Return;
        Child<QLineEdit>(*e, "Edit3")->setFocus();
        Type(e, QStringLiteral("Тема"));
        EXPECT_EQ(Child<QLineEdit>(*e, "Edit3")->text(), QStringLiteral("Тема"));
        QTest::keyClick(Child<QLineEdit>(*e, "Edit3"), enter, keypad);
        ASSERT_EQ(e->focusWidget(), Child<QPushButton>(*e, "Button1"));
        QTest::keyClick(e->focusWidget(), enter, keypad);
        EXPECT_TRUE(e->Editing());
        Type(e, QStringLiteral("Привет, "));
        EXPECT_NE(Body(*e).find(A("Привет, ")), std::string::npos) << Body(*e);
        delete e;
    }
    // Typing straight on the button starts editing too, without losing the first letter.
    TSendMessageForm* e = OpenNewLetter(nullptr, &area);
    Child<QPushButton>(*e, "Button1")->setFocus();
    Type(e, QStringLiteral("Да"));
    EXPECT_TRUE(e->Editing());
    EXPECT_NE(Body(*e).find(A("Да")), std::string::npos) << Body(*e);
}

// Any base whose files lie in the draft folders keeps the store from being used, not only *.MSG.
TEST_F(EditorWindowTest, DraftStoreRefusesFoldersHoldingAnyBase) {
    struct Row {
        int kind;
        std::string path;  // relative to the data folder
        bool usable;
    };
    const std::string hudsonBoard(1, '\x05');
    for (const Row& row :
         {Row{BaseKindJam, "drafts/net", false}, Row{BaseKindSquish, "drafts.old/net", false},
          Row{BaseKindHudson, "drafts", false}, Row{BaseKindJam, "net", true}}) {
        SCOPED_TRACE(row.path);
        TAreaInfo root;
        TAreaFields fields;
        fields.Name = "NET";
        fields.Kind = row.kind;
        const std::string path = (home.Path() / row.path).string();
        fields.Path = row.kind == BaseKindHudson ? hudsonBoard + path : path;
        root.AddChild(fields);
        EXPECT_EQ(DraftStoreFor(root, home.Path().string()).Usable(), row.usable);
    }
}

// Enter in the To field looks the name up in the nodelist and takes its first address.
TEST_F(EditorWindowTest, EnterInToFieldTakesTheNodelistAddress) {
    TAreaInfo& net = Area(BaseKindMsg, "NETMAIL");
    net.IsNetmail = true;
    struct Row {
        std::vector<std::string> found;
        std::string address;
    };
    for (const Row& row : {Row{{"2:5020/77", "2:5020/78"}, "2:5020/77"}, Row{{}, ""}}) {
        std::string asked;
        TSendMessageForm::FindAddressesByName = [&](const std::string& name) {
            asked = name;
            return row.found;
        };
        TSendMessageForm* e = OpenNewLetter(nullptr, &net);
        e->SetToName("Petr Ivanov");
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(Child<QLineEdit>(*e, "Edit2"), &enter);
        EXPECT_EQ(asked, "Petr Ivanov");
        EXPECT_EQ(e->DestAddress(), row.address);
        EXPECT_EQ(Child<QComboBox>(*e, "ComboBox2")->count(), static_cast<int>(row.found.size()));
    }
    TSendMessageForm::FindAddressesByName = {};
}

TEST_F(EditorWindowTest, ClosedEditorsDeleteTheirOwnDraftsAndTheRestComeBack) {
    TAreaInfo& one = Area(BaseKindMsg, "ONE");
    TAreaInfo& two = Area(BaseKindJam, "TWO");
    TSendMessageForm* a = OpenNewLetter(nullptr, &one);
    TSendMessageForm* b = OpenNewLetter(nullptr, &one);
    TSendMessageForm* c = OpenNewLetter(nullptr, &one);
    c->Destinations = {&one, &two};
    c->SetToName("Carl");
    c->StartEditing();
    Child<QPlainTextEdit>(*c, "RichEdit1")->setPlainText(QStringLiteral("unsent text"));
    ASSERT_TRUE(SaveDrafts(true));
    {
        TBoxAnswerer yes(QMessageBox::Yes);
        EXPECT_TRUE(a->close());
        EXPECT_TRUE(b->close());
        EXPECT_EQ(yes.Texts.size(), 2u);
    }
    QApplication::processEvents();
    ASSERT_EQ(Editors().size(), 1u);
    const auto left = CurrentDraftStore().Load();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].ToName, "Carl");

    // A restart: the editor comes back with both destinations and its draft's number.
    delete c;
    RestoreDrafts(nullptr);
    ASSERT_EQ(Editors().size(), 1u);
    TSendMessageForm* back = Editors().front();
    EXPECT_TRUE(back->Editing());
    EXPECT_EQ(back->Destinations, (std::vector<TAreaInfo*>{&one, &two}));
    EXPECT_EQ(back->BodyText(), "unsent text\r");  // the store ends the last line
    EXPECT_EQ(back->DraftNumber, left[0].Number);
    // The exit path after every editor went never empties the store.
    delete back;
    EXPECT_TRUE(SaveDrafts(false));
    EXPECT_EQ(CurrentDraftStore().Load().size(), 1u);
}

TEST_F(EditorWindowTest, DeletedSubtreeLeavesNoDanglingDestination) {
    TAreaInfo& folder = Area(AreaKindFolder, "GROUP");
    TAreaInfo& inner = Area(BaseKindMsg, "INNER", &folder);
    TAreaInfo& deeper = Area(AreaKindFolder, "SUB", &folder);
    TAreaInfo& deepest = Area(BaseKindMsg, "DEEPEST", &deeper);
    TAreaInfo& other = Area(BaseKindMsg, "OTHER");
    TSendMessageForm* e = OpenNewLetter(nullptr, &other);
    e->Destinations = {&inner, &other, &deepest};
    e->Reply.SourceArea = &deepest;
    TSendMessageForm* edit = OpenNewLetter(nullptr, &inner);
    edit->Mode = TEditorMode::Edit;
    DropAreaFromEditors(folder);
    EXPECT_TRUE(edit->Destinations.empty());  // closed, but alive until the deferred delete
    areas.front().reset();                    // frees the whole subtree
    QApplication::processEvents();
    EXPECT_EQ(e->Destinations, std::vector<TAreaInfo*>{&other});
    EXPECT_EQ(e->Reply.SourceArea, nullptr);
    EXPECT_EQ(Child<QLineEdit>(*e, "ComboEdit1")->text(), QStringLiteral("OTHER "));
    e->SetToName("x");
    e->FlushPreview();                // expands with what is left
    EXPECT_EQ(Editors().size(), 1u);  // the edit-mode editor closed
}

TEST_F(EditorWindowTest, UUFileInPartsGoesOutAsSeveralMessages) {
    TAreaInfo& area = Area(BaseKindMsg, "FILES");
    std::string bytes;
    for (int i = 0; i < 20000; ++i) bytes += static_cast<char>(i * 7);
    test::WriteFile(home.Path() / "data.bin", bytes);
    TSendMessageForm* e = OpenNewLetter(nullptr, &area);
    e->StartEditing();
    Child<QSpinBox>(*e, "SpinEdit1")->setValue(100);
    ASSERT_TRUE(e->ChooseUUFile(QString::fromStdString((home.Path() / "data.bin").string())));
    ASSERT_GT(e->UUSections.size(), 1u);
    EXPECT_FALSE(e->Commands().UUBrowse);
    e->Mode = TEditorMode::Edit;
    EXPECT_FALSE(e->Commands().UUInsert);  // no file in parts when editing a stored message
    e->Mode = TEditorMode::New;
    ASSERT_TRUE(e->Commands().UUInsert);
    e->InsertUU();
    EXPECT_TRUE(e->UUSplit);
    EXPECT_NE(e->BodyText().find("begin "), std::string::npos);
    const size_t parts = e->UUSections.size();
    ASSERT_TRUE(e->Send(true));
    auto base = CreateMessageBase(area.Kind);
    base->SetPath(area.Path);
    base->Open();
    EXPECT_EQ(static_cast<size_t>(base->Count()), parts);
    // A missing file leaves the panel as it was.
    TSendMessageForm* other = OpenNewLetter(nullptr, &area);
    TBoxAnswerer ok(QMessageBox::Ok);
    EXPECT_FALSE(other->ChooseUUFile(QStringLiteral("/nonexistent/file")));
    EXPECT_FALSE(other->UUPending);
}

TEST_F(EditorWindowTest, DecodeWindowCollectsPartsAndSavesCompleteFiles) {
    std::string bytes(5000, 'x');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 13);
    std::vector<std::string> sections;
    EncodeBytesToSections(bytes, "pic.bin", 0, 40, sections);
    ASSERT_EQ(sections.size(), 3u);
    TUUDecodeForm form;
    form.AddText(sections[2]);
    form.AddText(sections[0]);
    ASSERT_EQ(Child<QTreeWidget>(form, "FileList")->topLevelItemCount(), 1);
    EXPECT_EQ(Child<QTreeWidget>(form, "FileList")->topLevelItem(0)->text(1), QString::fromUtf8("2 из 3"));
    EXPECT_FALSE(Child<QAction>(form, "SaveAction")->isEnabled());
    form.AddText(sections[1]);
    EXPECT_TRUE(Child<QAction>(form, "SaveAction")->isEnabled());
    const QString out = QString::fromStdString((home.Path() / "out.bin").string());
    ASSERT_TRUE(form.SaveSelected(out));
    EXPECT_EQ(test::ReadFile(out.toStdString()), bytes);
    EXPECT_EQ(Child<QTreeWidget>(form, "FileList")->topLevelItemCount(), 0);
}

TEST_F(EditorWindowTest, TemplateEditorWritesItsCopiesOnSave) {
    TTemplEditForm form;
    form.SelectSection(tpl::LetterBegin);
    EXPECT_GT(Child<QTreeWidget>(form, "MacroList")->topLevelItemCount(), 0);
    Child<QPlainTextEdit>(form, "TextPage")->setPlainText(QStringLiteral("Hi @Имя!\n@Курсор"));
    form.SelectSection(tpl::OriginList);  // stores the text page
    EXPECT_EQ(form.Section(tpl::LetterBegin), A("Hi @Имя!\r\n@Курсор"));
    ASSERT_GT(Child<QListWidget>(form, "ListPage")->count(), 0);
    Child<QListWidget>(form, "ListPage")->addItem(QStringLiteral("Second origin"));
    form.SelectSection(tpl::Cut);
    Child<QPlainTextEdit>(form, "TextPage")->clear();
    EXPECT_EQ(ReadTemplate(tpl::LetterBegin), DefaultTemplate(tpl::LetterBegin));  // nothing written yet
    ASSERT_TRUE(form.Save());
    EXPECT_EQ(ReadTemplate(tpl::LetterBegin), A("Hi @Имя!\r\n@Курсор"));
    EXPECT_EQ(TemplateLines(ReadTemplate(tpl::OriginList)).back(), "Second origin");
    EXPECT_EQ(ReadTemplate(tpl::Cut), "");
    EXPECT_FALSE(TemplateExists(tpl::Cut));
}

TEST_F(EditorWindowTest, EditInPlaceAndTheAutoSaveInterval) {
    TAreaInfo& area = Area(BaseKindMsg, "EDIT");
    auto base = CreateMessageBase(area.Kind);
    base->SetPath(area.Path);
    base->Open();
    base->NewMessage();
    base->FromName = "Ivan Petrov";
    base->ToName = "All";
    base->Subject = "Typo";
    base->OrigAddr = "2:5020/120.5";
    base->Kludges = {"MSGID: 2:5020/120.5 00000001"};
    base->Text = "Helo\r";
    ASSERT_TRUE(base->WriteMessage());
    base->ReadMessage(0);
    TSendMessageForm* e = OpenEdit(nullptr, *base, &area, 0, "2:5020/120.5 00000001");
    base->Close();
    EXPECT_TRUE(e->Editing());
    EXPECT_FALSE(Child<QPushButton>(*e, "Button1")->isVisible());
    EXPECT_TRUE(Child<QToolButton>(*e, "DestButton")->isHidden());  // the message stays in its area
    EXPECT_TRUE(Child<QToolButton>(*e, "ToButton")->isHidden());
    Child<QPlainTextEdit>(*e, "RichEdit1")->setPlainText(QStringLiteral("Hello\n"));
    ASSERT_TRUE(e->Send(true));
    base->Open();
    ASSERT_EQ(base->Count(), 1);  // rewritten, not added
    base->ReadMessage(0);
    EXPECT_NE(base->Text.find("Hello"), std::string::npos);
    base->Close();

    struct Row {
        bool on;
        int32_t minutes;
        int ms;
    };
    for (const Row r : {Row{true, 5, 300000}, Row{true, 0, 60000}, Row{true, -3, 60000},
                        Row{true, 100000, 1440 * 60000}, Row{false, 5, 300000}}) {
        Settings.AutoSave = r.on;
        Settings.SaveTime = r.minutes;
        TDraftKeeper keeper;
        EXPECT_EQ(keeper.IntervalMs(), r.ms) << r.minutes;
        EXPECT_EQ(keeper.TimerActive(), r.on);
    }
}

TEST_F(EditorWindowTest, ReplyAndForwardOpenFromTheStoredMessage) {
    TAreaInfo& area = Area(BaseKindMsg, "SOURCE");
    const uint16_t savedDefaults = Settings.EchomailDef;
    Settings.EchomailDef = AttrLocal | AttrKillSent;
    auto base = CreateMessageBase(area.Kind);
    base->SetPath(area.Path);
    base->Open();
    base->NewMessage();
    base->FromName = "Petr Ivanov";
    base->ToName = "All";
    base->Subject = "News";
    base->OrigAddr = "2:5020/7";
    base->Kludges = {"MSGID: 2:5020/7 00000001"};
    base->Text = "Hello\r * Origin: Home (2:5020/7)";  // no line end after the last line
    ASSERT_TRUE(base->WriteMessage());
    base->ReadMessage(0);

    TSendMessageForm* reply = OpenReply(nullptr, *base, &area, &area, false);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->Mode, TEditorMode::Reply);
    EXPECT_EQ(reply->Reply.MsgId, "2:5020/7 00000001");
    EXPECT_FALSE(reply->Reply.Date.empty());
    EXPECT_FALSE(reply->Reply.Time.empty());
    EXPECT_EQ(reply->Reply.SourceArea, &area);
    EXPECT_NE(Body(*reply).find("PI> Hello"), std::string::npos) << Body(*reply);
    EXPECT_EQ(reply->Subject(), "Re: News");
    EXPECT_EQ(reply->Attributes, AttrLocal | AttrKillSent);

    // The kludges go on lines of their own, also after a last line without its line end.
    TSendMessageForm* forward = OpenForward(nullptr, *base, &area, true);
    base->Close();
    ASSERT_NE(forward, nullptr);
    EXPECT_EQ(forward->Mode, TEditorMode::Forward);
    EXPECT_NE(Body(*forward).find(" + Origin: Home (2:5020/7)\r@MSGID: 2:5020/7 00000001\r"),
              std::string::npos)
        << Body(*forward);
    EXPECT_EQ(forward->Attributes, AttrLocal | AttrKillSent);
    Settings.EchomailDef = savedDefaults;
}

TEST_F(EditorWindowTest, AreaManagerDeleteDropsTheSubtreeFromOpenEditors) {
    InstallEditorHooks();
    TAreaInfo root;
    auto add = [](TAreaInfo& parent, const std::string& name, int kind) {
        TAreaFields fields;
        fields.Name = name;
        fields.Kind = kind;
        return parent.AddChild(fields);
    };
    TAreaInfo* folder = add(root, "GROUP", AreaKindFolder);
    TAreaInfo* inner = add(*folder, "INNER", BaseKindMsg);
    TAreaInfo* keep = add(root, "KEEP", BaseKindMsg);
    auto* e = new TSendMessageForm(nullptr);
    e->Destinations = {inner, keep};
    e->Reply.SourceArea = inner;
    e->ShowEditor();
    TAreaMngr window(root);
    window.SelectFolder(&root);
    QListWidget* list = Child<QListWidget>(window, "List");
    list->clearSelection();
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setSelected(list->item(i)->text() == QStringLiteral("GROUP"));
    window.DeleteSelected();
    SetAreaGoneHook({});
    TSendMessageForm::ChooseAreas = {};
    TSendMessageForm::FindAddressesByName = {};
    TSendMessageForm::PickAddressee = {};
    ASSERT_EQ(root.ChildCount(), 1);
    EXPECT_EQ(e->Destinations, std::vector<TAreaInfo*>{keep});
    EXPECT_EQ(e->Reply.SourceArea, nullptr);
}

TEST_F(EditorWindowTest, DestinationDialogKeepsTheListedAreasAndAddsTheChosenOnes) {
    TAreaInfo root;
    auto add = [](TAreaInfo& parent, const std::string& name) {
        TAreaFields fields;
        fields.Name = name;
        fields.Kind = BaseKindMsg;
        return parent.AddChild(fields);
    };
    TAreaInfo* first = add(root, "FIRST");
    TAreaInfo* second = add(root, "SECOND");
    root.SortShown();
    for (const bool ok : {true, false}) {
        std::vector<TAreaInfo*> chosen = {first};
        QTimer::singleShot(0, [ok, second] {
            auto* form = qobject_cast<TAreaPostForm*>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            form->SelectInTree(*second);
            form->AddSelected();
            if (ok)
                Child<QPushButton>(*form, "OKButton")->click();
            else
                form->reject();
        });
        EXPECT_EQ(ChooseAreasIn(root, nullptr, chosen), ok);
        EXPECT_EQ(chosen, ok ? (std::vector<TAreaInfo*>{first, second}) : std::vector<TAreaInfo*>{first});
    }
}

TEST_F(EditorWindowTest, ToButtonTakesTheChosenPersonAndTheViewOpensReceiptsAndLetters) {
    TAreaInfo& net = Area(BaseKindMsg, "NETMAIL");
    net.IsNetmail = true;
    TSendMessageForm* e = OpenNewLetter(nullptr, &net);
    struct TRow {
        bool chosen;
        std::vector<std::string> addresses;
        std::string toName, address;
    };
    const TRow rows[] = {
        {true, {"2:5020/1", "2:5020/2"}, "Petr Ivanov", "2:5020/1"},
        {true, {}, "Nobody", ""},
        {false, {"2:5020/3"}, "Nobody", ""},  // cancelled: nothing changes
    };
    for (const TRow& row : rows) {
        TSendMessageForm::PickAddressee = [&row](QWidget*, std::string& name,
                                                 std::vector<std::string>& found) {
            name = row.toName;
            found = row.addresses;
            return row.chosen;
        };
        Child<QToolButton>(*e, "ToButton")->click();
        EXPECT_EQ(e->ToName(), row.toName);
        EXPECT_EQ(e->DestAddress(), row.address);
        EXPECT_EQ(Child<QComboBox>(*e, "ComboBox2")->count(),
                  static_cast<int>(row.chosen ? row.addresses.size() : 0));
    }
    TSendMessageForm::PickAddressee = {};

    TEditorRequest receipt;
    receipt.Mode = TEditorMode::ReadReceipt;
    receipt.Attributes = AttrLocal | AttrRetRcpt;
    receipt.ToName = "Petr Ivanov";
    receipt.ToAddress = "2:5020/7";
    receipt.Subject = "hello";
    receipt.Destinations = {&net};
    receipt.Reply.emplace();
    receipt.Reply->MsgId = "2:5020/7 12345678";
    receipt.Reply->DateTime = "10.12.2026 11:00:00";
    TSendMessageForm* r = OpenRequestedEditor(nullptr, receipt);
    EXPECT_EQ(r->Mode, TEditorMode::ReadReceipt);
    EXPECT_EQ(r->Reply.MsgId, "2:5020/7 12345678");
    EXPECT_EQ(r->Reply.DateTime, "10.12.2026 11:00:00");
    EXPECT_EQ(r->ToName(), "Petr Ivanov");
    EXPECT_EQ(r->DestAddress(), "2:5020/7");
    EXPECT_EQ(r->Attributes, AttrLocal | AttrRetRcpt);

    TEditorRequest letter = NetmailToRequest("2:5020/9", &net, &net);
    TSendMessageForm* l = OpenRequestedEditor(nullptr, letter);
    EXPECT_EQ(l->Mode, TEditorMode::New);
    EXPECT_EQ(l->DestAddress(), "2:5020/9");
}

// A typed character no base can store is marked and asked about before anything is written: going
// back to the letter keeps it open and unsent; sending then writes '?' in its place.
TEST_F(EditorWindowTest, UnstorableCharactersAreAskedAboutBeforeSending) {
    TAreaInfo& area = Area(BaseKindMsg, "ECHO");
    TSendMessageForm* e = OpenNewLetter(nullptr, &area);
    e->StartEditing();
    Child<QPlainTextEdit>(*e, "RichEdit1")->moveCursor(QTextCursor::Start);
    for (const QChar typed : QString::fromUtf8("░ Ёж№ ")) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(typed));
        QApplication::sendEvent(Child<QPlainTextEdit>(*e, "RichEdit1"), &key);
    }
    Child<QPlainTextEdit>(*e, "RichEdit1")->moveCursor(QTextCursor::End);
    auto base = CreateMessageBase(area.Kind);
    base->SetPath(area.Path);

    std::vector<std::string> boxes;
    {
        TBoxAnswerer back(QMessageBox::No);
        EXPECT_FALSE(e->Send(true));
        boxes = back.Texts;
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("░"), std::string::npos) << boxes[0];
    EXPECT_EQ(boxes[0].find("Ё"), std::string::npos) << boxes[0];  // CP866 has Ё and №
    ASSERT_EQ(Editors().size(), 1u);
    base->Open();
    EXPECT_EQ(base->Count(), 0);
    base->Close();
    EXPECT_TRUE(
        Child<QPlainTextEdit>(*e, "RichEdit1")->toPlainText().startsWith(QString::fromUtf8("░ Ёж№ ")));
    const QList<QTextEdit::ExtraSelection> marks = Child<QPlainTextEdit>(*e, "RichEdit1")->extraSelections();
    ASSERT_EQ(marks.size(), 1);
    EXPECT_EQ(marks[0].cursor.selectedText(), QString::fromUtf8("░"));
    EXPECT_EQ(Child<QPlainTextEdit>(*e, "RichEdit1")->textCursor().position(), 0);  // back at the first one

    {
        TBoxAnswerer send(QMessageBox::Yes);
        EXPECT_TRUE(e->Send(true));
    }
    QApplication::processEvents();
    base->Open();
    ASSERT_EQ(base->Count(), 1);
    base->ReadMessage(0);
    EXPECT_EQ(base->Text.rfind("? " + A("Ёж№ "), 0), 0u) << base->Text;
    base->Close();
}

TEST(SpellChecker, RussianOrEnglishDictionaryAccepts) {
    TSpellChecker& checker = TSpellChecker::Instance();
    ASSERT_TRUE(checker.Available()) << "hunspell-ru and hunspell-en-us are installed by scripts/setup.sh";
    EXPECT_TRUE(checker.Correct(A("привет")));
    EXPECT_TRUE(checker.Correct("hello"));
    EXPECT_FALSE(checker.Correct(A("превед")));
    const std::string text = A("Привет, hello превед-медвед wurld");
    const auto spans = checker.Misspelt(text);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(text.substr(spans[0].Offset, spans[0].Length), A("превед-медвед"));
    EXPECT_EQ(text.substr(spans[1].Offset, spans[1].Length), "wurld");
    EXPECT_FALSE(checker.Suggest("wurld").empty());
    // Without dictionaries everything passes, so sending is never blocked.
    TSpellChecker none({"/nonexistent/"});
    EXPECT_FALSE(none.Available());
    EXPECT_TRUE(none.Correct("wurld"));
}

// The pass over the body: each answer goes on after the word it was about, a replacement included.
TEST(SpellChecker, EachAnswerGoesOnAfterItsWord) {
    ASSERT_TRUE(TSpellChecker::Instance().Available());
    QPlainTextEdit body;
    body.setPlainText(QString::fromUtf8("wurld превед wurld, привет wurld"));
    // Skip the first "wurld", replace "превед", skip the rest of the "wurld"s.
    const std::vector<std::pair<QString, QString>> answers = {
        {QString::fromUtf8("Пропустить"), {}},
        {QString::fromUtf8("Заменить"), QString::fromUtf8("привет")},
        {QString::fromUtf8("Пропустить все"), {}}};
    std::vector<QString> asked;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr || asked.size() >= answers.size()) return;
        for (QLabel* label : dialog->findChildren<QLabel*>()) asked.push_back(label->text());
        const auto& [button, replacement] = answers[asked.size() - 1];
        if (!replacement.isEmpty()) dialog->findChild<QLineEdit*>()->setText(replacement);
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            if (b->text() == button) b->click();
    });
    timer.start();
    EXPECT_TRUE(CheckBodySpelling(nullptr, &body, false));
    EXPECT_EQ(asked, (std::vector<QString>{QString::fromUtf8("Нет в словаре: wurld"),
                                           QString::fromUtf8("Нет в словаре: превед"),
                                           QString::fromUtf8("Нет в словаре: wurld")}));
    EXPECT_EQ(body.toPlainText(), QString::fromUtf8("wurld привет wurld, привет wurld"));
}

}  // namespace
}  // namespace pelmar::ui
