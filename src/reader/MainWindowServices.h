#pragma once
// What the editor, the engine, dialogs and plug-ins ask of the main window. The window installs its
// implementation while it exists; without one (tests, pelmar-tool) every call does nothing.
#include <string>

namespace pelmar {

class TAreaInfo;
class TMessageBase;
class TMessageClass;
struct TShownMessage;

class TMainWindowServices {
public:
    virtual ~TMainWindowServices() = default;
    // A message was written at `position` of the area's base.
    virtual void MessageAdded(TAreaInfo& area, int position) {}
    // The message at `position`, whose MSGID is `msgId`, was rewritten.
    virtual void MessageChanged(TAreaInfo& area, int position, const std::string& msgId) {}
    // The area's counters changed: redraw its caption and marks and its ancestors' marks.
    virtual void UpdateAreaNode(TAreaInfo& area) {}
    // Status panel 2 (CP1251, 0x01 toggles bold).
    virtual void SetStatusText(const std::string& text) {}
    // Drops the area tree's selection (the listed area is left).
    virtual void ClearSelection() {}
    // Forgets the find-next position.
    virtual void ResetSearch() {}
    // The listed area and its open base, positioned on the shown message; null when none.
    virtual TAreaInfo* CurrentArea() { return nullptr; }
    virtual TMessageBase* CurrentBase() { return nullptr; }
    // Entry of the shown message, or null.
    virtual const TMessageClass* CurrentEntry() { return nullptr; }
    // The shown message as it was read for the pane, or null when none is shown. Unlike the base's
    // fields, which the read-mark timer, Save and Decode move, it stays until another message is shown.
    virtual const TShownMessage* ShownMessage() { return nullptr; }
    // The face the message view uses: 2 proportional, 0 monospace (the settings preview follows it).
    virtual int ViewFontMode() { return 2; }
};

// The window's implementation, or null to go back to the do-nothing one. The window uninstalls
// itself before it is destroyed.
void InstallMainWindowServices(TMainWindowServices* services);
// Never null.
TMainWindowServices& MainWindowServices();

}  // namespace pelmar
