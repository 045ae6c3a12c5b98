#pragma once
// An in-memory message base and a recording observer for the message-list tests.
#include <stdexcept>
#include <string>
#include <vector>

#include "core/Settings.h"
#include "msgbase/MessageBase.h"
#include "reader/ThreadList.h"

namespace pelmar::test {

struct TListMessage {
    std::string MsgId;
    std::string ReplyId;
    std::string Subject;
    std::string From = "Sender";
    std::string To = "All";
    TDateTime Date = 45000;
    bool Read = false;
    bool Damaged = false;  // ReadHeader and ReadMsgId fail
};

class TListBase : public TMessageBase {
public:
    TListBase() { Active = true; }
    ~TListBase() override { Destroy(); }

    std::vector<TListMessage> Messages;
    double Stamp = 1;
    int32_t Counter = 1;
    int HeaderReads = 0;
    int Walks = 0;  // calls of First

    int32_t ClaimedCount = -1;  // what Count() says when >= 0 (a damaged header)
    // Messages Refresh has told about; -1: Refresh is not supported. Appending to Messages is what
    // another program's write does.
    int32_t Refreshed = -1;
    TBaseRefresh Refresh() override {
        TBaseRefresh result;
        if (Refreshed < 0) {
            result.Kind = TBaseRefresh::TKind::Unsupported;
            return result;
        }
        result.PositionsBefore = Refreshed;
        result.PositionsAfter = Refreshed = static_cast<int32_t>(Messages.size());
        if (result.PositionsAfter != result.PositionsBefore) result.Kind = TBaseRefresh::TKind::Changed;
        return result;
    }

    int32_t Count() override {
        return ClaimedCount >= 0 ? ClaimedCount : static_cast<int32_t>(Messages.size());
    }
    void GetAttrText(std::string& text) override { text.clear(); }
    bool CheckCurrent() override { return false; }
    double ChangeStamp() override { return Stamp; }
    int32_t ChangeCounter() override { return Counter; }
    void Open() override { Active = true; }
    void Close() override { Active = false; }
    void CreateBase() override {}
    bool First() override {
        ++Walks;
        Current = 0;
        return !Messages.empty();
    }
    bool Next() override {
        const auto size = static_cast<int32_t>(Messages.size());
        if (Current < size) ++Current;
        return Current < size;
    }
    void ReadHeader() override {
        ++HeaderReads;
        const TListMessage& m = At();
        if (m.Damaged) throw std::runtime_error("damaged header " + std::to_string(Current));
        FromName = m.From;
        ToName = m.To;
        Subject = m.Subject;
        MsgId = m.MsgId;
        ReplyId = m.ReplyId;
        Date = m.Date;
        Read = m.Read;
    }
    void ReadMsgId() override {
        const TListMessage& m = At();
        if (m.Damaged) throw std::runtime_error("damaged header " + std::to_string(Current));
        MsgId = m.MsgId;
    }
    void ReadMessage(int32_t position) override {
        Seek(position);
        ReadHeader();
    }
    void Seek(int32_t position) override { Current = position; }
    bool DeleteCurrent(int32_t* = nullptr, uint32_t* = nullptr) override { return false; }
    void MarkRead() override {}
    void NewMessage() override { ClearMessageFields(); }
    bool WriteMessage() override { return true; }
    void PrepareRewrite() override { ClearMessageFields(); }
    bool IsValid() override { return Current >= 0 && Current < static_cast<int32_t>(Messages.size()); }
    void ReadToAndRead() override {}
    int32_t FileStamp() override { return 0; }
    bool FileStampIs(int32_t) override { return false; }

private:
    const TListMessage& At() const {
        if (Current < 0 || Current >= static_cast<int32_t>(Messages.size()))
            throw std::out_of_range("no message at " + std::to_string(Current));
        return Messages[static_cast<size_t>(Current)];
    }
};

// Remembers what the list told the window.
class TRecorder : public TThreadListObserver {
public:
    std::vector<std::string> Panel1, Panel2;
    std::vector<int> Percents;
    std::vector<std::string> Errors;
    std::vector<int> ErrorCounts;
    int AbortAfterPolls = -1;  // -1 never
    int Polls = 0;
    int Waits = 0;

    void StatusText(int panel, const std::string& text) override {
        (panel == 1 ? Panel1 : Panel2).push_back(text);
    }
    void ShowProgress() override { Percents.clear(); }
    void UpdateProgress(int position, int maximum) override {
        if (maximum > 0) Percents.push_back(static_cast<int>(position * 100.0 / maximum + 0.5));
    }
    void BeginWait() override { ++Waits; }
    void EndWait() override { --Waits; }
    bool AbortRequested() override { return AbortAfterPolls >= 0 && ++Polls > AbortAfterPolls; }
    void ReadError(const std::string& text, int count) override {
        Errors.push_back(text);
        ErrorCounts.push_back(count);
    }
};

// Keeps the global settings a test changes.
class TSettingsGuard {
public:
    TSettingsGuard() : saved_(Settings) {}
    ~TSettingsGuard() { Settings = saved_; }

private:
    TSettings saved_;
};

}  // namespace pelmar::test
