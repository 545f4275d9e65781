// SPDX-License-Identifier: MIT
// The Star streams of printer/ through the Star emulator: what is registered,
// stored, printed and erased is what the printer holds and prints.
#include "escpos/PrinterResponder.h"
#include "escpos/StarEmulator.h"
#include "printer/GraphicSteps.h"
#include "printer/StarLine.h"
#include "printer/StarPrntGraphics.h"
#include "printer/StarStatus.h"
#include "tests/support/Bytes.h"
#include "tests/support/LoopbackListener.h"

#include <algorithm>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace tessaline {
namespace {

using test::Bytes;
using test::Concat;
using test::Hex;

constexpr const char* kDay = "2026-12-09";

PrinterModel Star(PrinterLanguage language) {
    PrinterModel model;
    model.language = language;
    return model;
}

// A logo of `width` x `height` dots with a diagonal and a border, different for each `seed`.
RasterGraphic Pattern(int32_t width, int32_t height, int seed) {
    RasterGraphic graphic{width, height,
                          Bytes(GraphicRowBytes(width) * static_cast<size_t>(height), 0)};
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            if (x == 0 || y == 0 || (x + seed) % (height + 1) == y) {
                graphic.rows[static_cast<size_t>(y) * GraphicRowBytes(width) +
                             static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    return graphic;
}

bool Dot(const RasterGraphic& g, int32_t x, int32_t y) {
    return (g.rows[static_cast<size_t>(y) * GraphicRowBytes(g.width) +
                   static_cast<size_t>(x / 8)] >>
                (7 - x % 8) &
            1) != 0;
}

TEST(StarLinePrinter, RegistersOneThreeAnd255LogosAsSent) {
    for (const size_t count : {size_t{1}, size_t{3}, size_t{255}}) {
        std::vector<RasterGraphic> graphics;
        std::vector<StarLogo> logos;
        for (size_t k = 0; k < count; ++k) {
            // Sizes that are not multiples of 8 too: the padding must be white.
            graphics.push_back(Pattern(static_cast<int32_t>(9 + k % 7),
                                       static_cast<int32_t>(5 + k % 11), static_cast<int>(k)));
            logos.push_back(StarLogoFromGraphic(graphics.back()).Value());
        }
        const auto registration = StarRegisterLogosCommand(logos);
        ASSERT_TRUE(registration.Ok()) << registration.Reason();
        NvMemory memory;
        memory.images.push_back(NvImage{1, 1, Bytes(8, 0xFF)}); // deleted by the registration
        const Bytes job = Concat({StarInitialiseCommand(), registration.Value()});
        const JobOutcome outcome = RunStarJob(Star(PrinterLanguage::StarLine), memory, job, kDay);
        ASSERT_EQ(outcome.refusal, "") << count;
        EXPECT_EQ(outcome.foreign.commands, 0u);
        EXPECT_TRUE(outcome.memoryChanged);
        ASSERT_EQ(memory.images.size(), count);
        for (size_t k = 0; k < count; ++k) {
            const NvImage& image = memory.images[k];
            const RasterGraphic& g = graphics[k];
            for (int y = 0; y < image.Height(); ++y) {
                for (int x = 0; x < image.Width(); ++x) {
                    const bool sent = x < g.width && y < g.height && Dot(g, x, y);
                    ASSERT_EQ(image.Dot(x, y), sent)
                        << count << " logo " << k + 1 << " " << x << "," << y;
                }
            }
        }
        EXPECT_EQ(memory.writesThatDay, 1u);
    }
}

TEST(StarLinePrinter, PrintsEachModeAtItsSize) {
    const StarLogo logo = StarLogoFromGraphic(Pattern(16, 8, 3)).Value();
    const StarLogo logos[] = {logo};
    NvMemory memory;
    ASSERT_EQ(RunStarJob(Star(PrinterLanguage::StarLine), memory,
                         StarRegisterLogosCommand(logos).Value(), kDay)
                  .refusal,
              "");
    struct Case {
        int32_t mode;
        int width;
        int height;
    };
    for (const Case& c : {Case{0, 16, 8}, Case{1, 32, 8}, Case{2, 16, 16}, Case{3, 32, 16}}) {
        const Bytes job = Concat({StarPrintLogoCommand(1, c.mode).Value(), StarCutCommand()});
        NvMemory copy = memory;
        const JobOutcome outcome = RunStarJob(Star(PrinterLanguage::StarLine), copy, job, kDay);
        ASSERT_EQ(outcome.paper.size(), 1u) << c.mode;
        const MonoPicture& paper = outcome.paper[0];
        // The logo is printed at the left edge, each dot scaled; the feed follows it.
        int right = 0;
        int bottom = 0;
        for (int y = 0; y < paper.height; ++y) {
            for (int x = 0; x < paper.width; ++x) {
                if (paper.Dot(x, y)) {
                    right = std::max(right, x + 1);
                    bottom = std::max(bottom, y + 1);
                }
            }
        }
        EXPECT_EQ(right, c.width) << "mode " << c.mode;
        EXPECT_EQ(bottom, c.height) << "mode " << c.mode;
        EXPECT_FALSE(copy.writesThatDay > memory.writesThatDay) << "printing writes nothing";
    }
}

TEST(StarLinePrinter, EraseLeavesOneBlankLogo) {
    const StarLogo logos[] = {StarLogoFromGraphic(Pattern(8, 8, 1)).Value(),
                              StarLogoFromGraphic(Pattern(8, 8, 2)).Value()};
    NvMemory memory;
    static_cast<void>(RunStarJob(Star(PrinterLanguage::StarLine), memory,
                                 StarRegisterLogosCommand(logos).Value(), kDay));
    ASSERT_EQ(memory.images.size(), 2u);
    Bytes erase;
    const auto stream = BuildStarPrintStream(1000, 1000, 0);
    ASSERT_TRUE(stream.Ok());
    for (const StreamCommand& command : stream.Value()) {
        erase.insert(erase.end(), command.bytes.begin(), command.bytes.end());
    }
    const JobOutcome outcome = RunStarJob(Star(PrinterLanguage::StarLine), memory, erase, kDay);
    ASSERT_EQ(memory.images.size(), 1u);
    EXPECT_EQ(memory.images[0].raster, Bytes(8, 0));
    EXPECT_TRUE(outcome.paper.empty());
}

TEST(StarLinePrinter, AbortsARegistrationAtTheLogoThatDoesNotFit) {
    // As the printer does: the logos before the bad one stay, the rest do not,
    // and the job's refusal says which.
    PrinterModel model = Star(PrinterLanguage::StarLine);
    model.nvCapacity = 2 * (4 + 8 * 8 * 8 / 8) + 10;
    const StarLogo logo = StarLogoFromGraphic(Pattern(64, 8, 0)).Value();
    const StarLogo logos[] = {logo, logo, logo};
    NvMemory memory;
    const JobOutcome outcome =
        RunStarJob(model, memory, StarRegisterLogosCommand(logos).Value(), kDay);
    EXPECT_EQ(memory.images.size(), 2u);
    EXPECT_NE(outcome.refusal.find("logo 3"), std::string::npos) << outcome.refusal;
    EXPECT_NE(outcome.refusal.find("logos 1 to 2 stay registered"), std::string::npos);
}

TEST(StarPrntPrinter, StoresPrintsAndDeletesGraphicsByKey) {
    const GraphicKey key{'L', '1'};
    const RasterGraphic graphic = Pattern(20, 6, 2);
    NvMemory memory;
    const Bytes job = Concat({StarStoreGraphicCommand(key, graphic).Value(),
                              StarPrintGraphicCommand(key, 2, 1).Value(), StarCutCommand()});
    const JobOutcome outcome = RunStarJob(Star(PrinterLanguage::StarPrnt), memory, job, kDay);
    ASSERT_EQ(memory.graphics.size(), 1u);
    EXPECT_EQ(memory.graphics[0].key, "L1");
    EXPECT_EQ(memory.graphics[0].rows, graphic.rows);
    ASSERT_EQ(outcome.paper.size(), 1u);
    EXPECT_TRUE(outcome.paper[0].Dot(0, 0));
    EXPECT_TRUE(outcome.paper[0].Dot(39, 0)); // 20 dots at double width
    EXPECT_FALSE(outcome.paper[0].Dot(40, 0));

    static_cast<void>(
        RunStarJob(Star(PrinterLanguage::StarPrnt), memory, StarDeleteGraphicCommand(key), kDay));
    EXPECT_TRUE(memory.graphics.empty());
}

TEST(StarPrinters, ReportJobsInAnotherLanguage) {
    struct Case {
        const char* what;
        PrinterLanguage language;
        Bytes job;
        size_t foreign; // commands of another language found
    };
    const StarLogo logos[] = {StarLogoFromGraphic(Pattern(8, 8, 0)).Value()};
    const Case cases[] = {
        // An ESC/POS upload and printout: FS q, FS p and GS V.
        {"ESC/POS to Star Line", PrinterLanguage::StarLine,
         Hex("1B 40 1C 71 01 01 00 01 00 00 00 00 00 00 00 00 00 1C 70 01 30 1D 56 42 01"), 3},
        {"ESC/POS status question to StarPRNT", PrinterLanguage::StarPrnt, Hex("10 04 01"), 1},
        {"Star to ESC/POS", PrinterLanguage::EscPos, StarRegisterLogosCommand(logos).Value(), 1},
        {"StarPRNT graphics to ESC/POS", PrinterLanguage::EscPos, StarDeleteAllGraphicsCommand(),
         1},
        {"Star Line to Star Line", PrinterLanguage::StarLine,
         StarRegisterLogosCommand(logos).Value(), 0},
        {"plain text anywhere", PrinterLanguage::StarLine, Bytes{'h', 'i', 0x0A}, 0},
    };
    for (const Case& c : cases) {
        NvMemory memory;
        const PrinterModel model = Star(c.language);
        const JobOutcome outcome = RunLanguageJob(model, memory, c.job, kDay);
        EXPECT_EQ(outcome.foreign.commands, c.foreign) << c.what;
        const std::string reason = NotUnderstoodReason(model, outcome, c.job.size());
        EXPECT_EQ(reason.empty(), c.foreign == 0) << c.what << ": " << reason;
        if (c.foreign != 0) {
            EXPECT_NE(reason.find("of its " + std::to_string(c.job.size()) + " bytes"),
                      std::string::npos)
                << reason;
            EXPECT_NE(reason.find("(at " + std::to_string(outcome.foreign.offsets[0])),
                      std::string::npos)
                << reason;
        }
    }
}

PrinterState Held(const NvMemory& memory, std::string conditions = {}) {
    PrinterState state;
    state.memory = [&memory] { return memory; };
    state.conditions = [conditions] { return conditions; };
    return state;
}

TEST(StarResponder, AnswersTheStatusTheReaderUnderstands) {
    const struct {
        const char* conditions;
        bool ready;
        std::vector<std::string> said;
    } cases[] = {
        {"", true, {}},
        {"offline", false, {"off-line"}},
        {"cover-open", false, {"off-line", "cover open"}},
        {"paper-end", false, {"off-line", "paper end"}},
        {"paper-near-end", true, {"paper near end"}},
        {"cutter-error", false, {"off-line", "cutter error"}},
        {"unrecoverable-error", false, {"off-line", "unrecoverable error"}},
        {"cover-open paper-near-end", false, {"off-line", "cover open", "paper near end"}},
    };
    for (const auto& c : cases) {
        const NvMemory memory;
        PrinterResponder responder("P", Star(PrinterLanguage::StarLine),
                                   Held(memory, c.conditions));
        StarStatusReader reader;
        reader.Feed(responder.Feed(StarStatusRequest()));
        const auto status = reader.Reply();
        ASSERT_TRUE(status) << c.conditions;
        EXPECT_EQ(status->Ready(), c.ready) << c.conditions;
        EXPECT_EQ(status->Conditions(), c.said) << c.conditions;
        EXPECT_TRUE(responder.OnlyQuestions());
    }
}

TEST(StarResponder, AnswersVersionKeysAndStoredGraphics) {
    NvMemory memory;
    const RasterGraphic graphic = Pattern(12, 3, 1);
    memory.graphics.push_back(NvGraphic{"A1", 12, 3, graphic.rows});
    memory.graphics.push_back(NvGraphic{"B2", 8, 1, Bytes{0xAA}});
    PrinterResponder responder("P", Star(PrinterLanguage::StarPrnt), Held(memory));

    StarVersionReader version;
    version.Feed(responder.Feed(StarVersionRequest()));
    EXPECT_EQ(version.Reply(), std::optional<std::string>("VSTAR-PRNT Ver1.0"));

    StarGraphicReader keys;
    keys.Feed(responder.Feed(StarGraphicKeysRequest()));
    const auto list = keys.Reply();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->keys, (std::vector<GraphicKey>{{'A', '1'}, {'B', '2'}}));

    StarGraphicReader data;
    data.Feed(responder.Feed(StarGraphicDataRequest({'A', '1'})));
    const auto stored = data.Reply();
    ASSERT_TRUE(stored && stored->graphic);
    EXPECT_EQ(stored->graphic->rows, graphic.rows);

    StarGraphicReader missing;
    missing.Feed(responder.Feed(StarGraphicDataRequest({'Z', '9'})));
    const auto none = missing.Reply();
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->graphic);
}

TEST(StarResponder, NeverAnswersFromInsideLogoData) {
    // Logo dots that spell ESC ACK SOH are data, not a question.
    StarLogo logo{8, 8, Bytes{0x1B, 0x06, 0x01, 0x1B, 0x06, 0x01, 0x00, 0x00}};
    const StarLogo logos[] = {logo};
    const Bytes store =
        StarStoreGraphicCommand({'A', '1'}, {24, 1, Bytes{0x1B, 0x06, 0x01}}).Value();
    for (const auto& [language, job] :
         {std::pair{PrinterLanguage::StarLine, StarRegisterLogosCommand(logos).Value()},
          std::pair{PrinterLanguage::StarPrnt, store}}) {
        const NvMemory memory;
        PrinterResponder responder("P", Star(language), Held(memory));
        EXPECT_EQ(responder.Feed(job), Bytes{});
        EXPECT_EQ(responder.Job(), job);
        EXPECT_FALSE(responder.OnlyQuestions());
    }
}

} // namespace
} // namespace tessaline

