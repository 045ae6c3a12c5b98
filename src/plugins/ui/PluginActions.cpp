#include "plugins/ui/PluginActions.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QToolBar>
#include <QWidget>
#include <memory>

#include "core/ui/QtText.h"
#include "core/ui/SlotGuard.h"
#include "platform/Codepage.h"
#include "plugins/PluginManager.h"
#include "plugins/ui/PluginAboutForm.h"
#include "reader/ui/MainCommands.h"
#include "reader/ui/MainFrame.h"
#include "settings/ui/SetupForm.h"

namespace pelmar::ui {

namespace {

// The first of `glyphs` pictures laid side by side in the named image beside the library, else a
// desktop icon of that name.
QIcon Glyph(const TPlugin& plugin, const std::string& bitmap, int glyphs) {
    if (bitmap.empty()) return {};
    const QString name = ToQt(bitmap);
    const QString folder = QFileInfo(QString::fromLocal8Bit(plugin.FileName.c_str())).absolutePath();
    for (const QString& candidate : {name, name + QStringLiteral(".png"), name + QStringLiteral(".svg")}) {
        if (candidate.contains(QLatin1Char('/'))) break;  // only files of the plug-in's own folder
        QPixmap picture(folder + QLatin1Char('/') + candidate);
        if (picture.isNull()) continue;
        if (glyphs > 1 && picture.width() >= glyphs)
            picture = picture.copy(0, 0, picture.width() / glyphs, picture.height());
        return QIcon(picture);
    }
    return QIcon::fromTheme(name);
}

class TPluginSettingsPage : public TPluginSettings {
public:
    std::vector<TPluginLine> Lines() override {
        std::vector<TPluginLine> lines;
        TPluginManager* manager = PluginManager();
        for (int i = 0; manager != nullptr && i < manager->Count(); ++i) {
            const TPlugin& plugin = *manager->Plugin(i);
            // One that failed to load is not running: unticked, and the reason is in its caption and,
            // in full, below the list.
            const bool failed = manager->Failed(i);
            std::string description = plugin.Desc;
            if (failed)
                description = Utf8ToAnsi("Модуль не загружен: ") + plugin.LoadError + "\n" + description;
            lines.push_back({manager->Caption(i), description, plugin.Active && !failed, plugin.HasSetup});
        }
        return lines;
    }
    void ShowSetup(int index, QWidget*) override {
        if (TPluginManager* manager = PluginManager()) manager->ShowSetup(index);
    }
    void ShowAbout(int index, QWidget*) override {
        if (TPluginManager* manager = PluginManager()) manager->ShowAbout(index);
    }
    void SetActive(int index, bool active) override {
        if (TPluginManager* manager = PluginManager()) manager->SetActive(index, active);
    }
};

TPluginSettingsPage settingsPage;
std::unique_ptr<TPluginActions> actions;

}  // namespace

TPluginActions::TPluginActions(TMainFrame& window) : window_(&window), commands_(&window.Commands()) {}

TPluginActions::~TPluginActions() = default;

void* TPluginActions::MainForm() {
    return static_cast<QMainWindow*>(window_.data());
}

void* TPluginActions::AddAction(int position, const std::string& hint, void* instance,
                                const std::string& bitmap, int glyphs) {
    TPluginManager* manager = PluginManager();
    const TPlugin* plugin = manager != nullptr ? manager->FindByInstance(instance) : nullptr;
    // A button is only made for a plug-in that is loaded now: its unload removes it again.
    if (commands_ == nullptr || plugin == nullptr) return nullptr;

    auto* action = new QAction(commands_);
    const QString text = ToQt(hint);
    // "short|long": the tooltip and the status-bar text.
    const qsizetype bar = text.indexOf(QLatin1Char('|'));
    action->setToolTip(bar < 0 ? text : text.left(bar));
    action->setStatusTip(bar < 0 ? text : text.mid(bar + 1));
    const QIcon icon = Glyph(*plugin, bitmap, glyphs);
    action->setIcon(icon);
    action->setIconText(action->toolTip().isEmpty() ? QStringLiteral("?") : action->toolTip());
    action->setObjectName(QStringLiteral("PluginAction"));

    commands_->AddPluginButton(action, position == 0);

    buttons_[action] = instance;
    GuardedConnect(action, &QAction::triggered, this, [this, action] { Clicked(action); });
    return action;
}

void TPluginActions::Clicked(QAction* action) {
    const auto found = buttons_.find(action);
    if (found == buttons_.end()) return;
    TPluginManager* manager = PluginManager();
    TPlugin* plugin = manager != nullptr ? manager->FindByInstance(found->second) : nullptr;
    if (plugin != nullptr && plugin->Loaded) plugin->Action(action);
}

bool TPluginActions::RemoveAction(void* button) {
    // Compared as a key only: the pointer may be anything a plug-in made up.
    for (const auto& [action, instance] : buttons_) {
        if (static_cast<void*>(action) != button) continue;
        Drop(action);
        return true;
    }
    return false;
}

void TPluginActions::Drop(QAction* action) {
    buttons_.erase(action);
    // The click that asked for this may still be running in the button: it goes away afterwards.
    action->setVisible(false);
    action->disconnect(this);
    action->deleteLater();
}

void TPluginActions::RemoveActionsOf(void* instance) {
    std::vector<QAction*> doomed;
    for (const auto& [action, owner] : buttons_)
        if (owner == instance) doomed.push_back(action);
    for (QAction* action : doomed) Drop(action);
}

std::vector<QAction*> TPluginActions::Buttons() const {
    std::vector<QAction*> list;
    if (commands_ == nullptr) return list;
    for (QAction* action : commands_->LetterBarButtons())
        if (buttons_.count(action) != 0) list.push_back(action);
    return list;
}

void TPluginActions::HideTopMosts() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) continue;
        const bool visible = widget->isVisible();
        widget->setWindowFlag(Qt::WindowStaysOnTopHint, false);
        if (visible) widget->show();  // changing the flags hides the window
        lowered_.emplace_back(widget);
    }
}

void TPluginActions::ShowTopMosts() {
    for (const QPointer<QWidget>& widget : lowered_) {
        if (widget == nullptr) continue;
        const bool visible = widget->isVisible();
        widget->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        if (visible) widget->show();
    }
    lowered_.clear();
}

void TPluginActions::ShowPluginAbout(const std::string& caption, const std::string& line1,
                                     const std::string& line2, const std::string& text) {
    TPluginAboutForm form(caption, line1, line2, text, QApplication::activeModalWidget());
    form.exec();
}

void InstallPluginUi(TMainFrame& window) {
    actions = std::make_unique<TPluginActions>(window);
    InstallPluginHost(actions.get());
    SetPluginSettings(&settingsPage);
}

void RemovePluginUi() {
    InstallPluginHost(nullptr);
    actions.reset();
}

}  // namespace pelmar::ui
