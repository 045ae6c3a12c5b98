#pragma once
// A type 2+ packet from 2:5020/2 to 2:5020/1 for a real tosser to toss in tests.
#include <cstdint>
#include <string>

namespace pelmar::test {

class TPacket {
public:
    TPacket();
    // Strings are CP866; `text` holds control lines and the body with CR line ends.
    void Add(uint16_t origNode, uint16_t destNode, uint16_t attr, const std::string& date,
             const std::string& to, const std::string& from, const std::string& subject,
             const std::string& text);
    // The packet with its terminating zero word.
    std::string Bytes() const { return bytes_ + std::string(2, '\0'); }

private:
    std::string bytes_;
};

}  // namespace pelmar::test
