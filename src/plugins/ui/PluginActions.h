#pragma once
// The window side of the plug-in functions: toolbar buttons on the main window, the about box, the
// stay-on-top windows; and the settings dialog's plug-ins page.
#include <QObject>
#include <QPointer>
#include <map>
#include <vector>

#include "plugins/PluginHost.h"

class QAction;
class QToolBar;
class QWidget;

namespace pelmar::ui {

class TMainCommands;
class TMainFrame;

class TPluginActions : public QObject, public TPluginHost {
    Q_OBJECT

public:
    explicit TPluginActions(TMainFrame& window);
    ~TPluginActions() override;

    void* MainForm() override;
    void* AddAction(int position, const std::string& hint, void* instance, const std::string& bitmap,
                    int glyphs) override;
    bool RemoveAction(void* button) override;
    void RemoveActionsOf(void* instance) override;
    void HideTopMosts() override;
    void ShowTopMosts() override;
    void ShowPluginAbout(const std::string& caption, const std::string& line1, const std::string& line2,
                         const std::string& text) override;

    // The buttons made so far and not removed, in creation order (for tests).
    std::vector<QAction*> Buttons() const;

private:
    void Clicked(QAction* action);
    void Drop(QAction* action);

    QPointer<TMainFrame> window_;
    QPointer<TMainCommands> commands_;  // the buttons' toolbar goes with it
    // Button -> the plug-in instance it belongs to. Only keys of this map are ever dereferenced.
    std::map<QAction*, void*> buttons_;
    std::vector<QPointer<QWidget>> lowered_;
};

// Installs the plug-in functions' window side for `window` and the settings page's plug-in list;
// RemovePluginUi undoes it before the window is destroyed.
void InstallPluginUi(TMainFrame& window);
void RemovePluginUi();

}  // namespace pelmar::ui
