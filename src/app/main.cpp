// Pelmar: start-up and shutdown of the program.
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "areas/AreaLifetime.h"
#include "areas/gizmo.h"
#include "areas/ui/AreaMngr.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/Startup.h"
#include "core/TextUtils.h"
#include "core/ui/DosFonts.h"
#include "core/ui/LoginChooseForm.h"
#include "core/ui/MessageBox.h"
#include "core/ui/PasswordForm.h"
#include "core/ui/QtText.h"
#include "core/ui/SingleInstance.h"
#include "core/ui/SlotGuard.h"
#include "core/ui/Splash.h"
#include "core/ui/TerminationSignals.h"
#include "core/ui/Translations.h"
#include "editor/ui/DraftKeeper.h"
#include "editor/ui/SendMessageForm.h"
#include "editor/ui/TemplEditForm.h"
#include "import/AreaImport.h"
#include "import/GoldEdImport.h"
#include "import/ui/WelcomeForm.h"
#include "msgbase/Jam.h"
#include "nodelist/NodelistLifetime.h"
#include "nodelist/ui/NodelistWindows.h"
#include "platform/Registry.h"
#include "plugins/PluginLifetime.h"
#include "plugins/ui/PluginActions.h"
#include "reader/ui/AboutBox.h"
#include "reader/ui/MainFrame.h"

namespace {

using namespace pelmar;
using namespace pelmar::ui;

constexpr const char* kUsage =
    "Usage: pelmar [-L<profile>] [-noavi]\n"
    "\n"
    "Pelmar, a reader and editor of FTN (FidoNet) mail.\n"
    "\n"
    "  -L<profile>  log in as that profile without the chooser (first argument only,\n"
    "               used when log-in is switched on); -LDefault is the default profile\n"
    "  -noavi       no animation in the main window\n"
    "  --help       show this text and exit\n"
    "  --version    show the version and exit\n";

// Answered before any window opens or any setting is read.
std::optional<int> AnswerInfoOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s\n", PELMAR_VERSION_TEXT);
            return 0;
        }
    }
    return std::nullopt;
}

// The program's parameters in CP1251, without the options Qt took for itself.
std::vector<std::string> Parameters(const QStringList& arguments) {
    std::vector<std::string> params;
    for (qsizetype i = 1; i < arguments.size(); ++i) params.push_back(FromQt(arguments[i]));
    return params;
}

// Key state for the core, by Windows virtual-key code.
bool KeyDown(int virtualKey) {
    constexpr int vkLButton = 0x01, vkShift = 0x10, vkControl = 0x11, vkMenu = 0x12;
    switch (virtualKey) {
        case vkLButton:
            return QGuiApplication::mouseButtons().testFlag(Qt::LeftButton);
        case vkShift:
            return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
        case vkControl:
            return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
        case vkMenu:
            return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::AltModifier);
        default:
            return false;
    }
}

// The window a message box belongs to, so that it is not hidden behind the splash.
QWidget* MessageParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (MainFrame && MainFrame->isVisible()) return MainFrame;
    return Splash();
}

// A problem told from any thread, shown on the program's thread. `once`: a text already shown is
// not shown again (a store that fails on every use says the same each time).
void ShowProblem(const std::string& text, bool once) {
    if (QThread::currentThread() != qApp->thread()) {
        QMetaObject::invokeMethod(
            qApp, [text, once] { ShowProblem(text, once); }, Qt::QueuedConnection);
        return;
    }
    static std::set<std::string> shown;
    if (!shown.insert(text).second && once) return;
    ShowError(text, MessageParent());
}

void ShowFailure(const std::string& text) {
    ShowProblem(text, true);
}

// The settings store tells each new failure episode once itself: a save that fails again after one
// that succeeded is shown again, whatever its text.
void ShowSettingsFailure(const std::string& text) {
    ShowProblem(text, false);
}

// The application icon compiled into the program, in every size it was rendered at.
QIcon BundledIcon() {
    QIcon icon;
    const QDir folder(QStringLiteral(":/pelmar/appicon"));
    for (const QString& name : folder.entryList(QDir::Files)) icon.addFile(folder.filePath(name));
    return icon;
}

// Editors the GoldEd import closed; their letters wait in the draft store.
bool editorsClosedForImport = false;

// The import replaces the settings, the template lists and the whole area tree: the windows that
// hold pointers into them go first, and the open letters are saved while the settings still fit.
void PrepareGoldEdImport() {
    // An editor is closed only once its letter is in the draft store; when saving fails they stay
    // open (they drop the areas the import removes) rather than lose what is written in them.
    editorsClosedForImport = false;
    if (!Editors().empty() && SaveDrafts(false)) {
        std::vector<QPointer<QWidget>> editors;
        for (TSendMessageForm* editor : Editors()) editors.emplace_back(editor);
        // Deleted, not closed: closing a letter throws its draft away.
        for (const QPointer<QWidget>& editor : editors) delete editor.data();
        editorsClosedForImport = true;
    }
    std::vector<QPointer<QWidget>> windows;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (qobject_cast<TAreaMngr*>(window) != nullptr || qobject_cast<TTemplEditForm*>(window) != nullptr)
            windows.emplace_back(window);
    }
    for (const QPointer<QWidget>& window : windows) {
        if (window.isNull()) continue;
        window->close();
        delete window.data();
    }
    if (MainFrame) MainFrame->NodelistWindows().FreeNodeBrowser();
}

