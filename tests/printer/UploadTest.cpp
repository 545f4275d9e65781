// SPDX-License-Identifier: MIT
#include "UploadStream.h"
#include "imaging/CLogoImage.h"
#include "platform/AtomicFile.h"
#include "printer/PrinterMethods.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/PrinterBench.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace tessaline {
namespace {

namespace fs = std::filesystem;
using test::CallKind;
using test::Concat;
using test::Hex;
using test::PrinterBench;

// A folder of logo files that lives as long as the test.
class LogoFolder {
public:
    // A 24-bit file: black where `black` says, white elsewhere.
    std::string Logo(
        const std::string& name, int w, int h,
        std::function<bool(int, int)> black = [](int, int) { return true; }) {
        return Write(name, test::MakeBlackOnWhite(w, h, black));
    }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = m_folder.File(name);
        EXPECT_TRUE(test::WriteFile(path, bytes));
        return path;
    }
    std::string Missing(const std::string& name) const { return m_folder.File(name); }

private:
    test::TempFolder m_folder;
};

// Header and raster as the stream must carry them, converted the way an upload does.
std::vector<uint8_t> ImageBytes(const std::string& path, int32_t mode = 0, int32_t brightness = 5) {
    auto image = std::make_unique<CLogoImage>();
    image->SetPictureWriter(ReplaceWholeFile);
    const LogoFlags flags = ReadLogo(*image, path);
    image->ConvertLogo(flags.greyFlag, flags.whiteFlag, mode, brightness);
    const auto header = NvImageHeader(image->PaddedWidth(), image->PaddedHeight());
    EXPECT_TRUE(header.has_value());
    const auto raster = image->Raster();
    return Concat({std::vector<uint8_t>(header->begin(), header->end()),
                   std::vector<uint8_t>(raster.begin(), raster.end())});
}

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& bytes, size_t n) {
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)};
}

