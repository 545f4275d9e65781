// SPDX-License-Identifier: MIT
#include "escpos/EscPosEmulator.h"

#include "Barcodes.h"
#include "BitmapFont.h"
#include "escpos/Png.h"
#include "escpos/StarEmulator.h"
#include "platform/AtomicFile.h"
#include "platform/FileIo.h"
#include "tests/support/NvStreams.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace tessaline {
namespace {

using test::Bytes;
using test::Concat;
using test::Hex;
using test::TestLogo;

constexpr const char* kDay = "2024-03-01";

Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

JobOutcome Emulate(const PrinterModel& model, NvMemory& memory, const Bytes& job, const char* day) {
    return RunJob(model, memory, job, day);
}

size_t CountLog(const JobOutcome& outcome, const std::string& part) {
    return static_cast<size_t>(
        std::count_if(outcome.log.begin(), outcome.log.end(),
                      [&](const LogEntry& e) { return e.text.find(part) != std::string::npos; }));
}

// Checks that the stored image holds exactly the logo's padded dots.
void ExpectHolds(const NvImage& image, const TestLogo& logo) {
    ASSERT_EQ(image.Width(), logo.PaddedWidth());
    ASSERT_EQ(image.Height(), logo.PaddedHeight());
    int wrong = 0;
    for (int x = 0; x < image.Width(); ++x) {
        for (int y = 0; y < image.Height(); ++y) {
            wrong += image.Dot(x, y) != logo.Holds(x, y);
        }
    }
    EXPECT_EQ(wrong, 0);
}

NvMemory Uploaded() {
    NvMemory memory;
    Emulate({}, memory, test::UploadStream({test::SmallLogo(), test::WideLogo()}), kDay);
    return memory;
}

TEST(EscPosEmulator, TwoFileUploadStoresBothImages) {
    NvMemory memory;
    const Bytes job = test::UploadStream({test::SmallLogo(), test::WideLogo()});
    ASSERT_EQ(job.size(), 2u + 3 + 4 + 728 + 4 + 3072);
    const JobOutcome outcome = Emulate({}, memory, job, kDay);

    ASSERT_EQ(memory.images.size(), 2u);
    EXPECT_EQ(memory.images[0].x, 13);
    EXPECT_EQ(memory.images[0].y, 7);
    EXPECT_EQ(memory.images[0].raster.size(), 728u);
    EXPECT_EQ(memory.images[1].raster.size(), 3072u);
    ExpectHolds(memory.images[0], test::SmallLogo());
    ExpectHolds(memory.images[1], test::WideLogo());
    EXPECT_TRUE(outcome.memoryChanged);
    EXPECT_EQ(outcome.refusal, "");
    EXPECT_TRUE(outcome.paper.empty());
    EXPECT_EQ(memory.writesThatDay, 1u);
    EXPECT_EQ(NvBytesUsed(memory), 4u + 728 + 4 + 3072);

    ASSERT_EQ(outcome.log.size(), 4u);
    EXPECT_EQ(outcome.log[0].offset, 0u);
    EXPECT_EQ(outcome.log[0].text, "ESC @: initialise");
    EXPECT_EQ(outcome.log[2].offset, 5u);
    EXPECT_EQ(outcome.log[2].text, "FS q 2: image 1 104x56 dots, 728 bytes");
    EXPECT_EQ(outcome.log[3].offset, 737u);
    EXPECT_EQ(outcome.log[3].text, "FS q 2: image 2 512x48 dots, 3072 bytes");
}

TEST(EscPosEmulator, NvImagePictureIsTheStoredDots) {
    const NvMemory memory = Uploaded();
    const MonoPicture picture = NvImagePicture(memory.images[0]);
    ASSERT_EQ(picture.width, 104);
    ASSERT_EQ(picture.height, 56);
    for (int x = 0; x < 104; ++x) {
        for (int y = 0; y < 56; ++y) {
            ASSERT_EQ(picture.Dot(x, y), test::SmallLogo().Holds(x, y)) << x << "," << y;
        }
    }
}

struct SizeModeCase {
    uint8_t m;
    int sx;
    int sy;
};

class EscPosSizeMode : public ::testing::TestWithParam<SizeModeCase> {};

TEST_P(EscPosSizeMode, DrawsTheImageScaledAtTheLeft) {
    const SizeModeCase c = GetParam();
    NvMemory memory = Uploaded();
    const JobOutcome outcome = Emulate({}, memory, {0x1C, 0x70, 0x01, c.m, 0x1D, 0x56, 0x00}, kDay);
    ASSERT_EQ(outcome.paper.size(), 1u);
    const MonoPicture& paper = outcome.paper[0];
    EXPECT_EQ(paper.width, 576);
    ASSERT_EQ(paper.height, 56 * c.sy);
    const TestLogo logo = test::SmallLogo();
    int wrong = 0;
    for (int x = 0; x < paper.width; ++x) {
        for (int y = 0; y < paper.height; ++y) {
            const bool want = x < 104 * c.sx && logo.Holds(x / c.sx, y / c.sy);
            wrong += paper.Dot(x, y) != want;
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(outcome.memoryChanged);
}

INSTANTIATE_TEST_SUITE_P(AllModes, EscPosSizeMode,
                         ::testing::Values(SizeModeCase{0, 1, 1}, SizeModeCase{1, 2, 1},
                                           SizeModeCase{2, 1, 2}, SizeModeCase{3, 2, 2},
                                           SizeModeCase{0x30, 1, 1}, SizeModeCase{0x31, 2, 1},
                                           SizeModeCase{0x32, 1, 2}, SizeModeCase{0x33, 2, 2}));

TEST(EscPosEmulator, PrintAllPrintsBothImagesAndLogsTheMissingOnes) {
    NvMemory memory = Uploaded();
    const JobOutcome outcome = Emulate({}, memory, test::PrintAllStream(0x30), kDay);
    ASSERT_EQ(outcome.paper.size(), 1u);
    const MonoPicture& paper = outcome.paper[0];
    // Image 1, image 2 below it, then one dot row of feed before the cut.
    ASSERT_EQ(paper.height, 56 + 48 + 1);
    int wrong = 0;
    for (int x = 0; x < 576; ++x) {
        for (int y = 0; y < paper.height; ++y) {
            bool want = false;
            if (y < 56) {
                want = x < 104 && test::SmallLogo().Holds(x, y);
            } else if (y < 104) {
                want = x < 512 && test::WideLogo().Holds(x, y - 56);
            }
            wrong += paper.Dot(x, y) != want;
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(CountLog(outcome, "not stored; nothing printed"), 253u);
    EXPECT_EQ(CountLog(outcome, "printed image"), 2u);
    EXPECT_EQ(outcome.log.back().text, "GS V 66 1: fed 1 dot, partial cut: piece 1, 105 dots long");
    EXPECT_EQ(outcome.log.back().offset, 1020u);
}

struct TooWideCase {
    int paperWidth;
    uint8_t image;
    uint8_t m;
    bool prints;
};

class EscPosTooWide : public ::testing::TestWithParam<TooWideCase> {};

TEST_P(EscPosTooWide, ImageWiderThanThePaperPrintsNothing) {
    const TooWideCase c = GetParam();
    NvMemory memory = Uploaded();
    PrinterModel model;
    model.paperWidth = c.paperWidth;
    const JobOutcome outcome = Emulate(model, memory, {0x1C, 0x70, c.image, c.m}, kDay);
    EXPECT_EQ(outcome.uncut.height > 0, c.prints);
    EXPECT_EQ(CountLog(outcome, "wider than the"), c.prints ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, EscPosTooWide,
    ::testing::Values(TooWideCase{576, 2, 0x30, true}, TooWideCase{576, 2, 0x31, false},
                      TooWideCase{576, 2, 0x33, false}, TooWideCase{576, 2, 0x32, true},
                      TooWideCase{384, 2, 0x30, false}, TooWideCase{384, 1, 0x33, true},
                      TooWideCase{208, 1, 0x31, true}, TooWideCase{207, 1, 0x31, false}));

TEST(EscPosEmulator, EraseEmptiesTheMemory) {
    NvMemory memory = Uploaded();
    const JobOutcome outcome =
        Emulate({}, memory, {0x1C, 0x65, 0x1C, 0x70, 0xE8, 0x30, 0x1D, 0x56, 0x42, 0x01}, kDay);
    EXPECT_TRUE(memory.images.empty());
    EXPECT_TRUE(outcome.memoryChanged);
    EXPECT_TRUE(outcome.paper.empty());
    EXPECT_EQ(outcome.log[0].text, "FS e: erased every stored image (2 forgotten)");
    EXPECT_EQ(outcome.log[1].text, "FS p 232 48: image 232 not stored; nothing printed");
    EXPECT_EQ(CountLog(outcome, "no piece of paper"), 1u);
    EXPECT_EQ(memory.writesThatDay, 2u);

    const JobOutcome after = Emulate({}, memory, {0x1C, 0x70, 0x01, 0x30}, kDay);
    EXPECT_EQ(CountLog(after, "image 1 not stored"), 1u);
}

Bytes Header(uint16_t x, uint16_t y) {
    return {static_cast<uint8_t>(x), static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(y),
            static_cast<uint8_t>(y >> 8)};
}

struct RefusedCase {
    const char* name;
    Bytes job;
    uint64_t capacity;
    const char* logPart;
};

// Test names show the case's name, not a dump of its bytes.
void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

class EscPosRefusedDefinition : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(EscPosRefusedDefinition, StoresNothingAndKeepsTheImagesStoredBefore) {
    const RefusedCase& c = GetParam();
    NvMemory memory = Uploaded();
    const NvMemory before = memory;
    PrinterModel model;
    model.nvCapacity = c.capacity;
    const JobOutcome outcome = Emulate(model, memory, c.job, kDay);
    ASSERT_EQ(memory.images.size(), 2u);
    EXPECT_EQ(memory.images[0].raster, before.images[0].raster);
    EXPECT_EQ(memory.images[1].raster, before.images[1].raster);
    EXPECT_FALSE(outcome.memoryChanged);
    EXPECT_EQ(memory.writesThatDay, before.writesThatDay);
    EXPECT_EQ(CountLog(outcome, "refused, nothing stored"), 1u);
    EXPECT_EQ(CountLog(outcome, c.logPart), 1u) << outcome.log.back().text;
    EXPECT_NE(outcome.refusal.find(c.logPart), std::string::npos) << outcome.refusal;
    EXPECT_EQ(CountLog(outcome, "not understood"), 0u);
}

const Bytes kEightDots(8, 0xFF);

INSTANTIATE_TEST_SUITE_P(
    Definitions, EscPosRefusedDefinition,
    ::testing::Values(
        RefusedCase{"RasterCutShort", Concat({{0x1C, 0x71, 0x01}, Header(2, 1), Bytes(15, 0xFF)}),
                    262144, "16 raster bytes needed, 15 left"},
        RefusedCase{"SecondImageCutShort",
                    Concat({{0x1C, 0x71, 0x02}, Header(1, 1), kEightDots, Header(1, 1), {0xFF}}),
                    262144, "image 2: 8 raster bytes needed, 1 left"},
        RefusedCase{"SizeCutShort", Concat({{0x1C, 0x71, 0x01}, {0x01, 0x00, 0x01}}), 262144,
                    "size cut short"},
        RefusedCase{"CountCutShort", {0x1C, 0x71}, 262144, "FS q: cut short"},
        RefusedCase{"XZero", Concat({{0x1C, 0x71, 0x01}, Header(0, 1)}), 262144, "x=0 y=1 outside"},
        RefusedCase{"X1024", Concat({{0x1C, 0x71, 0x01}, Header(1024, 1), Bytes(1024 * 8, 0xFF)}),
                    262144, "x=1024 y=1 outside"},
        RefusedCase{"YZero", Concat({{0x1C, 0x71, 0x01}, Header(1, 0)}), 262144, "x=1 y=0 outside"},
        RefusedCase{"Y289", Concat({{0x1C, 0x71, 0x01}, Header(1, 289), Bytes(289 * 8, 0)}), 262144,
                    "x=1 y=289 outside"},
        RefusedCase{"BadSecondOfTwo",
                    Concat({{0x1C, 0x71, 0x02}, Header(1, 1), kEightDots, Header(1024, 1)}), 262144,
                    "image 2: size x=1024"},
        RefusedCase{"NoImages", {0x1C, 0x71, 0x00}, 262144, "no image to define"},
        RefusedCase{
            "OverCapacity",
            Concat({{0x1C, 0x71, 0x02}, Header(1, 1), kEightDots, Header(1, 1), kEightDots}), 23,
            "24 bytes exceed the NV capacity of 23 bytes"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(EscPosEmulator, RefusedDefinitionSkipsItsDeclaredBytes) {
    // The 1024-wide definition's 8192 bytes are skipped, and the ESC @ after
    // them is read as a command again.
    NvMemory memory;
    const JobOutcome outcome = Emulate(
        {}, memory, Concat({{0x1C, 0x71, 0x01}, Header(1024, 1), Bytes(8192, 0x1B), {0x1B, 0x40}}),
        kDay);
    ASSERT_EQ(outcome.log.size(), 2u);
    EXPECT_EQ(outcome.log[1].offset, 3u + 4 + 8192);
    EXPECT_EQ(outcome.log[1].text, "ESC @: initialise");
}

TEST(EscPosEmulator, ExactCapacityIsAccepted) {
    NvMemory memory;
    PrinterModel model;
    model.nvCapacity = 24;
    Emulate(model, memory,
            Concat({{0x1C, 0x71, 0x02}, Header(1, 1), kEightDots, Header(1, 1), kEightDots}), kDay);
    EXPECT_EQ(memory.images.size(), 2u);
}

TEST(EscPosEmulator, UploadForgetsTheImagesStoredBefore) {
    NvMemory memory = Uploaded();
    Emulate({}, memory, Concat({{0x1C, 0x71, 0x01}, Header(1, 1), kEightDots}), kDay);
    ASSERT_EQ(memory.images.size(), 1u);
    EXPECT_EQ(memory.images[0].Width(), 8);
}

// The warning comes with the first NV write past the model's own daily
// budget, in each of its languages, and the count starts afresh the next day.
TEST(EscPosEmulator, WarnsPastTheModelsNvWritesADayAndCountsAfreshNextDay) {
    const struct {
        PrinterLanguage language;
        uint32_t budget;
        Bytes write;         // one NV write
        const char* warning; // of the write past the budget
    } cases[] = {
        {PrinterLanguage::EscPos, PrinterModel().nvWritesPerDay,
         Concat({{0x1C, 0x71, 0x01}, Header(1, 1), kEightDots}),
         "FS q 1: warning: NV write 11 today; more than 10 a day wear out the NV memory"},
        {PrinterLanguage::EscPos,
         3,
         {0x1C, 0x65},
         "FS e: warning: NV write 4 today; more than 3 a day wear out the NV memory"},
        {PrinterLanguage::StarLine, 2, Concat({{0x1B, 0x1C, 0x71, 0x01}, Header(1, 1), kEightDots}),
         "ESC FS q 1: warning: NV write 3 today; more than 2 a day wear out the NV memory"},
        {PrinterLanguage::StarPrnt, 1, Hex("1B 1D 28 4C 05 00 30 41 43 4C 52"),
         "ESC GS ( L function 65: warning: NV write 2 today; more than 1 a day wear out the NV "
         "memory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.warning);
        PrinterModel model;
        model.language = c.language;
        model.nvWritesPerDay = c.budget;
        NvMemory memory;
        for (uint32_t n = 1; n <= c.budget; ++n) {
            EXPECT_EQ(CountLog(RunLanguageJob(model, memory, c.write, kDay), "warning"), 0u) << n;
        }
        EXPECT_EQ(CountLog(RunLanguageJob(model, memory, c.write, kDay), c.warning), 1u);
        EXPECT_EQ(CountLog(RunLanguageJob(model, memory, c.write, "2024-03-02"), "warning"), 0u);
        EXPECT_EQ(memory.writesThatDay, 1u);
        EXPECT_EQ(memory.writesDay, "2024-03-02");
    }
}

TEST(EscPosEmulator, UnknownCommandsAreLoggedOnceEachAndNeverStopTheDrawing) {
    NvMemory memory;
    const JobOutcome outcome = Emulate(
        {}, memory, {'H', 'i', 0x1B, 0x01, 'x', 0x1B, 0x01, 0x07, 0x1D, 0x99, 0x0A, 0x1C}, kDay);
    ASSERT_EQ(outcome.log.size(), 6u);
    EXPECT_EQ(outcome.log[0].offset, 2u);
    EXPECT_EQ(outcome.log[0].text,
              "1B 01: not understood, skipped; any more of them are skipped unlogged");
    EXPECT_EQ(outcome.log[1].offset, 7u);
    EXPECT_EQ(outcome.log[1].text,
              "07: not understood, skipped; any more of them are skipped unlogged");
    EXPECT_EQ(outcome.log[2].offset, 8u);
    EXPECT_EQ(outcome.log[3].text, "FS: cut short by the end of the job; ignored");
    EXPECT_EQ(outcome.log[4].text,
              "end of job: 30 dots printed and not cut; they come out with the next cut");
    // The job sums up what it did not understand, the repeats unlogged above included.
    EXPECT_EQ(outcome.log[5].text,
              "end of job: 7 bytes not understood in 4 places, the first at @2, @5, @7, @8");
    EXPECT_EQ(outcome.notUnderstood.bytes, 7u);
    // "Hix" printed in font A on a line of 30 dots.
    EXPECT_EQ(outcome.uncut.height, 30);
}

TEST(EscPosEmulator, CommandsCutShortOrMalformedAreRefused) {
    const struct {
        Bytes job;
        const char* text;
    } cases[] = {
        {{0x1C, 0x70, 0x01}, "FS p: cut short by the end of the job; nothing printed"},
        {{0x1C, 0x70, 0x01, 0x04}, "FS p 1 4: size mode not 0 to 3 or 48 to 51; nothing printed"},
        {{0x1C, 0x70, 0x00, 0x30}, "FS p 0 48: image 0 not stored; nothing printed"},
        {{0x1D, 0x56}, "GS V: cut short by the end of the job; no cut"},
        {{0x1D, 0x56, 0x42}, "GS V 66: cut short by the end of the job; no cut"},
        {{0x1D, 0x56, 0x02}, "GS V 2: cut mode not 0, 1, 48, 49, 65 or 66; no cut"},
        // Questions a job may carry are named, not mistaken for data.
        {{0x10, 0x04, 0x01}, "DLE EOT 1: status asked"},
        {{0x10, 0x04}, "DLE EOT: cut short by the end of the job"},
        {{0x1D, 0x49, 0x43}, "GS I 67: identification asked"},
        {{0x1D, 0x28, 0x4C, 0x02, 0x00, 0x30, 0x33},
         "GS ( L function 51: a question; answered where the connection carries replies"},
        {{0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x45, 0x20, 0x20},
         "GS ( L function 69: 2 parameter bytes where 4 belong; nothing printed"},
        {{0x1D, 0x28, 0x4C, 0xFF, 0xFF, 0x30},
         "GS ( L: 65535 parameter bytes announced, 1 left in the job; ignored"},
        {{0x1D, 0x28, 0x41, 0x02, 0x00, 0x00, 0x00}, "GS ( A: 2 bytes not modelled, skipped"},
    };
    for (const auto& c : cases) {
        NvMemory memory = Uploaded();
        const JobOutcome outcome = Emulate({}, memory, c.job, kDay);
        ASSERT_EQ(outcome.log.size(), 1u);
        EXPECT_EQ(outcome.log[0].text, c.text);
        EXPECT_TRUE(outcome.paper.empty());
    }
}

TEST(EscPosEmulator, PaperIsCutIntoPiecesAndTheRestWaitsForTheNextCut) {
    NvMemory memory = Uploaded();
    const Bytes job = {0x1C, 0x70, 0x01, 0x30, 0x1D, 0x56, 0x41, 0x10, // piece 1 + 16 rows
                       0x1D, 0x56, 0x30,                               // nothing to cut
                       0x1C, 0x70, 0x02, 0x30, 0x1D, 0x56, 0x01,       // piece 2
                       0x1C, 0x70, 0x01, 0x32};                        // left uncut
    const JobOutcome outcome = Emulate({}, memory, job, kDay);
    ASSERT_EQ(outcome.paper.size(), 2u);
    EXPECT_EQ(outcome.paper[0].height, 56 + 16);
    EXPECT_EQ(outcome.paper[1].height, 48);
    EXPECT_EQ(outcome.uncut.height, 112);
    EXPECT_EQ(outcome.log.back().text,
              "end of job: 112 dots printed and not cut; they come out with the next cut");
    EXPECT_EQ(outcome.log.back().offset, job.size());

    // The next job prints on below them, and its cut brings the piece out.
    const JobOutcome next =
        RunJob({}, memory, Bytes{0x1C, 0x70, 0x02, 0x30, 0x1D, 0x56, 0x00}, kDay, outcome.uncut);
    ASSERT_EQ(next.paper.size(), 1u);
    EXPECT_EQ(next.paper[0].height, 112 + 48);
    EXPECT_EQ(next.uncut.height, 0);
    EXPECT_EQ(next.log.front().text,
              "the paper printed before and not yet cut, 112 dots, carries on");
}

TEST(EscPosEmulator, ARunawayJobRunsOutOfPaper) {
    NvMemory memory;
    Emulate({}, memory, Concat({{0x1C, 0x71, 0x01}, Header(1, 288), Bytes(288 * 8, 0x81)}), kDay);
    Bytes job;
    const int fits = kPaperRowsPerJob / (288 * 8 * 2);
    for (int i = 0; i < fits + 3; ++i) {
        job.insert(job.end(), {0x1C, 0x70, 0x01, 0x33});
    }
    const JobOutcome outcome = Emulate({}, memory, job, kDay);
    EXPECT_TRUE(outcome.paper.empty());
    EXPECT_EQ(outcome.uncut.height, fits * 288 * 8 * 2);
    EXPECT_EQ(CountLog(outcome, "out of paper"), 3u);
}

// GS ( L (or GS 8 L past 65,535 bytes) with m = 48, built here by hand.
Bytes Graphics(uint8_t fn, const Bytes& parameters, bool longForm = false) {
    const size_t count = parameters.size() + 2;
    Bytes out = longForm ? Bytes{0x1D,
                                 0x38,
                                 0x4C,
                                 static_cast<uint8_t>(count),
                                 static_cast<uint8_t>(count >> 8),
                                 static_cast<uint8_t>(count >> 16),
                                 static_cast<uint8_t>(count >> 24)}
                         : Bytes{0x1D, 0x28, 0x4C, static_cast<uint8_t>(count),
                                 static_cast<uint8_t>(count >> 8)};
    out.push_back(48);
    out.push_back(fn);
    out.insert(out.end(), parameters.begin(), parameters.end());
    return out;
}

// Function 67's parameters for a width x height graphic, every byte `fill`.
Bytes StoreParameters(const char* key, uint16_t width, uint16_t height, uint8_t fill = 0xFF) {
    // Sized once, the head written over the fill: g++ 12 at -O3 takes a
    // vector grown from a braced list for an overflow.
    Bytes p(9 + (width + 7u) / 8u * height, fill);
    const uint8_t head[] = {48,
                            static_cast<uint8_t>(key[0]),
                            static_cast<uint8_t>(key[1]),
                            1,
                            static_cast<uint8_t>(width),
                            static_cast<uint8_t>(width >> 8),
                            static_cast<uint8_t>(height),
                            static_cast<uint8_t>(height >> 8),
                            49};
    std::copy(std::begin(head), std::end(head), p.begin());
    return p;
}

Bytes Store(const char* key, uint16_t width, uint16_t height) {
    return Graphics(67, StoreParameters(key, width, height));
}

std::string Keys(const NvMemory& memory) {
    std::string keys;
    for (const NvGraphic& g : memory.graphics) {
        keys += (keys.empty() ? "" : ",") + g.key;
    }
    return keys;
}

TEST(EscPosEmulator, KeepsNvGraphicsByKey) {
    struct Case {
        const char* what;
        Bytes job;
        std::string keys;
        const char* logged;
        uint32_t writes;
        uint64_t used;
    };
    const Case cases[] = {
        {"two stored in key order", Concat({Store("LG", 16, 1), Store("A1", 9, 2)}), "A1,LG",
         "\"A1\": stored, 9x2 dots, 4 bytes", 2, 6},
        {"a key stored again is replaced", Concat({Store("A1", 9, 2), Store("A1", 8, 1)}), "A1",
         "\"A1\": stored, 8x1 dots, 1 bytes", 2, 1},
        {"one deleted", Concat({Store("A1", 8, 1), Store("B2", 8, 1), Graphics(66, {'A', '1'})}),
         "B2", "\"A1\": deleted", 3, 1},
        {"deleting a key not stored", Concat({Store("A1", 8, 1), Graphics(66, {'Z', 'Z'})}), "A1",
         "\"ZZ\": not stored; nothing deleted", 1, 1},
        {"all deleted",
         Concat({Store("A1", 8, 1), Store("  ", 8, 1), Graphics(65, {'C', 'L', 'R'})}), "",
         "deleted every NV graphic (2 forgotten)", 3, 0},
        {"the long form", Graphics(67, StoreParameters("A1", 8, 3), true), "A1",
         "GS 8 L function 67: \"A1\": stored, 8x3 dots, 3 bytes", 1, 3},
        {"a store that does not fit is ignored",
         Graphics(67, StoreParameters("A1", 8192, 257), true), "",
         "263168 bytes do not fit, 262144 of 262144 bytes free; ignored", 0, 0},
        {"a malformed store is ignored", Graphics(67, {48, 'A', '1', 2, 8, 0, 1, 0, 49, 0xFF}), "",
         "a=48 b=2 c=49", 0, 0},
        {"a key outside 32 to 126 is ignored", Store("A\x7F", 8, 1), "", "outside 32 to 126", 0, 0},
        {"another function is skipped whole, its bytes never run",
         Concat({Graphics(99, {0x1C, 0x65, 0x1C, 0x71}), Store("A1", 8, 1)}), "A1",
         "function 99: not understood, skipped", 1, 1},
        {"questions are left to the connection",
         Concat({Graphics(64, {'K', 'C'}), Store("A1", 8, 1)}), "A1", "function 64: a question", 1,
         1},
    };
    for (const auto& c : cases) {
        NvMemory memory;
        const JobOutcome outcome = Emulate({}, memory, c.job, kDay);
        EXPECT_EQ(Keys(memory), c.keys) << c.what;
        EXPECT_EQ(CountLog(outcome, c.logged), 1u) << c.what;
        EXPECT_EQ(memory.writesThatDay, c.writes) << c.what;
        EXPECT_EQ(NvGraphicsBytesUsed(memory), c.used) << c.what;
        EXPECT_EQ(CountLog(outcome, "FS "), 0u) << c.what;
    }
}

TEST(EscPosEmulator, NvGraphicsAndNvBitImagesEraseEachOther) {
    NvMemory memory = Uploaded();
    JobOutcome outcome = Emulate({}, memory, Store("A1", 8, 1), kDay);
    EXPECT_TRUE(memory.images.empty());
    EXPECT_EQ(CountLog(outcome, "defining NV graphics erased the 2 NV bit images stored"), 1u);
    outcome = Emulate({}, memory, test::UploadStream({test::SmallLogo()}), kDay);
    EXPECT_EQ(memory.images.size(), 1u);
    EXPECT_TRUE(memory.graphics.empty());
    EXPECT_EQ(CountLog(outcome, "defining NV bit images erased the 1 NV graphic stored"), 1u);

    PrinterModel without;
    without.nvGraphics = 0;
    outcome = Emulate(without, memory, Store("A1", 8, 1), kDay);
    EXPECT_EQ(memory.images.size(), 1u);
    EXPECT_EQ(CountLog(outcome, "has no NV graphics memory; ignored"), 1u);
}

TEST(EscPosEmulator, PrintsAStoredGraphicScaled) {
    // A 10 x 2 graphic: the first row dots 0 and 9, the second none.
    Bytes store = {48, 'A', '1', 1, 10, 0, 2, 0, 49, 0x80, 0x40, 0x00, 0x00};
    struct Case {
        uint8_t sx, sy;
        int height;
        std::vector<std::pair<int, int>> dots;
    };
    const Case cases[] = {{1, 1, 2, {{0, 0}, {9, 0}}},
                          {2, 2, 4, {{0, 0}, {1, 1}, {18, 0}, {19, 1}}}};
    for (const auto& c : cases) {
        NvMemory memory;
        const JobOutcome outcome = Emulate(
            {}, memory, Concat({Graphics(67, store), Graphics(69, {'A', '1', c.sx, c.sy})}), kDay);
        // Not cut: the paper stays in the printer.
        EXPECT_TRUE(outcome.paper.empty());
        const MonoPicture& paper = outcome.uncut;
        EXPECT_EQ(paper.height, c.height);
        for (const auto& [x, y] : c.dots) {
            EXPECT_TRUE(paper.Dot(x, y)) << x << "," << y;
        }
        EXPECT_FALSE(paper.Dot(2 * c.sx, 0));
        EXPECT_EQ(CountLog(outcome, "printed at"), 1u);
    }
    NvMemory memory;
    const JobOutcome missing = Emulate({}, memory, Graphics(69, {'Z', 'Z', 1, 1}), kDay);
    EXPECT_EQ(missing.uncut.height, 0);
    EXPECT_EQ(CountLog(missing, "\"ZZ\": not stored; nothing printed"), 1u);
}

Bytes Logo(uint8_t fn, const Bytes& parameters) {
    const size_t count = parameters.size() + 2;
    Bytes out{0x1C, 0x28, 0x45, static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8),
              fn,   2};
    out.insert(out.end(), parameters.begin(), parameters.end());
    return out;
}

TEST(EscPosEmulator, KeepsTheAutomaticLogoInItsNvMemory) {
    const AutoLogo topA1{"A1", 49, 0};
    const AutoLogo bottomA2{"A2", 50, 0};
    struct Case {
        const char* what;
        Bytes job;
        std::optional<AutoLogo> top, bottom;
        uint32_t writes;
        const char* logged;
    };
    const Case cases[] = {
        {"top and bottom set", Concat({Logo(62, {'A', '1', 49, 0}), Logo(63, {'A', '2', 50})}),
         topA1, bottomA2, 2, "FS ( E 63: bottom logo \"A2\""},
        {"set, then the top cancelled",
         Concat({Logo(62, {'A', '1', 49, 0}), Logo(63, {'A', '2', 50}),
                 Logo(60, {48, 'C', 'L', 'R'})}),
         std::nullopt, bottomA2, 3, "FS ( E 60: top logo cancelled"},
        {"cancelling what is not set writes nothing", Logo(60, {49, 'C', 'L', 'R'}), std::nullopt,
         std::nullopt, 0, "no bottom logo is set; ignored"},
        {"an alignment out of range", Logo(62, {'A', '1', 51, 0}), std::nullopt, std::nullopt, 0,
         "key or alignment out of range"},
        {"the question and switching off write nothing",
         Concat({Logo(61, {48}), Logo(65, {48, 49})}), std::nullopt, std::nullopt, 0, nullptr},
        {"its bytes never run as commands", Logo(99, {0x1C, 0x65, 0x1B, 0x40}), std::nullopt,
         std::nullopt, 0, "FS ( E 99: not understood"},
    };
    for (const auto& c : cases) {
        NvMemory memory;
        const JobOutcome outcome = Emulate({}, memory, c.job, kDay);
        EXPECT_EQ(memory.topLogo, c.top) << c.what;
        EXPECT_EQ(memory.bottomLogo, c.bottom) << c.what;
        EXPECT_EQ(memory.writesThatDay, c.writes) << c.what;
        if (c.logged != nullptr) {
            EXPECT_EQ(CountLog(outcome, c.logged), 1u) << c.what;
        }
        EXPECT_EQ(CountLog(outcome, "FS ( E:"), 0u) << c.what;
        EXPECT_EQ(CountLog(outcome, "initialise"), 0u) << c.what;
    }
    PrinterModel without;
    without.nvGraphics = 0;
    NvMemory memory;
    const JobOutcome outcome = Emulate(without, memory, Logo(62, {'A', '1', 49, 0}), kDay);
    EXPECT_FALSE(memory.topLogo);
    EXPECT_EQ(CountLog(outcome, "no automatic logo"), 1u);
}

TEST(EscPosEmulator, DrawsTheAutomaticLogoAtTheTopAndBottomOfEveryReceipt) {
    PrinterModel model;
    model.paperWidth = 64;
    NvMemory memory;
    // A1: 16 x 4 dots, A2: 8 x 2 dots, all black.
    static_cast<void>(Emulate(model, memory,
                              Concat({Store("A1", 16, 4), Store("A2", 8, 2),
                                      Logo(62, {'A', '1', 49, 0}), Logo(63, {'A', '2', 50})}),
                              kDay));
    const Bytes receipt = Concat({Hex("1B 4A 0A"), Hex("1D 56 00")}); // feed 10 dots, cut
    struct Case {
        const char* what;
        Bytes job;
        int top, bottom; // rows of each logo drawn
    };
    const Case cases[] = {
        {"both on", Concat({receipt, receipt}), 4, 2},
        {"the bottom switched off for the job", Concat({Logo(65, {49, 49}), receipt, receipt}), 4,
         0},
    };
    for (const auto& c : cases) {
        NvMemory copy = memory;
        const JobOutcome outcome = Emulate(model, copy, c.job, kDay);
        ASSERT_EQ(outcome.paper.size(), 2u) << c.what;
        for (const MonoPicture& piece : outcome.paper) {
            ASSERT_GE(piece.height, c.top + c.bottom + 10) << c.what;
            // The top logo centred on the first rows: dots 24 to 39.
            EXPECT_TRUE(piece.Dot(24, 0)) << c.what;
            EXPECT_TRUE(piece.Dot(39, c.top - 1)) << c.what;
            EXPECT_FALSE(piece.Dot(23, 0)) << c.what;
            EXPECT_FALSE(piece.Dot(24, c.top)) << c.what;
            // The bottom logo at the right, below the feed: dots 56 to 63.
            const int bottomRow = c.top + 10;
            EXPECT_EQ(bottomRow < piece.height && piece.Dot(63, bottomRow), c.bottom > 0) << c.what;
            EXPECT_FALSE(bottomRow < piece.height && piece.Dot(55, bottomRow)) << c.what;
        }
    }
}

// How far each command reaches: an ESC @ after it must start where it ends,
// and it logs what the table says (nothing, for most).
TEST(EscPosEmulator, ParsesEachCommandToItsEnd) {
    const struct {
        const char* bytes;
        const char* logged; // the one line logged, or "" for none
    } cases[] = {
        {"0A 0D 09 41", ""},
        {"1B 21 38", ""},
        {"1B 45 01", ""},
        {"1B 2D 02", ""},
        {"1B 61 31", ""},
        {"1D 21 11", ""},
        {"1B 64 02", ""},
        {"1B 4A 10", ""},
        {"1B 32 1B 33 18", ""},
        {"1B 4D 01", ""},
        {"1B 74 00 1B 74 10", ""},
        {"1B 74 05", "ESC t 5: code page not drawn here; PC437 (0) and WPC1252 (16) are, and "
                     "Korean through FS &; PC437 used"},
        {"1C 26 B0 A1 81 41 FE FE 1C 2E", ""}, // the first and last lead bytes too
        {"1D 42 01 1B 7B 01 1B 20 02", ""},
        {"1D 48 02 1D 68 20 1D 77 02 1D 66 01", ""},
        {"1D 76 30 00 01 00 02 00 FF 81", ""},
        {"1B 2A 21 02 00 FF 00 FF 00 FF 00", ""},
        {"1B 2A 00 01 00 AA", ""},
        {"1D 28 4C 0B 00 30 70 30 01 01 31 08 00 01 00 FF 1D 28 4C 02 00 30 32", ""},
        {"1D 6B 02 34 30 30 36 33 38 31 33 33 33 39 33 00", ""},
        {"1D 6B 49 05 7B 42 41 42 43", ""},
        {"1D 6B 45 03 41 42 43", ""},
        {"1D 6B 41 0B 30 33 36 30 30 30 32 39 31 34 35", ""},
        {"1D 6B 43 0D 34 30 30 36 33 38 31 33 33 33 39 33 30",
         "GS k 67: EAN-13 check digit 0 where 1 belongs; nothing printed"},
        {"1D 6B 48 02 41 42", "GS k 72: bar code system not drawn here, skipped"},
        {"1D 28 6B 03 00 31 43 04 1D 28 6B 03 00 31 45 31 1D 28 6B 05 00 31 50 30 41 42 "
         "1D 28 6B 03 00 31 51 30",
         ""},
        {"1D 28 6B 03 00 31 51 30", "GS ( k QR print: no data stored; nothing printed"},
        {"1D 28 6B 04 00 30 41 02 00",
         "GS ( k cn=48: two-dimensional code not drawn here, skipped"},
        {"1B 70 00 19 FA", "ESC p (drawer pulse): not drawn, skipped"},
        {"1D 4C 10 00", "GS L (left margin): not drawn, skipped"},
        {"1B 44 08 10 00", "ESC D (tab stops): not drawn, skipped; tabs stay every 8 characters"},
        {"1B 26 03 41 42 02 00 00 00 00 00 00 01 FF FF FF",
         "ESC & (user-defined characters): not drawn, skipped"},
        {"1D 2A 01 01 00 00 00 00 00 00 00 00", "GS * (downloaded bit image): not drawn, skipped"},
        {"10 14 01 00 01", "DLE DC4 (real-time command): not drawn, skipped"},
        {"1B 69", "ESC i: partial cut; nothing printed since the last cut, no piece of paper"},
        {"1B 6D", "ESC m: partial cut; nothing printed since the last cut, no piece of paper"},
    };
    for (const auto& c : cases) {
        NvMemory memory;
        const Bytes command = Hex(c.bytes);
        const JobOutcome outcome = Emulate({}, memory, Concat({command, {0x1B, 0x40}}), kDay);
        std::vector<LogEntry> logged;
        for (const LogEntry& entry : outcome.log) {
            if (entry.text != "ESC @: initialise" && !entry.text.starts_with("end of job")) {
                logged.push_back(entry);
            }
        }
        ASSERT_EQ(logged.size(), *c.logged == '\0' ? 0u : 1u) << c.bytes << ": " << [&] {
            std::string all;
            for (const LogEntry& e : logged) {
                all += e.text + "; ";
            }
            return all;
        }();
        if (!logged.empty()) {
            EXPECT_EQ(logged[0].text, c.logged) << c.bytes;
        }
        EXPECT_EQ(CountLog(outcome, "ESC @: initialise"), 1u) << c.bytes;
        const auto init =
            std::find_if(outcome.log.begin(), outcome.log.end(),
                         [](const LogEntry& e) { return e.text == "ESC @: initialise"; });
        ASSERT_NE(init, outcome.log.end()) << c.bytes;
        EXPECT_EQ(init->offset, command.size()) << c.bytes;
    }
}

// Module patterns as rows of 8 modules in hex, and check digits, of codes
// whose encodings are published (EAN-13 4006381333931 and 5901234123457,
// UPC-A 036000291452, EAN-8 96385074) or fixed by the symbology's tables.
TEST(Barcodes, EncodeThePublishedExamples) {
    const auto hex = [](const BarcodeModules& code) {
        std::string out;
        unsigned value = 0;
        size_t n = 0;
        for (const bool module : code.modules) {
            value = value << 1 | (module ? 1u : 0u);
            if (++n % 8 == 0) {
                char byte[4];
                std::snprintf(byte, sizeof byte, "%02X ", value);
                out += byte;
                value = 0;
            }
        }
        if (n % 8 != 0) {
            char byte[4];
            std::snprintf(byte, sizeof byte, "%02X", value << (8 - n % 8));
            out += byte;
        }
        return out;
    };
    EXPECT_EQ(EanCheckDigit("400638133393"), 1);
    EXPECT_EQ(EanCheckDigit("590123412345"), 7);
    EXPECT_EQ(EanCheckDigit("03600029145"), 2);
    EXPECT_EQ(EanCheckDigit("9638507"), 4);
    const struct {
        BarcodeModules code;
        const char* modules;
        const char* text;
    } cases[] = {
        {EncodeEan13("400638133393"), "A3 53 AF 7A 25 9A A1 42 85 D2 16 6A", "4006381333931"},
        {EncodeEan13("4006381333931"), "A3 53 AF 7A 25 9A A1 42 85 D2 16 6A", "4006381333931"},
        {EncodeUpcA("03600029145"), "A3 5E AF 1A 34 6A B6 74 CD 72 76 CA", "036000291452"},
        {EncodeEan8("9638507"), "A2 D7 BD 6E A9 DC A2 5C A0", "96385074"},
        // Start B, P J J 1 2 3 C, the check value, stop.
        {EncodeCode128("{BPJJ123C"), "D2 1D DA DC 5B 89 CD 9C B2 E4 46 E8 D8 EB ", "PJJ123C"},
        {EncodeCode128("{C123456"), "D3 96 72 2C 71 68 DD 8E B0", "123456"},
        {EncodeCode39("CODE39", 2), "96 D6 D2 B5 A5 59 6D 65 6C AA CB 52 DA", "*CODE39*"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.code.problem, "") << c.text;
        EXPECT_EQ(hex(c.code), c.modules) << c.text;
        EXPECT_EQ(c.code.text, c.text);
    }
    std::string problem;
    std::string text;
    const std::vector<int> values = Code128Values("{BPJJ123C", &problem, &text);
    ASSERT_EQ(values.size(), 10u);
    // (104 + 1x48 + 2x42 + 3x42 + 4x17 + 5x18 + 6x19 + 7x35) mod 103
    EXPECT_EQ(values[8], 55);
    EXPECT_EQ(EncodeEan13("4006381333930").problem, "EAN-13 check digit 0 where 1 belongs");
    EXPECT_EQ(EncodeCode128("PJJ").problem, "CODE128 data starts with {A, {B or {C");
    EXPECT_EQ(EncodeCode128("{C123").problem, "CODE128 code set C takes digits in pairs");
    EXPECT_EQ(EncodeCode39("a", 3).problem, "CODE39 has no character 97");
}

// Without its font the printer says where it looked and what to install.
TEST(BitmapFont, NamesTheMissingFontAndThePackage) {
    const BitmapFont missing = BitmapFont::Load("/nonexistent/unifont.hex");
    EXPECT_FALSE(missing.Loaded());
    EXPECT_EQ(missing.Problem(),
              "the font /nonexistent/unifont.hex cannot be read (No such file or "
              "directory); install the Debian package unifont");
    const BitmapFont& installed = BitmapFont::Installed();
    ASSERT_TRUE(installed.Loaded()) << installed.Problem();
    EXPECT_EQ(installed.Glyph(U'A').width, 8);
    EXPECT_EQ(installed.Glyph(U'\uAC00').width, 16); // Hangul, full width
}

// Small jobs, one for each family of commands, drawn on 384-dot paper and
// compared dot for dot with the pictures kept in tests/virtual/golden. With
// TESSALINE_UPDATE_GOLDEN=1 the pictures are written instead, to be looked
// at before they are kept. The text is GNU Unifont 15 from Debian's package.
TEST(EscPosEmulator, DrawsTheGoldenPictures) {
    const Bytes korean = {0xC7, 0xD1, 0xB1, 0xB9, 0xBE, 0xEE, 0x20,
                          0xBF, 0xB5, 0xBC, 0xF6, 0xC1, 0xF5};
    const Bytes rasterRows = Hex("F0 0F 81 81 A5 A5 81 81 F0 0F");
    PrinterModel model;
    model.paperWidth = 384;
    const struct {
        const char* name;
        Bytes job;
    } cases[] = {
        {"text", Concat({Hex("1B 40"),
                         Text("Font A 12x24 "),
                         Hex("1B 4D 01"),
                         Text("font B 9x17\n"),
                         Hex("1B 4D 00 1B 45 01"),
                         Text("Bold "),
                         Hex("1B 45 00 1B 2D 01"),
                         Text("under"),
                         Hex("1B 2D 02"),
                         Text("lined"),
                         Hex("1B 2D 00 20 1D 42 01"),
                         Text(" reverse "),
                         Hex("1D 42 00 0A 1B 61 01 1D 21 11"),
                         Text("2x2"),
                         Hex("1D 21 00 1B 21 20"),
                         Text(" wide\n"),
                         Hex("1B 21 00 1B 61 02 1B 33 18"),
                         Text("right "),
                         Hex("9C 20 E9 0A 1B 32 1B 61 00 1B 7B 01"),
                         Text("upside down\n"),
                         Hex("1B 7B 00"),
                         Text("a line long enough to pass the right edge wraps\n"),
                         Hex("1B 64 01 1B 4A 08")})},
        {"korean", Concat({Hex("1C 26"), korean, Hex("0A 1B 4D 01"), korean, Hex("0A 1C 2E")})},
        {"pictures",
         Concat({Hex("1D 76 30 00 02 00 05 00"), rasterRows, Hex("1D 76 30 31 02 00 05 00"),
                 rasterRows, Hex("1D 76 30 32 02 00 05 00"), rasterRows,
                 Hex("1B 61 01 1D 76 30 33 02 00 05 00"), rasterRows,
                 Hex("1B 61 00 1B 33 18 1B 2A 00 03 00 81 42 24 1B 2A 21 02 00 FF 00 FF 00 FF 00 "
                     "0A"),
                 Hex("1B 61 02 1D 28 4C 14 00 30 70 30 02 01 31 10 00 05 00"), rasterRows,
                 Hex("1D 28 4C 02 00 30 32 1B 61 01 1C 70 01 00 1D 28 4C 06 00 30 45 4C 47 01 "
                     "01")})},
        {"codes",
         Concat({Hex("1B 61 01 1D 48 02 1D 68 28 1D 77 02 1D 6B 43 0C"), Text("400638133393"),
                 Hex("1D 48 01 1D 6B 41 0B"), Text("03600029145"),
                 Hex("1D 48 03 1D 77 01 1D 6B 45 06"), Text("CODE39"), Hex("1D 48 00 1D 6B 49 09"),
                 Text("{BPJJ123C"),
                 Hex("1D 28 6B 03 00 31 43 03 1D 28 6B 03 00 31 45 31 1D 28 6B 08 00 31 50 30"),
                 Text("Hello"), Hex("1D 28 6B 03 00 31 51 30 1D 56 42 08")})},
    };
    for (const auto& c : cases) {
        NvMemory memory;
        // A stored image (16 x 8) and, for the key, none: bit images and graphics
        // exclude each other, so "LG" shows the miss in the log only.
        memory.images.push_back(NvImage{2, 1, Bytes(16, 0xC3)});
        JobOutcome outcome = Emulate(model, memory, c.job, kDay);
        MonoPicture drawn =
            outcome.paper.empty() ? std::move(outcome.uncut) : std::move(outcome.paper[0]);
        ASSERT_GT(drawn.height, 0) << c.name;
        const std::filesystem::path golden =
            std::filesystem::path(TESSALINE_GOLDEN_DIR) / (std::string(c.name) + ".png");
        const std::vector<uint8_t> png = EncodePng(drawn);
        if (std::getenv("TESSALINE_UPDATE_GOLDEN") != nullptr) {
            ASSERT_TRUE(ReplaceFileAtomically(golden, png)) << golden;
            continue;
        }
        const Result<std::string> kept = ReadWholeFile(golden);
        ASSERT_TRUE(kept) << golden;
        const std::string& bytes = kept.Value();
        const Result<MonoPicture> read = DecodePng(
            std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        ASSERT_TRUE(read) << golden;
        const MonoPicture& picture = read.Value();
        const bool same = picture.width == drawn.width && picture.height == drawn.height &&
                          picture.bits == drawn.bits;
        if (!same) {
            const std::string drawnName = std::string(c.name) + "-drawn.png";
            static_cast<void>(ReplaceFileAtomically(drawnName, png));
            ADD_FAILURE() << c.name << " differs from " << golden << "; drawn as " << drawnName;
        }
    }
}

} // namespace
} // namespace tessaline
