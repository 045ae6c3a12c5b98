#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "core/Address.h"

namespace pelmar {
namespace {

using Plain = std::array<uint16_t, 4>;
using Mask = std::array<int16_t, 4>;

Plain Parse(const std::string& text, bool strict) {
    Plain a{};
    ParseAddress(text, strict, a[0], a[1], a[2], a[3]);
    return a;
}

Mask ParseMask(const std::string& text) {
    Mask a{};
    ParseAddressMask(text, a[0], a[1], a[2], a[3]);
    return a;
}

TEST(ParseAddress, StrictAndLenientReadings) {
    struct Row {
        const char* text;
        Plain strict;
        Plain lenient;
    };
    const Row rows[] = {
        {"2:5020/120.5", {2, 5020, 120, 5}, {2, 5020, 120, 5}},
        {"2:5020/120.5@fidonet", {2, 5020, 120, 5}, {2, 5020, 120, 5}},
        {"2:5020/120@fido.net", {2, 5020, 120, 0}, {2, 5020, 120, 0}},
        {"5020/120", {65535, 5020, 120, 0}, {0, 5020, 120, 0}},
        {"120", {65535, 65535, 120, 0}, {0, 0, 120, 0}},
        {".7", {65535, 65535, 65535, 7}, {0, 0, 0, 7}},
        {"2:5020/", {2, 5020, 65535, 0}, {2, 5020, 0, 0}},
        {"2:5020/120.abc", {2, 5020, 120, 0}, {2, 5020, 120, 0}},
        {"x:5020/120", {65535, 5020, 120, 0}, {0, 5020, 120, 0}},
        {"2:net/120", {2, 65535, 120, 0}, {2, 0, 120, 0}},
        {"", {65535, 65535, 65535, 0}, {0, 0, 0, 0}},
        {"@domain", {65535, 65535, 65535, 0}, {0, 0, 0, 0}},
        // Only the first separator of each kind splits; the rest is part of the next number.
        {"2:5020/120/3", {2, 5020, 65535, 0}, {2, 5020, 0, 0}},
        {"2:5020/120.5.6", {2, 5020, 120, 0}, {2, 5020, 120, 0}},
        // Wider than 16 bits: the low 16 bits are kept; beyond 32 bits it is not a number.
        {"70000:5020/65536.65537", {4464, 5020, 0, 1}, {4464, 5020, 0, 1}},
        {"-1:5020/120", {65535, 5020, 120, 0}, {65535, 5020, 120, 0}},
        {"99999999999:5020/120", {65535, 5020, 120, 0}, {0, 5020, 120, 0}},
        {" 2:5020/120 ", {2, 5020, 120, 0}, {2, 5020, 120, 0}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Parse(row.text, true), row.strict) << row.text;
        EXPECT_EQ(Parse(row.text, false), row.lenient) << row.text;
    }
}

TEST(ParseAddress, Validity) {
    EXPECT_TRUE(IsValidAddress("2:5020/120"));
    EXPECT_TRUE(IsValidAddress("2:5020/120.5@fidonet"));
    EXPECT_TRUE(IsValidAddress("0:0/0"));
    EXPECT_FALSE(IsValidAddress("5020/120"));
    EXPECT_FALSE(IsValidAddress("2:5020/"));
    EXPECT_FALSE(IsValidAddress("2:5020/x"));
    EXPECT_FALSE(IsValidAddress(""));
}

TEST(ParseAddressMask, WildcardsAndMissingParts) {
    EXPECT_EQ(ParseMask("2:*/*"), (Mask{2, -1, -1, 0}));
    EXPECT_EQ(ParseMask("120"), (Mask{0, 0, 120, 0}));
    EXPECT_EQ(ParseMask("*:*/*.*"), (Mask{-1, -1, -1, -1}));
    EXPECT_EQ(ParseMask("2:5020/120.*@fidonet"), (Mask{2, 5020, 120, -1}));
    EXPECT_EQ(ParseMask("2:5020/12*"), (Mask{2, 5020, 0, 0}));
    EXPECT_EQ(ParseMask("2:**/1"), (Mask{2, 0, 1, 0}));
    EXPECT_EQ(ParseMask("40000:5020/1"), (Mask{-25536, 5020, 1, 0}));

    EXPECT_TRUE(IsValidAddressMask("2:*/*"));
    EXPECT_TRUE(IsValidAddressMask("2:5020/120"));
    EXPECT_FALSE(IsValidAddressMask("120"));
    EXPECT_FALSE(IsValidAddressMask("2:5020/"));
    EXPECT_FALSE(IsValidAddressMask("2:0/120"));
}

TEST(FormatAddress, LeavesOutZeroZoneAndPoint) {
    EXPECT_EQ(FormatAddress(2, 5020, 120, 0), "2:5020/120");
    EXPECT_EQ(FormatAddress(2, 5020, 120, 7), "2:5020/120.7");
    EXPECT_EQ(FormatAddress(0, 5020, 120, 0), "5020/120");
    EXPECT_EQ(FormatAddress(0, 5020, 120, 3), "5020/120.3");
    EXPECT_EQ(FormatAddress(65535, 65535, 65535, 65535), "65535:65535/65535.65535");
    EXPECT_EQ(FormatAddress(2, 0, 0, 0), "2:0/0");

    // Printing and reading back gives the same numbers.
    uint16_t z = 0, n = 0, f = 0, p = 0;
    ParseAddress(FormatAddress(2, 5020, 120, 7), true, z, n, f, p);
    EXPECT_EQ((Plain{z, n, f, p}), (Plain{2, 5020, 120, 7}));
}

}  // namespace
}  // namespace pelmar
