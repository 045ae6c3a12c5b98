#pragma once
// What an editor is opened for, and what it takes from the message it answers or passes on. The
// main window's requests, the editor window and the template expansion share these.
#include <string>

namespace pelmar {

class TAreaInfo;

// Draft: a letter restored from the draft store, its text as it was written.
enum class TEditorMode { New, Reply, Forward, Edit, ReadReceipt, Draft };

struct TReplyContext {
    std::string QuotedText;
    std::string Date;  // the source message's date and time, each in the user's format
    std::string Time;
    std::string DateTime;  // Date + " " + Time
    std::string FromName;
    std::string ToName;
    TAreaInfo* SourceArea = nullptr;
    std::string MsgId;
};

struct TForwardContext {
    std::string Text;
    std::string Date;
    std::string Time;
    std::string From;  // name, then " <" + address + ">" when there is one
    std::string To;
    std::string Subject;
};

}  // namespace pelmar
