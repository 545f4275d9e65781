// SPDX-License-Identifier: MIT
// What discover reads: the networks of its command line and the IEEE 1284
// device IDs of USB printers.
#include "platform/NetworkRange.h"

#include "platform/Ieee1284Id.h"

#include <gtest/gtest.h>

namespace tessaline {
namespace {

TEST(ParseNetwork, TakesAddressesBlocksAndRanges) {
    const struct {
        const char* text;
        const char* first;
        const char* last;
        uint64_t count;
    } cases[] = {
        {"127.0.0.1", "127.0.0.1", "127.0.0.1", 1},
        {"127.0.0.0/24", "127.0.0.1", "127.0.0.254", 254},  // no network or broadcast address
        {"127.0.0.77/24", "127.0.0.1", "127.0.0.254", 254}, // the host part is masked
        {"127.0.0.8/30", "127.0.0.9", "127.0.0.10", 2},
        {"127.0.0.8/31", "127.0.0.8", "127.0.0.9", 2},
        {"127.0.0.5/32", "127.0.0.5", "127.0.0.5", 1},
        {"127.0.0.0/22", "127.0.0.1", "127.0.3.254", 1022},
        {"127.0.0.0/16", "127.0.0.1", "127.0.255.254", 65534},
        {"127.0.0.20-127.0.0.60", "127.0.0.20", "127.0.0.60", 41},
        {"127.0.0.20-60", "127.0.0.20", "127.0.0.60", 41},
        {"127.0.0.250-127.0.1.4", "127.0.0.250", "127.0.1.4", 11},
        {"127.0.0.0-127.0.255.255", "127.0.0.0", "127.0.255.255", 65536},
        {"::1", "::1", "::1", 1},
        {"fd00::/120", "fd00::", "fd00::ff", 256},
        {"fd00:0:0:0:0:0:0:1-fd00::3", "fd00::1", "fd00::3", 3},
        {"fd00::ffff-fd00::1:1", "fd00::ffff", "fd00::1:1", 3},
        {"::ffff:127.0.0.1", "::ffff:7f00:1", "::ffff:7f00:1", 1},
        {"1:0:0:2:0:0:0:3", "1:0:0:2::3", "1:0:0:2::3", 1}, // the longer zero run shortens
        {"fd00::/112", "fd00::", "fd00::ffff", 65536},
    };
    for (const auto& c : cases) {
        const Result<NetworkRange> range = ParseNetwork(c.text);
        ASSERT_TRUE(range) << c.text << ": " << range.Reason();
        EXPECT_EQ(range.Value().first.Text(), c.first) << c.text;
        EXPECT_EQ(range.Value().last.Text(), c.last) << c.text;
        EXPECT_EQ(range.Value().count, c.count) << c.text;
        const std::vector<IpAddress> all = RangeAddresses(range.Value());
        ASSERT_EQ(all.size(), c.count) << c.text;
        EXPECT_EQ(all.back(), range.Value().last) << c.text;
        EXPECT_TRUE(std::is_sorted(all.begin(), all.end())) << c.text;
    }
}

TEST(ParseNetwork, RefusesMalformedAndTooLargeNetworksWithTheReason) {
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"", "an empty network"},
        {"127.0.0", "'127.0.0' is no IPv4 address"},
        {"127.0.0.256", "is no IPv4 address"},
        {"127.0.0.01", "is no IPv4 address"},
        {"127.0.0.1.5", "is no IPv4 address"},
        {"printer.local", "is no IPv4 address"},
        {"127.0.0.0/33", "the prefix length is 0 to 32, not '33'"},
        {"127.0.0.0/", "the prefix length is 0 to 32"},
        {"127.0.0.0/024", "the prefix length"},
        {"fd00::/129", "the prefix length is 0 to 128"},
        {"127.0.0.0/15", "'127.0.0.0/15' holds 131072 addresses, more than the 65536"},
        {"127.0.0.0/8", "holds 16777216 addresses"},
        {"0.0.0.0/0", "holds 4294967296 addresses"},
        {"fd00::/64", "holds 2^64 addresses"},
        {"::/0", "holds 2^128 addresses"},
        {"127.0.0.0-127.1.0.0", "holds 65537 addresses"},
        {"::-ffff::", "more than 2^64 addresses"},
        {"127.0.0.9-127.0.0.2", "the range runs backwards"},
        {"127.0.0.9-2", "the range runs backwards"},
        {"127.0.0.9-300", "no number 0 to 255"},
        {"127.0.0.1-::1", "all IPv4 or all IPv6"},
        {"127.0.0.1-", "is no IPv"},
        {"fd00::1::2", "is no IPv6 address"},
        {"fd00:::1", "is no IPv6 address"},
        {"1:2:3:4:5:6:7:8:9", "is no IPv6 address"},
        {"fd00::12345", "is no IPv6 address"},
        {"fd00::1%eth0", "is no IPv6 address"},
        {":1", "is no IPv6 address"},
        {"1:", "is no IPv6 address"},
    };
    for (const auto& c : cases) {
        const Result<NetworkRange> range = ParseNetwork(c.text);
        ASSERT_FALSE(range) << c.text;
        EXPECT_NE(range.Reason().find(c.reason), std::string::npos)
            << c.text << ": " << range.Reason();
    }
}

