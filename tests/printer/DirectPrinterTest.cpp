// SPDX-License-Identifier: MIT
#include "platform/PrinterAddress.h"
#include "printer/PrinterReport.h"

#include <deque>
#include <gtest/gtest.h>

namespace tessaline {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(PrinterQueries, RequestsAreTheCommandsPrintersAnswer) {
    struct Case {
        Bytes built;
        Bytes expected;
    };
    const Case cases[] = {
        {StatusRequest(StatusQuery::Printer), {0x10, 0x04, 0x01}},
        {StatusRequest(StatusQuery::PaperSensor), {0x10, 0x04, 0x04}},
        {IdentityRequest(IdentityQuery::ModelId), {0x1D, 0x49, 0x01}},
        {IdentityRequest(IdentityQuery::Maker), {0x1D, 0x49, 0x42}},
        {IdentityRequest(IdentityQuery::CodePage), {0x1D, 0x49, 0x45}},
        {NvGraphicsRequest(NvGraphicsQuery::Total), {0x1D, 0x28, 0x4C, 0x02, 0x00, 0x30, 0x30}},
        {NvGraphicsRequest(NvGraphicsQuery::Free), {0x1D, 0x28, 0x4C, 0x02, 0x00, 0x30, 0x33}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.built, c.expected);
    }
}

TEST(PrinterQueries, EachStatusBitReadsAsItsCondition) {
    struct Case {
        const char* what;
        PrinterStatus status;
        bool ready;
        std::vector<std::string> conditions;
    };
    const Case cases[] = {
        {"all clear", {0x12, 0x12, 0x12, 0x12}, true, {}},
        {"off-line", {0x1A, 0x12, 0x12, 0x12}, false, {"off-line"}},
        {"drawer pin high is no stop", {0x16, 0x12, 0x12, 0x12}, true, {}},
        {"cover open", {0x1A, 0x16, 0x12, 0x12}, false, {"off-line", "cover open"}},
        {"paper end stop", {0x1A, 0x32, 0x12, 0x12}, false, {"off-line", "paper end"}},
        {"paper end sensor", {0x12, 0x12, 0x12, 0x72}, false, {"paper end"}},
        {"near end is a warning", {0x12, 0x12, 0x12, 0x1E}, true, {"paper near end"}},
        {"feed button",
         {0x1A, 0x1A, 0x12, 0x12},
         false,
         {"off-line", "paper being fed by the feed button"}},
        {"cutter error", {0x1A, 0x52, 0x1A, 0x12}, false, {"off-line", "cutter error"}},
        {"unrecoverable error",
         {0x1A, 0x52, 0x32, 0x12},
         false,
         {"off-line", "unrecoverable error"}},
        {"recoverable error",
         {0x12, 0x12, 0x52, 0x12},
         false,
         {"recoverable error (print head too hot, or cover opened while printing)"}},
        {"an error without its cause",
         {0x1A, 0x52, std::nullopt, std::nullopt},
         false,
         {"off-line", "error"}},
        {"no answer is not ready", {}, false, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.status.Ready(), c.ready) << c.what;
        EXPECT_EQ(c.status.Conditions(), c.conditions) << c.what;
    }
}

TEST(PrinterQueries, OnlyBytesWithTheFixedBitsAreStatus) {
    int count = 0;
    for (int b = 0; b < 256; ++b) {
        count += IsStatusByte(static_cast<uint8_t>(b)) ? 1 : 0;
    }
    EXPECT_EQ(count, 16); // four free bits
    for (const int b : {0x12, 0x1A, 0x7E, 0x16}) {
        EXPECT_TRUE(IsStatusByte(static_cast<uint8_t>(b))) << b;
    }
    for (const int b : {0x00, 0x02, 0x10, 0x13, 0x92, 0xFF, 0x5F}) {
        EXPECT_FALSE(IsStatusByte(static_cast<uint8_t>(b))) << b;
    }
}

TEST(ReplyReader, FindsTheReplyHoweverItArrives) {
    struct Case {
        const char* what;
        ReplyShape shape;
        std::vector<Bytes> reads;
        std::optional<Bytes> reply;
    };
    const Case cases[] = {
        {"status", ReplyShape::StatusByte, {{0x12}}, Bytes{0x12}},
        {"status after noise", ReplyShape::StatusByte, {{0x00, 0xFF, 0x41}, {0x1A}}, Bytes{0x1A}},
        {"no status yet", ReplyShape::StatusByte, {{0x00, 0x01}}, std::nullopt},
        {"one byte", ReplyShape::OneByte, {{0x20}}, Bytes{0x20}},
        {"text", ReplyShape::Text, {{0x5F, 'E', 'P', 0x00}}, Bytes{'E', 'P'}},
        {"text split three ways",
         ReplyShape::Text,
         {{0x5F}, {'A', 'b'}, {'c', 0x00}},
         Bytes{'A', 'b', 'c'}},
        {"text after garbage", ReplyShape::Text, {{0x12, 0x14, 0x5F, 'x', 0x00}}, Bytes{'x'}},
        {"empty text", ReplyShape::Text, {{0x5F, 0x00}}, Bytes{}},
        {"text never ended", ReplyShape::Text, {{0x5F, 'a', 'b'}}, std::nullopt},
        {"nv total", ReplyShape::NvTotal, {{0x37, 0x30, '2', '6', 0x00}}, Bytes{'2', '6'}},
        {"nv total split on the header",
         ReplyShape::NvTotal,
         {{0x37}, {0x30, '9'}, {0x00}},
         Bytes{'9'}},
        {"nv free is not nv total", ReplyShape::NvTotal, {{0x37, 0x31, '5', 0x00}}, std::nullopt},
        {"nv free after a stray header byte",
         ReplyShape::NvFree,
         {{0x37, 0x37, 0x31, '1', '0', 0x00}},
         Bytes{'1', '0'}},
        {"letters are not digits", ReplyShape::NvFree, {{0x37, 0x31, 'x', 0x00}}, std::nullopt},
        {"paper width setting",
         ReplyShape::CustomValue,
         {{0x37}, {0x27, '3', 0x1F}, {'6', 0x00}},
         Bytes{'3', 0x1F, '6'}},
        {"nv total is no customized value",
         ReplyShape::CustomValue,
         {{0x37, 0x30, '5', 0x00}},
         std::nullopt},
        {"the separator belongs to customized values only",
         ReplyShape::NvFree,
         {{0x37, 0x31, '3', 0x1F, '6', 0x00}},
         std::nullopt},
    };
    for (const Case& c : cases) {
        ReplyReader reader(c.shape);
        for (const Bytes& read : c.reads) {
            reader.Feed(read);
        }
        EXPECT_EQ(reader.Reply(), c.reply) << c.what;
    }
}

TEST(ReplyReader, TextLongerThanAnyReplyIsNoise) {
    ReplyReader reader(ReplyShape::Text);
    Bytes flood(kMaxReplyText + 10, 'a');
    flood.insert(flood.begin(), 0x5F);
    reader.Feed(flood);
    EXPECT_EQ(reader.Reply(), std::nullopt);
    reader.Feed(Bytes{0x5F, 'o', 'k', 0x00});
    EXPECT_EQ(reader.Reply(), (Bytes{'o', 'k'}));
}

TEST(ParsePaperWidthSetting, TakesTheSettingsCommandReferencesGive) {
    const std::pair<Bytes, std::optional<int32_t>> cases[] = {
        {{'3', 0x1F, '2'}, 58},
        {{'3', 0x1F, '4'}, 70},
        {{'3', 0x1F, '5'}, 76},
        {{'3', 0x1F, '6'}, 80},
        {{'3', 0x1F, '3'}, std::nullopt},
        {{'3', 0x1F, '0'}, std::nullopt},
        // Another customized value, a missing or longer setting, no separator.
        {{'5', 0x1F, '6'}, std::nullopt},
        {{'3', 0x1F}, std::nullopt},
        {{'3', 0x1F, '6', '6'}, std::nullopt},
        {{'3', '6'}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& [body, millimetres] : cases) {
        EXPECT_EQ(ParsePaperWidthSetting(body), millimetres) << body.size();
    }
}

TEST(ParseNvBytes, TakesDecimalDigitsOnly) {
    EXPECT_EQ(ParseNvBytes(Bytes{'2', '6', '2', '1', '4', '4'}), 262144u);
    EXPECT_EQ(ParseNvBytes(Bytes{'0'}), 0u);
    EXPECT_EQ(ParseNvBytes(Bytes{}), std::nullopt);
    EXPECT_EQ(ParseNvBytes(Bytes(20, '9')), std::nullopt);
}

// A printer that answers from a script: each question asked gets the reads listed for it.
class ScriptedPrinter : public PrinterConnection {
public:
    explicit ScriptedPrinter(std::deque<std::vector<Bytes>> answers)
        : PrinterConnection(Address()), m_answers(std::move(answers)) {}

    static PrinterAddress Address() {
        PrinterAddress a;
        a.text = "socket://printer";
        a.readTimeout = std::chrono::milliseconds(5);
        return a;
    }
    Result<void> Send(std::span<const uint8_t> bytes) override {
        sent.emplace_back(bytes.begin(), bytes.end());
        m_reads = m_answers.empty() ? std::vector<Bytes>() : m_answers.front();
        if (!m_answers.empty()) {
            m_answers.pop_front();
        }
        return {};
    }
    Result<void> Receive(Bytes& into, std::chrono::milliseconds) override {
        if (!m_reads.empty()) {
            into.insert(into.end(), m_reads.front().begin(), m_reads.front().end());
            m_reads.erase(m_reads.begin());
        }
        return {};
    }
    Result<void> Finish() override { return {}; }

    std::vector<Bytes> sent;

private:
    std::deque<std::vector<Bytes>> m_answers;
    std::vector<Bytes> m_reads;
};

TEST(AskPrinter, GathersEveryAnswerAndNamesTheMissingOnes) {
    ScriptedPrinter printer({
        {{0x12}},                        // DLE EOT 1
        {{0x16}},                        // 2: cover open
        {{0x12}},                        // 3
        {{0x1E}},                        // 4: near end
        {{0x5F, 'T', 'e'}, {'s', 0x00}}, // maker, split
        {{0x99, 0x5F, 'V', 0x00}},       // model after garbage
        {},                              // firmware: no answer
        {{0x5F, 'S', '1', 0x00}},        // serial number
        {},                              // code page: no answer
        {{0x20}},                        // model ID
        {{0x21}},                        // type ID
        {{0x22}},                        // ROM version ID
        {{0x37, 0x27, '3', 0x1F, '6', 0x00}}, // the 80 mm roll
        {{0x37, 0x30, '1', '0', '0', 0x00}},
        {{0x37, 0x31, '4', '0', 0x00}},
    });
    const Result<PrinterReport> report = AskPrinter(printer);
    ASSERT_TRUE(report) << report.Reason();
    const PrinterReport& r = report.Value();
    EXPECT_EQ(printer.sent.size(), 15u);
    EXPECT_EQ(r.paperMillimetres, 80);
    EXPECT_FALSE(r.status.Ready());
    EXPECT_EQ(r.status.Conditions(), (std::vector<std::string>{"cover open", "paper near end"}));
    EXPECT_EQ(r.maker, "Tes");
    EXPECT_EQ(r.model, "V");
    EXPECT_EQ(r.serialNumber, "S1");
    EXPECT_EQ(r.firmware, std::nullopt);
    EXPECT_EQ(r.romVersionId, 0x22);
    EXPECT_EQ(r.nvGraphicsTotal, 100u);
    EXPECT_EQ(r.nvGraphicsFree, 40u);
    EXPECT_EQ(r.unanswered,
              (std::vector<std::string>{"firmware (GS I 65)", "code page (GS I 69)"}));
}

TEST(AskPrinter, ADeviceThatNeverAnswersIsAskedOnce) {
    ScriptedPrinter printer({});
    const Result<PrinterReport> report = AskPrinter(printer);
    ASSERT_TRUE(report);
    EXPECT_EQ(printer.sent.size(), 1u);
    EXPECT_FALSE(report.Value().status.Answered());
    EXPECT_EQ(report.Value().unanswered.size(), 15u);
}

// A scan waits once per kind of question at most, and tells a printer from a
// peer that speaks something else by the bytes that answer nothing.
TEST(AskPrinter, EachKindEndsAKindAtItsFirstSilenceAndCountsStrayBytes) {
    const Bytes status = {0x12};
    const struct {
        const char* what;
        Patience patience;
        std::deque<std::vector<Bytes>> script;
        size_t sent;
        size_t unanswered;
        size_t stray;
        std::optional<uint64_t> nvFree;
    } cases[] = {
        {"a model that knows no GS I 67",
         Patience::EachKind,
         {{status},
          {status},
          {status},
          {status},
          {{0x5F, 'T', 0x00}},
          {},
          {{0x37, 0x30, '9', 0x00}},
          {{0x37, 0x31, '5', 0x00}}},
         8,
         8,
         0,
         5},
        {"the same, every question asked",
         Patience::EachQuestion,
         {{status},
          {status},
          {status},
          {status},
          {{0x5F, 'T', 0x00}},
          {},
          {},
          {},
          {},
          {},
          {},
          {},
          {},
          {{0x37, 0x30, '9', 0x00}},
          {{0x37, 0x31, '5', 0x00}}},
         15,
         8,
         0,
         5},
        {"a status after noise, then silence",
         Patience::EachKind,
         {{{'H', 'T', 'T', 'P', 0x12, 'x', 'y'}}},
         4,
         14,
         6,
         std::nullopt},
        {"noise across reads, every question asked",
         Patience::EachQuestion,
         {{{'H', 'T'}, {'T', 'P', 0x12, 'x', 'y'}}},
         15,
         14,
         6,
         std::nullopt},
    };
    for (const auto& c : cases) {
        ScriptedPrinter printer(c.script);
        const Result<PrinterReport> report = AskPrinter(printer, c.patience);
        ASSERT_TRUE(report) << c.what;
        EXPECT_EQ(printer.sent.size(), c.sent) << c.what;
        EXPECT_EQ(report.Value().unanswered.size(), c.unanswered) << c.what;
        EXPECT_EQ(report.Value().strayBytes, c.stray) << c.what;
        EXPECT_EQ(report.Value().nvGraphicsFree, c.nvFree) << c.what;
        EXPECT_TRUE(report.Value().status.Answered()) << c.what;
    }
}

TEST(AskGraphicKeys, AnswersEachBlockAndLetsGoOfAPrinterThatFallsSilent) {
    const Bytes command = {0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x40, 'K', 'C'};
    struct Case {
        const char* what;
        std::deque<std::vector<Bytes>> script; // the reads each thing sent gets
        std::optional<std::vector<std::string>> keys;
        std::vector<Bytes> sent;
    };
    const Case cases[] = {
        {"no keys", {{{0x37, 0x72, 0x40, 0x00}}}, std::vector<std::string>{}, {command, {0x06}}},
        {"two blocks, the second malformed once and sent again",
         {{{0x12, 0x37, 0x72}, {0x41, 'A', '1', 0x00}},
          {{0x37, 0x72, 0x40, 'B', 0x00}},
          {{0x37, 0x72, 0x40, 'B', '2', 0x00}}},
         std::vector<std::string>{"A1", "B2"},
         {command, {0x06}, {0x15}, {0x06}}},
        {"silent after the first block",
         {{{0x37, 0x72, 0x41, 'A', '1', 0x00}}},
         std::nullopt,
         {command, {0x06}, {0x18}}},
        {"never answers", {}, std::nullopt, {command}},
    };
    for (const Case& c : cases) {
        ScriptedPrinter printer(c.script);
        const auto keys = AskGraphicKeys(printer);
        ASSERT_TRUE(keys) << c.what << ": " << keys.Reason();
        std::optional<std::vector<std::string>> texts;
        if (keys.Value()) {
            texts.emplace();
            for (const GraphicKey& k : *keys.Value()) {
                texts->push_back(k.Text());
            }
        }
        EXPECT_EQ(texts, c.keys) << c.what;
        EXPECT_EQ(printer.sent, c.sent) << c.what;
    }
}

TEST(PrinterAddress, ReadsEveryKindWithItsDefaults) {
    struct Case {
        const char* text;
        AddressScheme scheme;
        const char* host;
        uint16_t port;
        const char* device;
        uint32_t baud;
    };
    const Case cases[] = {
        {"socket://127.0.0.5", AddressScheme::Socket, "127.0.0.5", 9100, "", 9600},
        {"socket://printer.shop:9101/", AddressScheme::Socket, "printer.shop", 9101, "", 9600},
        {"socket://[fe80::1]:515", AddressScheme::Socket, "fe80::1", 515, "", 9600},
        {"socket://[::1]", AddressScheme::Socket, "::1", 9100, "", 9600},
        {"usb:///dev/usb/lp0", AddressScheme::Usb, "", 9100, "/dev/usb/lp0", 9600},
        {"serial:///dev/ttyUSB0?baud=38400", AddressScheme::Serial, "", 9100, "/dev/ttyUSB0",
         38400},
        {"serial://COM3", AddressScheme::Serial, "", 9100, "COM3", 9600},
        {"file:///tmp/job.bin", AddressScheme::File, "", 9100, "/tmp/job.bin", 9600},
        {"file:///C:/jobs/a.bin", AddressScheme::File, "", 9100, "C:/jobs/a.bin", 9600},
    };
    for (const Case& c : cases) {
        const Result<PrinterAddress> a = ParsePrinterAddress(c.text);
        ASSERT_TRUE(a) << c.text << ": " << a.Reason();
        EXPECT_EQ(a.Value().scheme, c.scheme) << c.text;
        EXPECT_EQ(a.Value().host, c.host) << c.text;
        EXPECT_EQ(a.Value().port, c.port) << c.text;
        EXPECT_EQ(a.Value().device, c.device) << c.text;
        EXPECT_EQ(a.Value().serial.baud, c.baud) << c.text;
        EXPECT_EQ(a.Value().connectTimeout, kDefaultConnectTimeout) << c.text;
        EXPECT_EQ(a.Value().readTimeout, kDefaultReadTimeout) << c.text;
    }
    const auto serial = ParsePrinterAddress(
        "serial:///dev/ttyS0?baud=19200&data-bits=7&parity=even&stop-bits=2&flow=rtscts"
        "&read-timeout=250");
    ASSERT_TRUE(serial);
    EXPECT_EQ(serial.Value().serial.dataBits, 7u);
    EXPECT_EQ(serial.Value().serial.parity, SerialParity::Even);
    EXPECT_EQ(serial.Value().serial.stopBits, 2u);
    EXPECT_EQ(serial.Value().serial.flow, SerialFlow::Hardware);
    EXPECT_EQ(serial.Value().readTimeout, std::chrono::milliseconds(250));
}

TEST(PrinterAddress, RefusesWhatCannotBeReachedNamingTheAddress) {
    const char* bad[] = {
        "socket://",
        "socket://host:",
        "socket://host:0",
        "socket://host:70000",
        "socket://fe80::1",
        "socket://[::1",
        "socket://host/queue",
        "lpd://host",
        "usb://lp0",
        "serial://",
        "serial://COM1?baud=x",
        "serial://COM1?parity=mark",
        "socket://h?baud=9600",
        "file://",
        "socket://h?read-timeout=0",
        "socket://h?connect-timeout",
    };
    for (const char* text : bad) {
        const Result<PrinterAddress> a = ParsePrinterAddress(text);
        ASSERT_FALSE(a) << text;
        EXPECT_TRUE(a.Reason().starts_with(std::string(text) + ": ")) << a.Reason();
    }
    EXPECT_FALSE(IsPrinterAddress("THERMAL #1"));
    EXPECT_TRUE(IsPrinterAddress("socket://x"));
}

TEST(PrinterAddress, TimeoutsJoinTheQuery) {
    EXPECT_EQ(
        WithTimeouts("socket://h", std::chrono::milliseconds(50), std::chrono::milliseconds(70)),
        "socket://h?connect-timeout=50&read-timeout=70");
    EXPECT_EQ(WithTimeouts("serial://COM1?baud=38400&read-timeout=9", std::chrono::milliseconds(1),
                           std::chrono::milliseconds(2)),
              "serial://COM1?baud=38400&connect-timeout=1&read-timeout=2");
    // Messages name the printer without the timeouts a host joined to it.
    EXPECT_EQ(ParsePrinterAddress("socket://h:9?read-timeout=5&connect-timeout=7").Value().text,
              "socket://h:9");
}

} // namespace
} // namespace tessaline