TEST(SplitNVImage, EveryPathEndsWithABarOrTheList) {
    struct Case {
        std::string list;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {"a.bmp|b.bmp|", {"a.bmp", "b.bmp"}},
        {"a.bmp|b.bmp", {"a.bmp", "b.bmp"}},
        {"a.bmp", {"a.bmp"}},
        {"", {}},
        {"|", {""}},
        {"||x", {"", "", "x"}},
        {" a b |C:\\Logos\\c.bmp|", {" a b ", "C:\\Logos\\c.bmp"}},
        {"/t/\xEB\xA1\x9C\xEA\xB3\xA0.bmp|", {"/t/\xEB\xA1\x9C\xEA\xB3\xA0.bmp"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitNVImage(c.list), c.paths) << c.list;
    }
}

TEST(NvImageHeader, CountsEightDotUnitsLowByteFirst) {
    EXPECT_EQ(NvImageHeader(8, 8), (std::array<uint8_t, 4>{1, 0, 1, 0}));
    EXPECT_EQ(NvImageHeader(104, 56), (std::array<uint8_t, 4>{0x0D, 0, 0x07, 0}));
    EXPECT_EQ(NvImageHeader(512, 48), (std::array<uint8_t, 4>{0x40, 0, 0x06, 0}));
    EXPECT_EQ(NvImageHeader(8184, 2304), (std::array<uint8_t, 4>{0xFF, 0x03, 0x20, 0x01}));
    for (const auto& [w, h] : std::vector<std::pair<int32_t, int32_t>>{
             {0, 8}, {8, 0}, {-8, 8}, {12, 8}, {8, 9}, {8 * 65536, 8}}) {
        EXPECT_FALSE(NvImageHeader(w, h).has_value()) << w << "x" << h;
    }
}

TEST(Upload, SendsTheDefinitionOfEveryListedImage) {
    LogoFolder folder;
    const std::string a =
        folder.Logo("a.bmp", 100, 50, [](int x, int y) { return (x + y) % 3 == 0; });
    const std::string b = folder.Logo("b.bmp", 512, 48, [](int x, int) { return x < 200; });
    PrinterBench bench;
    EXPECT_EQ(Upload(bench.Context(), 0, "THERMAL #1", a + "|" + b + "|", 0, 5).Code(), kPrinterOk);

    const std::vector<uint8_t> first = ImageBytes(a);
    const std::vector<uint8_t> second = ImageBytes(b);
    ASSERT_EQ(first.size(), 4u + 728u);
    ASSERT_EQ(second.size(), 4u + 3072u);
    EXPECT_EQ(Prefix(first, 4), Hex("0D 00 07 00"));
    EXPECT_EQ(Prefix(second, 4), Hex("40 00 06 00"));
    EXPECT_EQ(bench.rec->Written(), Concat({Hex("1B 40 1C 71 02"), first, second}));
    EXPECT_TRUE(bench.rec->EveryWriteOneByte());
    EXPECT_EQ(bench.progress, (std::vector<int32_t>{1, 2}));

    // The pause comes between ESC @ and FS q, and lasts 100 ms.
    const std::vector<CallKind> seq = bench.rec->Sequence();
    const std::vector<CallKind> head{CallKind::OpenPlain, CallKind::StartJob, CallKind::Write,
                                     CallKind::Write,     CallKind::Pause,    CallKind::Write};
    EXPECT_EQ(std::vector<CallKind>(seq.begin(), seq.begin() + 6), head);
    EXPECT_EQ(bench.rec->Count(CallKind::Pause), 1u);
    for (const auto& call : bench.rec->calls) {
        if (call.kind == CallKind::Pause) {
            EXPECT_EQ(call.millis, 100);
        }
    }
    const auto& record = bench.rec->driverData["THERMAL #1"]["TTY DeviceConfig"].bytes;
    ASSERT_EQ(record.size(), 1480u);
    EXPECT_EQ(record[1204], 1);

    // The same files' bytes held in memory make the same job, and a bad one
    // is named as it was given, with nothing sent.
    PrinterBench held;
    const auto bytesOf = [](const std::string& path) { return ReadFileBytes(path).Value(); };
    EXPECT_EQ(
        UploadLogos(held.Context(), "THERMAL #1", {{"a", bytesOf(a)}, {"b", bytesOf(b)}}, 0, 5)
            .Code(),
        kPrinterOk);
    EXPECT_EQ(held.rec->Written(), bench.rec->Written());
    EXPECT_EQ(held.rec->driverData["THERMAL #1"]["TTY DeviceConfig"].bytes, record);
    PrinterBench refused;
    const Result<void> junk = UploadLogos(refused.Context(), "THERMAL #1",
                                          {{"a", bytesOf(a)}, {"junk", Hex("42 4D")}}, 0, 5);
    EXPECT_EQ(junk.Code(), kPrinterRefused);
    EXPECT_EQ(junk.Reason().rfind("junk: ", 0), 0u) << junk.Reason();
    EXPECT_TRUE(refused.rec->Written().empty());
}

TEST(Upload, SmallImagesArePaddedToEightDots) {
    LogoFolder folder;
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{8, 8}, {1, 1}, {7, 3}}) {
        const std::string path = folder.Logo("s.bmp", w, h);
        PrinterBench bench;
        EXPECT_EQ(Upload(bench.Context(), 0, "THERMAL #1", path + "|", 1, 5).Code(), kPrinterOk);
        const std::vector<uint8_t> written = bench.rec->Written();
        ASSERT_EQ(written.size(), 5u + 4u + 8u) << w << "x" << h;
        EXPECT_EQ(std::vector<uint8_t>(written.begin() + 5, written.begin() + 9),
                  Hex("01 00 01 00"));
    }
}

TEST(Upload, AllBlackImageSendsAllDots) {
    LogoFolder folder;
    const std::string path = folder.Logo("black.bmp", 8, 8);
    PrinterBench bench;
    EXPECT_EQ(Upload(bench.Context(), 0, "THERMAL #1", path + "|", 0, 5).Code(), kPrinterOk);
    EXPECT_EQ(bench.rec->Written(), Hex("1B 40 1C 71 01 01 00 01 00 FF FF FF FF FF FF FF FF"));
}

TEST(Upload, APathWithoutItsBarIsSentLikeTheOthers) {
    LogoFolder folder;
    const std::string a = folder.Logo("a.bmp", 8, 8);
    const std::string b = folder.Logo("b.bmp", 16, 16);
    const struct {
        std::string list;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {a + "|" + b, Concat({Hex("1B 40 1C 71 02"), ImageBytes(a), ImageBytes(b)})},
        {a, Concat({Hex("1B 40 1C 71 01"), ImageBytes(a)})},
    };
    for (const auto& c : cases) {
        PrinterBench bench;
        EXPECT_EQ(Upload(bench.Context(), 0, "THERMAL #1", c.list, 0, 5).Code(), kPrinterOk)
            << c.list;
        EXPECT_EQ(bench.rec->Written(), c.bytes) << c.list;
    }
}