Result<Ieee1284Id> ParseId(const std::string& text) {
    return ParseIeee1284Id(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

TEST(ParseIeee1284Id, FindsMakerModelCommandsAndSerial) {
    const struct {
        std::string text;
        const char* maker;
        const char* model;
        const char* commands;
        const char* serial; // "" for none
    } cases[] = {
        {"MFG:EPSON;CMD:ESC/POS;MDL:TM-T20II;CLS:PRINTER;DES:TM-T20II;SN:X4EQ012345;\n", "EPSON",
         "TM-T20II", "ESC/POS", "X4EQ012345"},
        {"MANUFACTURER:Star;COMMAND SET:STAR;MODEL:TSP143IIIU;CLASS:PRINTER;", "Star", "TSP143IIIU",
         "STAR", ""},
        {"mfg: Acme ; mdl : R1;sern:77", "Acme", "R1", "", "77"},
        {std::string("\x00\x1e", 2) + "MFG:Acme;MDL:R1;CMD:ESC/POS;", "Acme", "R1", "ESC/POS", ""},
        {"MFG:First;MFG:Second;MDL:;", "First", "", "", ""}, // the first wins, empty is none
    };
    for (const auto& c : cases) {
        const Result<Ieee1284Id> id = ParseId(c.text);
        ASSERT_TRUE(id) << c.text << ": " << id.Reason();
        auto text = [](const std::optional<std::string>& v) { return v.value_or(""); };
        EXPECT_EQ(text(id.Value().maker), c.maker) << c.text;
        EXPECT_EQ(text(id.Value().model), c.model) << c.text;
        EXPECT_EQ(text(id.Value().commands), c.commands) << c.text;
        EXPECT_EQ(text(id.Value().serialNumber), c.serial) << c.text;
    }
}

TEST(ParseIeee1284Id, RefusesWhatIsNoDeviceIdWithTheReason) {
    const struct {
        std::string text;
        const char* reason;
    } cases[] = {
        {"", "the device ID is empty"},
        {"\n", "the device ID is empty"},
        {"hello", "the device ID's field 'hello' is no KEY:VALUE"},
        {":x;", "is no KEY:VALUE"},
        {";;;", "holds no KEY:VALUE field"},
        {"MFG:A\x01;", "the control byte 1 at 5"},
        {std::string("\x00\x40", 2) + "MFG:A;", "length field says 64 bytes, 8 came"},
        {std::string("\x00\x01", 2) + "MFG:A;", "length field says 1 bytes"},
        {"MFG:" + std::string(1100, 'a'), "1104 bytes long, more than 1024"},
    };
    for (const auto& c : cases) {
        const Result<Ieee1284Id> id = ParseId(c.text);
        ASSERT_FALSE(id) << c.text;
        EXPECT_NE(id.Reason().find(c.reason), std::string::npos) << c.text << ": " << id.Reason();
    }
}

} // namespace
} // namespace tessaline
