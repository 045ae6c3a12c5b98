#pragma once
// A board of a Hudson message base: five fixed-record files in one directory shared by up to 200
// boards. Path is one character whose code is the board number, followed by the directory.
//
// Positions are ranks in ascending message-number order within the board, handed out by First/Next
// walks (and by NewMessage, which walks the board itself). The index is read once at Open; writes
// and deletes hold an exclusive lock on the 406 bytes of MSGINFO.BBS, and refuse (EReadError) when
// the record of the position no longer holds the listed message (another program packed the base).
// An unsent message is listed once in echomail.bbs or netmail.bbs; when that list cannot be updated
// the message is still stored, WriteMessage returns true and the reason is in Warnings.
#include <cstdint>
#include <string>
#include <vector>

#include "msgbase/BaseFile.h"
#include "msgbase/HudsonRecords.h"
#include "msgbase/MessageBase.h"

namespace pelmar {

// The reasons (LastError) of a write or delete that finds the base locked by another program.
const std::string& HudsonWriteLockText();
const std::string& HudsonDeleteLockText();

class THudson : public TMessageBase {
public:
    THudson() = default;
    ~THudson() override;

    int32_t Count() override;
    void GetAttrText(std::string& text) override;
    bool CheckCurrent() override { return false; }
    double ChangeStamp() override;
    int32_t ChangeCounter() override;
    void Open() override;
    void Close() override;
    // Creates the directory and the absent files of an empty base (an existing base is left as it is).
    void CreateBase() override;
    bool First() override;
    bool Next() override;
    void ReadHeader() override;
    void ReadMsgId() override;
    void ReadMessage(int32_t position) override;
    void Seek(int32_t position) override;
    bool DeleteCurrent(int32_t* headerOffset = nullptr, uint32_t* recipientCrc = nullptr) override;
    void MarkRead() override;
    void MarkUnread() override;
    void NewMessage() override;
    bool WriteMessage() override;
    void PrepareRewrite() override;
    bool IsValid() override;
    void ReadToAndRead() override;
    int32_t FileStamp() override { return 0; }
    bool FileStampIs(int32_t) override { return false; }
    // Re-reads MSGINFO.BBS and the index and matches the board's messages to the positions walks
    // handed out by message number: a number gone leaves its position empty, a number at another
    // record is named as rewritten, numbers above every known one follow. Unknown numbers below them
    // mean the base was renumbered (then every position must be walked again). While a new message
    // waits for its write nothing is taken up (Unchanged).
    TBaseRefresh Refresh() override;

    // The board of the open base (from the first character of Path).
    int Board = 0;
    // Header record of the current position; -1 when the position was never reached by a walk.
    int32_t Record = 0;

private:
    // The read mark of the current message set (true) or cleared in the file.
    void StoreReadMark(bool read);
    // A position handed out by a walk: its header record and the message number it had then.
    struct TPosition {
        int32_t Record = -1;
        uint16_t MsgNum = 0;
    };

    // Board and directory from Path; false when the board number is out of range.
    bool TakePath();
    // Where the file is: the existing spelling, else the name a new file gets.
    std::string FileName(const char* name) const;
    bool OpenFiles();
    const std::vector<TPosition>& SortedBoard();
    void NoteIndexChange(int32_t record, const THudsonIdx& before);
    void TakePosition(int32_t position, const TPosition& entry);
    void CheckRecord() const;
    void DropReadAhead();
    // `cached`: through the read-ahead window (list reads); otherwise straight from the file.
    std::string ReadRawHeader(bool cached);
    THudsonHeader ReadCurrentHeader(bool cached);
    // Raises EReadError unless `raw`, the current record as it is on disk, still holds message
    // `msgNum` of this board: another program's pack moves messages to other records.
    void CheckListedRecord(const std::string& raw, uint16_t msgNum) const;
    std::string ReadFirstBlock(const THudsonHeader& header);
    std::string ReadStoredText(const THudsonHeader& header) const;
    void FillNamesAndDate(const THudsonHeader& header);
    void ReloadInfo();
    void ReloadInfoForNewMessage();  // ReloadInfo, refusing when no message number is left
    void StoreInfo();
    void StoreIdx(int32_t record);
    void PlaceNewRecord();
    // Adds the current record to the tosser's export list unless it is listed already.
    void AppendExportList(const std::string& name);
    std::string BuildStoredText();

    std::string Dir;
    TBaseFile IdxFile, ToIdxFile, TxtFile, HdrFile, InfoFile;
    THudsonInfo Info;
    THudsonHeader MsgHeader;  // the last header read; GetAttrText names its bits
    std::vector<THudsonIdx> Index;
    size_t IndexOnDisk = 0;           // entries of Index known to exist in MSGIDX.BBS
    std::vector<TPosition> BoardMap;  // list position -> header record
    uint16_t CurMsgNum = 0;
    uint16_t OrigPoint = 0;
    uint16_t DestPoint = 0;
    // What the next WriteMessage stores: the message number and whether it is a new record.
    uint16_t WriteMsgNum = 0;
    bool WriteIsNew = false;
    // The board's live entries sorted by message number (one per number); rebuilt after any change
    // of the in-memory index, so a walk costs one sort instead of a scan per step.
    std::vector<TPosition> Sorted;
    bool SortedValid = false;
    size_t Cursor = 0;
};

}  // namespace pelmar