TEST(Upload, AListWithoutAPathIsRefusedAndSendsNothing) {
    PrinterBench bench;
    const Result<void> uploaded = Upload(bench.Context(), 0, "THERMAL #1", "", 0, 5);
    EXPECT_EQ(uploaded.Code(), kPrinterRefused);
    EXPECT_EQ(uploaded.Reason(), "the list names no logo file");
    EXPECT_TRUE(bench.rec->Sequence().empty());
    EXPECT_TRUE(bench.rec->driverData.empty());
}

TEST(Upload, BrightnessOutside0To10CountsAsTheNearestEnd) {
    LogoFolder folder;
    const std::string grey = folder.Write("grey.bmp", test::Make24(24, 16, [](int x, int y) {
                                              const auto v = static_cast<uint8_t>(x * 9 + y * 3);
                                              return test::Bgr{v, v, v};
                                          }));
    for (const int32_t mode : {0, 1}) {
        for (const auto& [given, applied] : std::vector<std::pair<int32_t, int32_t>>{
                 {99, 10}, {11, 10}, {INT32_MAX, 10}, {-1, 0}, {INT32_MIN, 0}}) {
            PrinterBench bench;
            EXPECT_EQ(Upload(bench.Context(), 0, "THERMAL #1", grey + "|", mode, given).Code(),
                      kPrinterOk);
            EXPECT_EQ(bench.rec->Written(),
                      Concat({Hex("1B 40 1C 71 01"), ImageBytes(grey, mode, applied)}))
                << "mode " << mode << " brightness " << given;
        }
    }
}

TEST(Upload, AnotherSelectorSendsNoImageButEnables) {
    PrinterBench bench;
    // The list is not even looked at: nothing of it is sent.
    EXPECT_EQ(Upload(bench.Context(), 1, "THERMAL #1", "/no/such/file.bmp|", 0, 5).Code(),
              kPrinterOk);
    EXPECT_EQ(bench.rec->Count(CallKind::Write), 0u);
    EXPECT_EQ(bench.rec->Count(CallKind::StartJob), 1u);
    EXPECT_TRUE(bench.progress.empty());
    EXPECT_EQ(bench.rec->driverData["THERMAL #1"]["TTY DeviceConfig"].bytes.at(1204), 1);
}

