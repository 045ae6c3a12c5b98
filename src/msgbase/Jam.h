#pragma once
// A JAM message base: Path + ".jhr" (base header, message headers and their subfields), ".jdt"
// (message texts), ".jdx" (index: recipient CRC and header offset per message) and ".jlr"
// (last-read pointers, which this program does not keep; a base without that file still opens).
//
// The whole index is loaded at Open and messages are addressed by index position. New and
// rewritten messages are appended at the ends of the files; writes and deletes hold an exclusive
// lock on byte 0 of the .jhr file and, under that lock, re-read the base header and whatever other
// programs appended to the index since Open, so that nothing they wrote is overwritten or lost.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "msgbase/BaseFile.h"
#include "msgbase/JamRecords.h"
#include "msgbase/MessageBase.h"

namespace pelmar {

// The reasons (LastError) of a write or delete that finds the base locked by another program.
const std::string& JamWriteLockText();
const std::string& JamDeleteLockText();

class TJAM : public TMessageBase {
public:
    TJAM() = default;
    ~TJAM() override;

    int32_t Count() override;
    void GetAttrText(std::string& text) override;
    bool CheckCurrent() override;
    double ChangeStamp() override;
    int32_t ChangeCounter() override;
    void Open() override;
    void Close() override;
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
    int32_t FileStamp() override;
    bool FileStampIs(int32_t stamp) override;
    // Re-reads the base header and the index. The index only grows at its end and keeps its entries
    // in place (a delete marks the entry, a rewrite points it at a new header), so positions keep
    // their messages; a shorter index or a new creation date means the base was rebuilt.
    TBaseRefresh Refresh() override;

    // The base header as last read or written.
    TJamBaseHeader BaseHeader;
    // The header of the last message read or written.
    TJamMsgHeader MsgHeader;
    // Index entries held in memory (the .jdx as loaded, plus what this object appended).
    std::vector<TJamIndexEntry> Index;

private:
    // The read mark of the current message set (true) or cleared in the file.
    void StoreReadMark(bool read);
    // Where the file with this extension is: the existing name matched case-insensitively, else the
    // name a new file gets (the case of the existing siblings' extensions, else lower case).
    std::string FileName(const char* extension) const;
    bool OpenFiles();
    void CloseFiles();
    // Reads the header of the entry at `position` into MsgHeader and returns its subfield block.
    // Raises EReadError when the position holds no message or the record is damaged.
    std::string_view LoadHeader(int32_t position);
    // `length` bytes of the .jhr at `offset`, fewer at the end of the file (none when a length
    // beyond the small read-ahead runs past the end). During a walk (First, then Next) the bytes
    // come through a window, so one read serves many headers; the window is dropped when a walk
    // starts, on Seek and on every write, so a walk never sees bytes older than its start.
    std::string_view ReadJhr(uint64_t offset, uint64_t length);
    void DropWindow();
    // The base header as it is on disk now; raises EReadError when it is damaged.
    TJamBaseHeader ReadBaseHeaderFromDisk() const;
    std::vector<TJamIndexEntry> ReadIndexFromDisk() const;
    void BuildSubfields();

    TBaseFile Jhr;
    TBaseFile Jdt;
    TBaseFile Jdx;
    TBaseFile Jlr;
    // Position appended by NewMessage and not yet written; -1 when none.
    int32_t PendingPosition = -1;
    // Leading entries of Index that mirror the .jdx on disk.
    uint64_t KnownOnDisk = 0;
    // Size of the .jhr when the index was last read whole (Open, Refresh): a Refresh that finds the
    // base header, the index size and this unchanged (or the .jhr grown) reads nothing more.
    uint64_t CheckedJhrSize = 0;
    std::string Subfields;  // subfields of the message being written
    uint32_t MsgIdCrc = 0;  // MSGIDcrc and REPLYcrc of the message being written
    uint32_t ReplyCrc = 0;
    std::string HeaderBuffer;  // header and subfields of the message being read
    std::string Converted;     // the subfield block in CP1251
    bool Walking = false;
};

}  // namespace pelmar
