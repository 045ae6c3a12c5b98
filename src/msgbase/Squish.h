#pragma once
// Squish message base: Path + ".SQD" holds a 256-byte base header and a doubly linked chain of message
// frames, Path + ".SQI" one 12-byte index entry per message in chain order. The whole index is loaded
// at Open and positions are indices into it. New and rewritten messages are appended at the end of the
// data file; freed frames go on the free chain and are not reused.
//
// Writers lock byte 0 of the .SQD file. Everything a write changes on disk is done while that lock is
// held, against the base header and index as they are on disk at that moment, so that messages other
// programs added since Open are kept.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "msgbase/BaseFile.h"
#include "msgbase/MessageBase.h"
#include "msgbase/SquishFormat.h"

namespace pelmar {

// The reasons (LastError) of a write or delete that finds the base locked by another program.
const std::string& SquishWriteLockText();
const std::string& SquishDeleteLockText();

class TSquish : public TMessageBase {
public:
    TSquish() = default;
    ~TSquish() override;

    int32_t Count() override;
    void GetAttrText(std::string& text) override;
    bool CheckCurrent() override { return false; }
    double ChangeStamp() override;
    int32_t ChangeCounter() override;
    void Open() override;
    void Close() override;
    // Creates the absent files of an empty base (an existing base is left as it is).
    void CreateBase() override;
    bool First() override;
    bool Next() override;
    void ReadHeader() override;
    void ReadMsgId() override;
    void ReadMessage(int32_t position) override;
    void Seek(int32_t position) override;
    // False when the position holds no message, or when another writer keeps the base locked for
    // longer than WriterLockWait (the user is then told so). A frame
    // around it that is damaged raises EReadError and nothing is written.
    bool DeleteCurrent(int32_t* headerOffset = nullptr, uint32_t* recipientCrc = nullptr) override;
    // Sets the read mark in the XMSG under the writers' lock, waiting only briefly; when another
    // program holds it, or the frame is damaged, the message stays unread.
    void MarkRead() override;
    void MarkUnread() override;
    // NewMessage and PrepareRewrite change nothing on disk: an edit that is never written, or whose
    // write is refused, leaves the base as it was. WriteMessage does all of it under the lock and
    // raises EReadError (writing nothing) when the frames it must relink are damaged.
    void NewMessage() override;
    bool WriteMessage() override;
    void PrepareRewrite() override;
    bool IsValid() override;
    void ReadToAndRead() override;
    int32_t FileStamp() override { return 0; }
    bool FileStampIs(int32_t) override { return false; }
    // Re-reads the base header and the index and matches the index to the positions by message
    // identifier: a message another program removed leaves its position empty, one it rewrote keeps
    // its position, new ones (identifiers above every known one) follow. Unknown identifiers below
    // them mean the base was renumbered.
    TBaseRefresh Refresh() override;

private:
    // The read mark of the current message set (true) or cleared in the file.
    void StoreReadMark(bool read);
    // What the next WriteMessage does with the current position.
    enum class TPending { None, New, Rewrite };

    TBaseFile DataFile;
    TBaseFile IndexFile;
    TSquishBaseHeader BaseHeader;
    TSquishFrameHeader FrameHeader;
    TSquishXmsg MsgHeader;
    std::vector<TSquishIndexEntry> Positions;
    // The index as it is on disk (no deleted entries); refreshed from the file under the lock.
    std::vector<TSquishIndexEntry> DiskIndex;
    uint32_t FrameOfs = 0;
    // Index in DiskIndex of the message last stored (looked up again under the lock for every write).
    int32_t DiskPos = 0;
    // Size of the .SQD file as last seen: the bound every offset and length read is checked against.
    uint64_t DataSize = 0;
    TPending Pending = TPending::None;
    int32_t PendingPosition = -1;
    uint32_t PendingHash = 0;
    // The base header and index size as this object last read or wrote them: while the disk still
    // shows both, nobody else has written and DiskIndex needs no reload.
    std::array<uint8_t, SquishBaseHeaderSize> SyncedHeader{};
    uint64_t SyncedIndexSize = 0;
    bool Synced = false;
    // The .SQI holds exactly DiskIndex, entry for entry (nothing skipped while loading it).
    bool DiskIndexExact = false;

    // Where the file with this extension is: the existing spelling, else the name a new file gets.
    std::string FileName(const char* extension) const;
    void LoadIndex();
    bool LivePosition(int32_t position) const;
    bool Walkable(int32_t position) const;
    // A NewMessage that was never stored: its position is dropped.
    void AbandonPendingNew();
    // Reads and checks the frame header and XMSG of the current message into FrameHeader/MsgHeader.
    // A frame that cannot be a message raises EReadError.
    void ReadFrameAndXmsg();
    // The `length` bytes that follow the XMSG of the current frame (already checked to fit the frame).
    std::string_view ReadAfterXmsg(size_t length);
    void ReadNames();
    // Leading control lines of `bytes` into Kludges (converted with `convert`); returns where they end.
    template <typename Convert>
    size_t ParseControlLines(std::string_view bytes, Convert convert);

    // Write side; each runs with byte 0 of the .SQD locked. Frames are read and checked before the
    // first byte is written, so a damaged base is refused (EReadError) and left as it was.
    void ReloadDiskState();
    TSquishFrameHeader ReadFrameForUpdate(uint32_t offset, uint16_t expectedType);
    TSquishFrameHeader FreeChainTail();
    void WriteFrameHeader(uint32_t offset, const TSquishFrameHeader& frame);
    // Puts the frame at `offset` on the free chain (after `lastFree`, the checked tail) and writes it.
    void AppendToFreeChain(uint32_t offset, TSquishFrameHeader frame, TSquishFrameHeader lastFree);
    void WriteIndex(bool appendedOne);
    void WriteBaseHeader();
    int32_t FindDiskEntry(const TSquishIndexEntry& entry) const;
    uint32_t AppendOffset(uint64_t frameBytes) const;
    // Frame header + XMSG + control information + body of the fields; fills the lengths of `frame`.
    std::string BuildMessageBytes(TSquishFrameHeader& frame);
    void StoreNewMessage(std::string bytes, TSquishFrameHeader frame);
    void StoreRewrite(std::string bytes, TSquishFrameHeader frame);
};

}  // namespace pelmar