TEST(Upload, ProgressFollowsEachImagesLastByte) {
    LogoFolder folder;
    const std::string a = folder.Logo("a.bmp", 16, 8);
    const std::string b = folder.Logo("b.bmp", 8, 24);
    const std::string c = folder.Logo("c.bmp", 8, 8);
    PrinterBench bench;
    std::vector<size_t> writesAt;
    PrinterContext context = bench.Context();
    context.progress = [&](int32_t data) {
        bench.progress.push_back(data);
        writesAt.push_back(bench.rec->Count(CallKind::Write));
    };
    EXPECT_EQ(Upload(context, 0, "THERMAL #1", a + "|" + b + "|" + c + "|", 0, 5).Code(),
              kPrinterOk);
    EXPECT_EQ(bench.progress, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(writesAt,
              (std::vector<size_t>{5 + 4 + 16, 5 + 4 + 16 + 4 + 24, 5 + 4 + 16 + 4 + 24 + 4 + 8}));
}

TEST(Upload, SendsUpTo255ImagesAndRefusesMore) {
    LogoFolder folder;
    const std::string a = folder.Logo("a.bmp", 8, 8);
    std::string list;
    for (int i = 0; i < 255; ++i) {
        list += a + "|";
    }
    PrinterBench full;
    EXPECT_EQ(Upload(full.Context(), 0, "THERMAL #1", list, 0, 5).Code(), kPrinterOk);
    EXPECT_EQ(Prefix(full.rec->Written(), 5), Hex("1B 40 1C 71 FF"));
    EXPECT_EQ(full.progress.size(), 255u);
    EXPECT_EQ(full.progress.back(), 255);

    PrinterBench over;
    EXPECT_EQ(Upload(over.Context(), 0, "THERMAL #1", list + a + "|", 0, 5).Code(),
              kPrinterRefused);
    EXPECT_TRUE(over.rec->Sequence().empty());
    EXPECT_TRUE(over.rec->driverData.empty());
}

TEST(Upload, AListThatCannotBeSentWholeSendsNothing) {
    LogoFolder folder;
    const std::string good = folder.Logo("good.bmp", 8, 8);
    const std::string wide = folder.Logo("wide.bmp", 8185, 1);
    const std::string tall = folder.Logo("tall.bmp", 1, 2305);
    const std::string junk = folder.Write("junk.bmp", Hex("42 4D 00 01 02 03"));
    const std::string missing = folder.Missing("missing.bmp");
    const std::pair<std::string, std::string> cases[] = {
        {wide, wide + ": too large for the printer's NV memory (8185 x 1 dots"},
        {tall, tall + ": too large for the printer's NV memory (1 x 2305 dots"},
        {junk, junk + ": truncated file header"},
        {missing, missing + ": file not found"},
        {std::string(), "the list holds an empty path"},
    };
    for (const auto& [bad, failure] : cases) {
        PrinterBench bench;
        const Result<void> uploaded =
            Upload(bench.Context(), 0, "THERMAL #1", good + "|" + bad + "|" + good + "|", 0, 5);
        EXPECT_EQ(uploaded.Code(), kPrinterRefused) << bad;
        EXPECT_EQ(uploaded.Reason().rfind(failure, 0), 0u) << uploaded.Reason();
        EXPECT_TRUE(bench.rec->Sequence().empty()) << bad;
        EXPECT_TRUE(bench.progress.empty());
        EXPECT_TRUE(bench.rec->driverData.empty());
    }
}

TEST(Upload, TheLargestImageTheCommandCarriesIsAccepted) {
    LogoFolder folder;
    const std::string path = folder.Logo("max.bmp", 8184, 8, [](int, int) { return false; });
    EXPECT_EQ(UploadListRefusal({path}), "");
}

TEST(Upload, EachFileIsReadOnceWithinTheMemoryBoundAndAgainBeyondIt) {
    // The check keeps what it had to decode to check (an RLE file here), so
    // such a file removed after it is still sent as checked; beyond the
    // bound, and always for a plain BMP (whose check needs no rows), it is
    // read again, and then its loss stops the stream before its header.
    // Without worker threads the calling thread does it all, to the same bytes.
    struct Case {
        size_t decodedBytes;
        size_t workers;
        bool rle;
        StreamResult result;
        bool bSent;
    };
    constexpr size_t kAll = UploadMemoryBound{}.decodedBytes;
    test::BmpSpec rle;
    rle.width = 16;
    rle.height = 2;
    rle.bitsPerPixel = 8;
    rle.compression = 1;
    rle.palette = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    rle.coloursUsed = 2;
    rle.raw = {0x10, 0x00, 0x00, 0x00, 0x08, 0x01, 0x08, 0x00, 0x00, 0x01};
    for (const Case c : {Case{kAll, kMaxUploadWorkers, true, StreamResult::Sent, true},
                         Case{kAll, 0, true, StreamResult::Sent, true},
                         Case{kAll, kMaxUploadWorkers, false, StreamResult::Refused, false},
                         Case{kAll, 0, false, StreamResult::Refused, false},
                         Case{0, kMaxUploadWorkers, true, StreamResult::Refused, false},
                         Case{0, 0, true, StreamResult::Refused, false}}) {
        LogoFolder folder;
        const std::string a = folder.Logo("a.bmp", 8, 8);
        const std::string b =
            c.rle ? folder.Write("b.bmp", test::BuildBmp(rle)) : folder.Logo("b.bmp", 16, 16);
        const std::vector<uint8_t> bBytes = ImageBytes(b);
        UploadImages images({a, b}, 0, 5, {}, UploadMemoryBound{c.decodedBytes, 0}, c.workers);
        ASSERT_EQ(images.Check(), "");
        fs::remove(b);
        PrinterBench bench;
        CPrinterChannel channel(bench.spooler);
        ASSERT_EQ(channel.OpenLogoDocument("THERMAL #1"), 1);
        std::string refusal;
        EXPECT_EQ(WriteUploadStream(channel, images, bench.Context().progress, {}, &refusal),
                  c.result);
        const auto sent = Concat({Hex("1B 40 1C 71 02"), ImageBytes(a)});
        EXPECT_EQ(bench.rec->Written(), c.bSent ? Concat({sent, bBytes}) : sent);
        EXPECT_EQ(refusal, c.bSent ? "" : b + ": file not found");
        EXPECT_EQ(bench.progress, c.bSent ? (std::vector<int32_t>{1, 2}) : std::vector<int32_t>{1});
    }
}

TEST(Upload, ErrorDiffusionLeavesTheLastFilesThresholdPicture) {
    // Converted in parallel, the files must still leave "TempTe.bmp" as
    // converting them in turn does: the last file's.
    LogoFolder folder;
    const fs::path before = fs::current_path();
    fs::current_path(fs::path(folder.Missing("")).parent_path());
    std::string list;
    std::string last;
    // The file before the last is the slowest, so it ends after the last one.
    for (int i = 0; i < 6; ++i) {
        last = folder.Logo("l" + std::to_string(i) + ".bmp", i == 4 ? 1200 : 16, i == 4 ? 600 : 8,
                           [i](int x, int y) { return (x + y * i) % 3 == 0; });
        list += last + "|";
    }
    PrinterBench bench;
    EXPECT_EQ(Upload(bench.Context(), 0, "THERMAL #1", list, 1, 5).Code(), kPrinterOk);
    const auto read = [] {
        std::ifstream in("TempTe.bmp", std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    };
    const std::vector<uint8_t> uploaded = read();
    ImageBytes(last, 1, 5); // writes the last file's own threshold picture
    EXPECT_FALSE(uploaded.empty());
    EXPECT_EQ(uploaded, read());
    fs::current_path(before);
}

TEST(Upload, ARefusedByteEndsTheStreamThere) {
    LogoFolder folder;
    const std::string a = folder.Logo("a.bmp", 8, 8);
    const std::string b = folder.Logo("b.bmp", 8, 8);
    const std::vector<uint8_t> whole =
        Concat({Hex("1B 40 1C 71 02"), ImageBytes(a), ImageBytes(b)});
    struct Case {
        size_t failingWrite;
        size_t pauses;
        std::vector<int32_t> progress;
    };
    const Case cases[] = {
        {1, 0, {}},   // ESC @
        {2, 0, {}},   // no pause after half an initialise
        {3, 1, {}},   // FS q
        {5, 1, {}},   // the count
        {7, 1, {}},   // inside the first header
        {12, 1, {}},  // inside the first raster
        {17, 1, {}},  // the first raster's last byte
        {18, 1, {1}}, // the second header
        {whole.size(), 1, {1}},
    };
    for (const Case& c : cases) {
        PrinterBench bench;
        bench.rec->Fail(CallKind::Write, c.failingWrite);
        EXPECT_EQ(Upload(bench.Context(), 0, "THERMAL #1", a + "|" + b + "|", 0, 5).Code(),
                  kPrinterNotSent)
            << c.failingWrite;
        EXPECT_EQ(bench.rec->Written(), Prefix(whole, c.failingWrite - 1)) << c.failingWrite;
        EXPECT_EQ(bench.rec->Count(CallKind::Write), c.failingWrite);
        EXPECT_EQ(bench.rec->Count(CallKind::Pause), c.pauses) << c.failingWrite;
        EXPECT_EQ(bench.progress, c.progress) << c.failingWrite;
        EXPECT_EQ(bench.rec->Count(CallKind::CancelJob), 1u);
        EXPECT_EQ(bench.rec->Count(CallKind::OpenFull), 0u);
    }
}

TEST(Upload, FailuresAroundTheDocumentAreReported) {
    LogoFolder folder;
    const std::string a = folder.Logo("a.bmp", 8, 8);
    struct Case {
        CallKind failing;
        int32_t result;
    };
    for (const Case c :
         {Case{CallKind::OpenPlain, kPrinterNotStarted},
          Case{CallKind::StartJob, kPrinterNotStarted}, Case{CallKind::EndJob, kPrinterNotSent}}) {
        PrinterBench bench;
        bench.rec->Fail(c.failing);
        EXPECT_EQ(Upload(bench.Context(), 0, "THERMAL #1", a + "|", 0, 5).Code(), c.result);
        EXPECT_EQ(bench.rec->Count(CallKind::OpenFull), 0u);
        EXPECT_TRUE(bench.rec->driverData.empty());
    }
}

TEST(Upload, NotInstalledComesBeforeTheListCheck) {
    PrinterBench bench({"Office"});
    EXPECT_EQ(Upload(bench.Context(), 0, "THERMAL #1", "/no/such.bmp|", 0, 5).Code(),
              kPrinterNotInstalled);
    EXPECT_TRUE(bench.rec->Sequence().empty());
}

} // namespace
} // namespace tessaline
