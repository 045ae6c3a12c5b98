#pragma once
// The *.MSG base: a directory with one stored-message file per message, named by its decimal number.
// There is no index and no locking; the sorted list of numbers is taken when the base is opened and
// every message is addressed by its position in that list. Tossers on Linux write lower-case names
// (2.msg), so names match case-insensitively.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "msgbase/MessageBase.h"

namespace pelmar {

// What a message file was when a base object last read or wrote it. A tosser may send and remove a
// message and toss new mail under the same number, so a write first compares the file with this.
struct TMsgFileIdentity {
    enum class TState { Unknown, Absent, Present };
    TState State = TState::Unknown;  // Unknown: not read yet, nothing to compare with
    uint64_t Device = 0;
    uint64_t Inode = 0;
    int64_t Size = 0;
    int64_t MTimeSec = 0;
    int64_t MTimeNsec = 0;
    bool operator==(const TMsgFileIdentity&) const = default;
};

class TFidoBase : public TMessageBase {
public:
    static constexpr size_t HeaderSize = 190;
    // Bit of the word at offset 188 that holds this program's read mark.
    static constexpr uint16_t ReadMarkBit = 0x0010;

    TFidoBase();
    ~TFidoBase() override;

    // Name stems (file names without the extension) sorted by their numeric value; position i is
    // message position i. Filled by Open, grown by NewMessage, emptied by Close.
    std::vector<std::string> MsgFiles;
    // The stored header of the current message, kept between a read and a write.
    std::array<uint8_t, HeaderSize> Header{};

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
    // MarkRead and DeleteCurrent act only on the file last read at the current position: when another
    // program removed or replaced it since, they raise EReadError and change nothing (a delete of a
    // message this object deleted itself returns false). A rewrite of such a message is stored as a
    // new message instead.
    void MarkRead() override;
    void MarkUnread() override;
    void NewMessage() override;
    bool WriteMessage() override;
    void PrepareRewrite() override;
    bool IsValid() override;
    void ReadToAndRead() override;
    int32_t FileStamp() override;
    bool FileStampIs(int32_t stamp) override;
    // Lists the folder again. Numbers above every known one are new messages at the end; a known
    // number whose file is gone leaves its position empty; an unknown number below them means the
    // area was renumbered (then the list is taken whole and Current follows its file where it can).
    TBaseRefresh Refresh() override;

    // Deletes every *.MSG file of the directory and empties the list (the draft store starts afresh).
    void DeleteAllMessages();

    // Full path of the message file at a position (the name as found on disk); "" when out of range.
    std::string FilePath(int32_t position) const;

private:
    // The read mark of the current message set (true) or cleared in the file.
    void StoreReadMark(bool read);
    struct TEntry {
        int64_t Number;
        std::string FileName;  // as on disk, or as it will be created
        bool Pending = false;  // added by NewMessage, no file written yet
        TMsgFileIdentity Seen{};
        bool Missing = false;  // its file was gone at the last Refresh
    };
    std::vector<TEntry> Entries;  // parallel to MsgFiles
    int DirFd = -1;               // the directory listed by Open, held until Close

    void CloseDir();

    std::string NewFileName(int64_t number) const;
    bool ReadCurrentFile(std::string& bytes, size_t limit);
    // Raises EReadError when the current file is no longer the one last read (removed, replaced or
    // changed by another program). `fd` is the file opened now, or -1 when opening found nothing.
    void CheckSameFile(int fd) const;
    bool RewriteCurrent(const std::string& bytes, bool& moved);
    void ParseHeaderFields();
    void ReadCurrentBody(bool wholeMessage);
    bool StoreCurrent(const std::string& bytes);
};

}  // namespace pelmar
