#pragma once
// Test-side view of the Squish layout, written from the published format and independent of the
// code under test: a builder that lays out bases byte by byte and a checker of the invariants every
// Squish program relies on (frame chains, index, counters).
#include <cstdint>
#include <string>
#include <vector>

namespace pelmar::test {

uint32_t Le32(const std::string& bytes, size_t at);
uint16_t Le16(const std::string& bytes, size_t at);
void PutLe32(std::string& bytes, size_t at, uint32_t value);
void PutLe16(std::string& bytes, size_t at, uint16_t value);

// Offsets into the files.
inline constexpr size_t kHeaderSize = 256;
inline constexpr size_t kFrameSize = 28;
inline constexpr size_t kXmsgSize = 238;
inline constexpr uint32_t kFrameId = 0xAFAE4453;
namespace hdr {
inline constexpr size_t NumMsg = 4, HighMsg = 8, Uid = 20, BeginFrame = 104, LastFrame = 108, FreeFrame = 112,
                        LastFreeFrame = 116, EndFrame = 120;
}
namespace frm {
inline constexpr size_t Id = 0, Next = 4, Prev = 8, FrameLength = 12, MsgLength = 16, CLen = 20, Type = 24;
}
namespace xm {
inline constexpr size_t Attr = 0, From = 4, To = 40, Subj = 76, Orig = 148, Dest = 156, DateWritten = 164,
                        DateArrived = 168, FtscDate = 218;
}

// One message as a builder lays it down. Text fields are stored bytes (CP866).
struct TRawMessage {
    std::string From = "Sender";
    std::string To = "All";
    std::string Subject = "Subject";
    uint32_t Attr = 0;
    uint16_t Orig[4] = {2, 5020, 1, 0};
    uint16_t Dest[4] = {0, 0, 0, 0};
    std::string FtscDate = "01 Dec 25  10:00:00";
    std::vector<std::string> Kludges;  // without ^A
    std::string Body = "Hello\r";      // without the closing NUL
    uint32_t Slack = 0;                // unused bytes at the end of the frame
    bool NoControl = false;            // clen 0 and no NUL before the body, as some writers store it
};

// Builds .SQD/.SQI bytes: messages in chain order with ascending UMSGIDs from 1, and free frames.
class TSquishBuilder {
public:
    TSquishBuilder();
    // Appends a message frame; returns its offset.
    uint32_t Add(const TRawMessage& message);
    // Appends a free frame of `length` bytes after its header and links it into the free chain.
    uint32_t AddFree(uint32_t length);

    std::string Sqd;
    std::string Sqi;

    // Writes Sqd and Sqi to base + ".sqd"/".sqi".
    void Save(const std::string& base) const;

private:
    uint32_t numMsg_ = 0;
    uint32_t uid_ = 1;
    void SetEnd();
};

// The index hash of a recipient name as stored (CP866) in a message with XMSG attribute `attr`.
uint32_t IndexHash(const std::string& storedName, uint32_t attr);

// Everything wrong with the base at `base` + ".sqd"/".sqi"; empty when it is consistent.
// `allowEmptySlots`: tolerate unused index slots (offset 0) after the live entries, as some writers
// leave them. `checkHashes`: each index hash equals the hash of the stored recipient.
std::vector<std::string> CheckSquishBase(const std::string& base, bool allowEmptySlots = false,
                                         bool checkHashes = true);

// Offsets of the message chain and the free chain, in order.
std::vector<uint32_t> MessageChain(const std::string& sqd);
std::vector<uint32_t> FreeChain(const std::string& sqd);

}  // namespace pelmar::test

// Runs the checker and reports every problem it finds.
#define EXPECT_SQUISH_CONSISTENT(base, ...)                                               \
    do {                                                                                  \
        const auto squishProblems = ::pelmar::test::CheckSquishBase(base, ##__VA_ARGS__); \
        for (const auto& problem : squishProblems) ADD_FAILURE() << problem;              \
    } while (0)