// The letters come back in editors at once: an empty editor list would let the next automatic save
// empty the draft store while the program goes on.
void FinishGoldEdImport() {
    if (!editorsClosedForImport) return;
    editorsClosedForImport = false;
    if (MainFrame == nullptr) return;
    try {
        RestoreDrafts(MainFrame);
    } catch (const std::exception& error) {
        // The letters stay in the draft store and open at the next start.
        ShowError(error.what(), MessageParent());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (const std::optional<int> code = AnswerInfoOption(argc, argv)) return *code;

    // Nothing thrown in an event handler ends the program.
    TGuardedApplication app(argc, argv);
    Q_INIT_RESOURCE(pelmar);
    QApplication::setApplicationName(QStringLiteral("pelmar"));
    QApplication::setApplicationVersion(QStringLiteral(PELMAR_VERSION_TEXT));
    InstallToolkitTranslations(app);
    // Matches the windows to the installed desktop entry and shows its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(PELMAR_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(PELMAR_APP_ID), BundledIcon()));
    // The program ends when the main window closes, not when the splash or a dialog does.
    QApplication::setQuitOnLastWindowClosed(false);
    SetKeyStateQuery(KeyDown);

    TSingleInstance instance;
    std::unique_ptr<TMainFrame> mainFrame;
    // A second start brings this copy forward: the main window once it is on screen (it stays
    // hidden during the first-run wizard) and whatever dialog runs on top.
    GuardedConnect(&instance, &TSingleInstance::ActivationRequested, [] {
        if (MainFrame && MainFrame->isVisible()) BringToFront(MainFrame);
        BringToFront(QApplication::activeModalWidget());
    });

    // Closing the main window is the one orderly way out; before it is shown, closing the dialog
    // that runs cancels the log-in or the first-run wizard.
    TTerminationSignals termination;
    GuardedConnect(&termination, &TTerminationSignals::TerminationRequested, [] {
        if (MainFrame && MainFrame->isVisible()) {
            MainFrame->CloseUnattended();
        } else if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });

    TStartup startup(Parameters(QApplication::arguments()));
    startup.Ui.ActivateRunningCopy = [&instance] {
        if (instance.ActivateRunning()) return true;
        // Another copy may have taken the name between the two calls.
        if (!instance.Listen() && instance.ActivateRunning()) return true;
        // Only the running copy touches the settings store; from now on its complaints are shown.
        TRegistryStore::Instance().SetErrorReporter(ShowSettingsFailure);
        return false;
    };
    startup.Ui.ShowSplash = [] { CreateSplash()->ShowNow(); };
    startup.Ui.ChooseUser = [](const TLoginChoice& choice) { return ChooseLoginUser(choice); };
    startup.Ui.AskPassword = [](const std::string& stored) { return AskPassword(stored); };
    startup.Ui.RegisterFont = [] { TDosFonts::Register(Settings.ProgramFolder); };
    startup.Ui.UnregisterFont = [] { TDosFonts::Unregister(); };
    startup.Ui.CreateMainWindow = [&] {
        mainFrame = std::make_unique<TMainFrame>();
        mainFrame->NoAnimation = startup.NoAnimation();
        InstallPluginUi(*mainFrame);
    };
    startup.Ui.DestroyMainWindow = [&] {
        RemovePluginUi();
        mainFrame.reset();
    };
    startup.Ui.RunEventLoop = [&] {
        mainFrame->show();
        // Repairs made while the area tree loaded are told once, when the window is up.
        QTimer::singleShot(0, [] {
            const std::string notes = TakeLoadNotes();
            if (notes.empty()) return;
            std::fprintf(stderr, "pelmar: %s\n", AnsiToUtf8(notes).c_str());
            ShowInfo(notes, MessageParent());
        });
        QApplication::exec();
    };
    startup.Ui.ReportError = ShowFailure;
    startup.Ui.ShowAbout = [] { ShowAboutBox(MessageParent()); };

    // Linked groups are filled from other programs' area lists while the tree loads.
    RegisterAreaImporters();
    SetGoldEdImportPrepare(PrepareGoldEdImport);
    SetGoldEdImportFinish(FinishGoldEdImport);
    BindPluginSteps(startup.Managers);
    BindAreaSteps(startup.Managers, [](const TScanReport& report) {
        // The scan thread counted areas; the main window redraws its counters on its own thread.
        QMetaObject::invokeMethod(
            qApp,
            [report] {
                if (MainFrame) MainFrame->ScanPassFinished(report);
            },
            Qt::QueuedConnection);
    });

    // The address book and the nodelist index of the profile's data folder.
    BindNodelistSteps(startup.Managers, ShowFailure);

    // A profile that is not set up yet runs the first-run wizard before the main window is shown.
    startup.Managers.RunFirstRunWizard = [] {
        return AreaManager() != nullptr && RunFirstRunWizard(AreaManager()->Root(), [] {
                   if (MainFrame) MainFrame->BuildAreaTree();
               });
    };

    const TStartupResult result = startup.Run();

    RemovePluginUi();
    mainFrame.reset();
    DestroySplash();
    TDosFonts::Unregister();
    if (result == TStartupResult::AlreadyRunning) return 0;
    TRegistryStore::Instance().SetErrorReporter(nullptr);
    return result == TStartupResult::Failed ? 1 : 0;
}
