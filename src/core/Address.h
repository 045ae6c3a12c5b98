#pragma once
// FTN addresses: zone:net/node.point, no domain kept.
#include <cstdint>
#include <string>

namespace pelmar {

// Plain reading (0..65535). With `strict`, a missing or non-numeric zone, net or node is 65535;
// otherwise 0. A missing or non-numeric point is always 0. "@domain" is dropped.
void ParseAddress(const std::string& text, bool strict, uint16_t& zone, uint16_t& net, uint16_t& node,
                  uint16_t& point);
// Mask reading: "*" gives -1, a part not written or not numeric gives 0.
void ParseAddressMask(const std::string& text, int16_t& zone, int16_t& net, int16_t& node, int16_t& point);
// zone:net/node.point, the zone left out when 0 and the point left out when 0.
std::string FormatAddress(int zone, int net, int node, int point);
bool IsValidAddress(const std::string& text);
bool IsValidAddressMask(const std::string& text);

}  // namespace pelmar