namespace tessaline {
namespace {

// A StarPRNT printer on 127.0.0.1 for one connection: it lists the key A1
// (after the store) and answers a read-back of A1 with `dataReply` (or
// nothing when it is empty), whatever it was sent.
class FakeStarPrnt {
public:
    explicit FakeStarPrnt(Bytes dataReply) : m_dataReply(std::move(dataReply)) {
        m_port = test::ListenOnLoopback(m_listen);
        if (m_port == 0) {
            return;
        }
        m_thread = std::thread([this] { Serve(); });
    }
    ~FakeStarPrnt() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
        ::close(m_listen);
    }
    std::string Address() const {
        return "socket://127.0.0.1:" + std::to_string(m_port) + "?read-timeout=300";
    }

private:
    void Serve() {
        pollfd wait{m_listen, POLLIN, 0};
        if (::poll(&wait, 1, 5000) != 1) {
            return;
        }
        const int peer = ::accept(m_listen, nullptr, nullptr);
        Bytes got;
        const Bytes keys = StarGraphicKeysRequest();
        const Bytes data = StarGraphicDataRequest({'A', '1'});
        const Bytes store = Hex("1B 1D 28 4C");
        size_t askedKeys = 0, askedData = 0;
        bool stored = false;
        for (;;) {
            pollfd in{peer, POLLIN, 0};
            if (::poll(&in, 1, 5000) != 1) {
                break;
            }
            uint8_t buffer[4096];
            const ssize_t n = ::read(peer, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            got.insert(got.end(), buffer, buffer + n);
            Bytes reply;
            stored = stored ||
                     std::search(got.begin(), got.end(), store.begin(), store.end()) != got.end();
            for (auto at = got.begin() + static_cast<std::ptrdiff_t>(askedKeys);
                 (at = std::search(at, got.end(), keys.begin(), keys.end())) != got.end();
                 at += static_cast<std::ptrdiff_t>(keys.size())) {
                askedKeys = static_cast<size_t>(at - got.begin()) + keys.size();
                reply = Concat({reply, stored ? Hex("1B 1D 29 4C 03 00 32 04 00 41 31 0A 00")
                                              : Hex("1B 1D 29 4C 03 00 32 02 00 0A 00")});
            }
            auto at = std::search(got.begin() + static_cast<std::ptrdiff_t>(askedData), got.end(),
                                  data.begin(), data.end());
            if (at != got.end()) {
                askedData = static_cast<size_t>(at - got.begin()) + data.size();
                reply = Concat({reply, m_dataReply});
            }
            if (!reply.empty() && ::write(peer, reply.data(), reply.size()) < 0) {
                break;
            }
        }
        ::close(peer);
    }

    Bytes m_dataReply;
    int m_listen = -1;
    uint16_t m_port = 0;
    std::thread m_thread;
};

// A store on StarPRNT is "stored" only when the dots the printer sends back
// are the dots sent; other dots, another size or no answer are never stored.
TEST(StarPrntStore, IsCalledStoredOnlyWhenTheDataReadBackIsTheDataSent) {
    const RasterGraphic graphic{9, 2, Hex("FF 80 00 00")};
    const Bytes head = Hex("1B 1D 29 4C 03 00 33 41 31");
    const struct {
        const char* what;
        Bytes reply;
        int32_t result;
        GraphicCheck check;
        std::string why;
    } cases[] = {
        {"the same dots", Concat({head, Hex("01 09 00 02 00 31 FF 80 00 00 0A 00")}), kPrinterOk,
         GraphicCheck::Verified, ""},
        {"other dots", Concat({head, Hex("01 09 00 02 00 31 FF 00 00 01 0A 00")}), kPrinterNotKept,
         GraphicCheck::Verified,
         " holds A1 but sends back data that differs from what was sent (2 of 4 bytes differ) "
         "(4 bytes sent)"},
        {"another size", Concat({head, Hex("01 08 00 02 00 31 FF 00 0A 00")}), kPrinterNotKept,
         GraphicCheck::Verified, " holds A1 but sends back 8 x 2 dots for the 9 x 2 sent"},
        {"no data", Concat({head, Hex("0A 00")}), kPrinterNotKept, GraphicCheck::Verified,
         " holds A1 but sends no data for it"},
        {"no answer",
         {},
         kPrinterOk,
         GraphicCheck::Unanswered,
         " lists A1 but did not send its data back"},
    };
    for (const auto& c : cases) {
        FakeStarPrnt printer(c.reply);
        Spooler spooler;
        GraphicsPrinter target{spooler, printer.Address(), {}, {}};
        target.commands = LogoLanguage::StarPrnt;
        const GraphicOutcome outcome = StoreGraphicStep(target, {'A', '1'}, graphic, "a.bmp", {});
        EXPECT_EQ(outcome.result, c.result) << c.what << ": " << outcome.why;
        EXPECT_EQ(outcome.check, c.check) << c.what;
        EXPECT_FALSE(outcome.firstGraphic) << c.what;
        if (c.why.empty()) {
            EXPECT_EQ(outcome.why, "") << c.what;
        } else {
            EXPECT_NE(outcome.why.find(printer.Address() + c.why), std::string::npos)
                << c.what << ": " << outcome.why;
        }
    }
}

} // namespace
} // namespace tessaline
