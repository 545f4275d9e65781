// SPDX-License-Identifier: MIT
#include "ImagingTestSupport.h"

#include <fstream>
#include <iterator>

using namespace tessaline;
using namespace tessaline::test;

namespace {

class PreviewFiles : public ScratchDir {
protected:
    std::vector<uint8_t> Read(const std::filesystem::path& p) {
        std::ifstream f(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    }
    std::string Cwd() { return std::filesystem::current_path().string(); }
};

uint32_t Le32(const std::vector<uint8_t>& b, std::size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
           uint32_t{b[at + 3]} << 24;
}

} // namespace

TEST_F(PreviewFiles, GoldenHeaderOfA100x50Logo) {
    const auto path = Put("logo.bmp", Make24(100, 50, [](int x, int) {
                              return x < 50 ? Bgr{0, 0, 0} : Bgr{255, 255, 255};
                          }));
    EXPECT_EQ(Preview(path, 0, 5, ReplaceWholeFile).path, Cwd() + "/Temp.bmp");
    const auto file = Read(m_dir / "Temp.bmp");
    ASSERT_EQ(file.size(), 862u);
    const uint8_t header[62] = {
        'B',  'M',  0x5E, 0x03, 0,   0, 0, 0, 0,  0, 62, 0, 0, 0,                   // file header
        40,   0,    0,    0,    100, 0, 0, 0, 50, 0, 0,  0, 1, 0, 1, 0, 0, 0, 0, 0, // info header
        0x20, 0x03, 0,    0,    0,   0, 0, 0, 0,  0, 0,  0, 2, 0, 0, 0, 0, 0, 0, 0,
        0xFF, 0xFF, 0xFF, 0xFF, 0,   0, 0, 0, // palette: white, black
    };
    EXPECT_TRUE(std::equal(std::begin(header), std::end(header), file.begin()));
    // Row 0: 50 black pixels (bytes 0-5 full, byte 6 top two bits), then white.
    const uint8_t row0[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(std::begin(row0), std::end(row0), file.begin() + 62));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "TempTe.bmp")) << "only error diffusion writes it";
}

TEST_F(PreviewFiles, ErrorDiffusionAlsoWritesTheThresholdFile) {
    const auto path = Put("grey.bmp", Make24(40, 10, [](int x, int) {
                              const auto v = static_cast<uint8_t>(x * 6);
                              return Bgr{v, v, v};
                          }));
    Preview(path, 1, 5, ReplaceWholeFile);
    const auto te = Read(m_dir / "TempTe.bmp");
    const auto pv = Read(m_dir / "Temp.bmp");
    ASSERT_EQ(te.size(), 62u + 8 * 10);
    ASSERT_EQ(pv.size(), te.size());
    // The threshold file is a plain cut at 128: pixels 0-21 (grey < 128) are black.
    for (int x = 0; x < 40; ++x) {
        const bool black = (te[62 + static_cast<std::size_t>(x / 8)] >> (7 - x % 8)) & 1;
        EXPECT_EQ(black, x * 6 < 128) << x;
    }
    EXPECT_NE(te, pv) << "the preview is diffused, not cut";
}

TEST_F(PreviewFiles, BrightnessOutside0To10CountsAsTheNearestEnd) {
    const auto path = Put("grey.bmp", Make24(24, 8, [](int x, int) {
                              const auto v = static_cast<uint8_t>(x * 10);
                              return Bgr{v, v, v};
                          }));
    for (const int16_t mode : {int16_t{0}, int16_t{1}}) {
        for (const auto& [given, applied] : std::vector<std::pair<int16_t, int16_t>>{
                 {99, 10}, {11, 10}, {-1, 0}, {INT16_MIN, 0}}) {
            Preview(path, mode, applied, ReplaceWholeFile);
            const auto expected = Read(m_dir / "Temp.bmp");
            Preview(path, mode, given, ReplaceWholeFile);
            EXPECT_EQ(Read(m_dir / "Temp.bmp"), expected) << mode << " " << given;
        }
    }
}

TEST_F(PreviewFiles, RowLengthAtWord) {
    struct Case {
        int width;
        std::size_t rowBytes;
    };
    for (const Case c : {Case{32, 4}, Case{33, 8}, Case{1, 4}}) {
        const auto path = Put("w.bmp", Make24(c.width, 3, [](int, int) { return Bgr{0, 0, 0}; }));
        Preview(path, 0, 5, ReplaceWholeFile);
        const auto file = Read(m_dir / "Temp.bmp");
        ASSERT_EQ(file.size(), 62 + c.rowBytes * 3) << c.width;
        EXPECT_EQ(Le32(file, 34), c.rowBytes * 3);
        for (std::size_t row = 0; row < 3; ++row) {
            const uint8_t* r = file.data() + 62 + row * c.rowBytes;
            for (int x = 0; x < static_cast<int>(c.rowBytes) * 8; ++x) {
                const bool bit = (r[x / 8] >> (7 - x % 8)) & 1;
                ASSERT_EQ(bit, x < c.width) << "width " << c.width << " bit " << x;
            }
        }
    }
}

TEST_F(PreviewFiles, FilesWithoutGreyConversionAreTheirOwnPreview) {
    const auto one =
        Put("one.bmp", Make1(8, 8, kWhite, kBlack, [](int, int) -> uint8_t { return 1; }));
    const std::string missing = (m_dir / "nope.bmp").string();
    const std::string words = "this is not a bitmap";
    const auto text = Put("text.bmp", std::vector<uint8_t>(words.begin(), words.end()));
    const struct {
        std::string path;
        std::string failure;
    } cases[] = {
        {one, ""},
        {missing, missing + ": file not found"},
        {text, text + ": not a BMP file"},
    };
    for (const auto& c : cases) {
        const PreviewOutcome preview = Preview(c.path, 0, 5, ReplaceWholeFile);
        const std::string& failure = preview.shown.Reason();
        EXPECT_EQ(preview.path, c.path);
        EXPECT_EQ(failure.substr(0, c.failure.size()), c.failure);
        EXPECT_EQ(failure.empty(), c.failure.empty()) << failure;
        EXPECT_EQ(preview.shown.Ok(), c.failure.empty()) << failure;
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir / "Temp.bmp"));
}

TEST_F(PreviewFiles, NoOlderPictureIsLeftUnderTheReturnedName) {
    const auto good = Put("good.bmp", Make24(8, 8, [](int, int) { return Bgr{0, 0, 0}; }));
    auto damaged = Make24(8, 8, [](int, int) { return Bgr{0, 0, 0}; });
    damaged.resize(damaged.size() - 1);
    const auto cut = Put("cut.bmp", damaged);
    const auto wide = Put("wide.bmp", Make24(8185, 8, [](int, int) { return Bgr{0, 0, 0}; }));
    const std::vector<uint8_t> older = {'o', 'l', 'd'};
    const struct {
        const std::string& path;
        int16_t mode;
        bool newPreview;   // Temp.bmp written by this call
        bool newThreshold; // TempTe.bmp written by this call
        bool keptThreshold;
        const char* failure;
    } cases[] = {
        {good, 0, true, false, true, ""}, // "None" leaves an older TempTe.bmp alone
        {good, 1, true, true, false, ""},
        {cut, 0, false, false, false, "truncated pixel data"},
        {cut, 1, false, false, false, "truncated pixel data"},
        {wide, 1, false, false, false, "too large"},
    };
    for (const auto& c : cases) {
        Put("Temp.bmp", older);
        Put("TempTe.bmp", older);
        const PreviewOutcome preview = Preview(c.path, c.mode, 5, ReplaceWholeFile);
        const std::string& failure = preview.shown.Reason();
        EXPECT_EQ(preview.path, Cwd() + "/Temp.bmp");
        EXPECT_NE(failure.find(c.failure), std::string::npos) << c.path << ": " << failure;
        EXPECT_EQ(failure.empty(), std::string(c.failure).empty()) << c.path << ": " << failure;
        EXPECT_EQ(std::filesystem::exists(m_dir / "Temp.bmp"), c.newPreview) << c.path;
        EXPECT_NE(Read(m_dir / "Temp.bmp"), older) << c.path;
        EXPECT_EQ(std::filesystem::exists(m_dir / "TempTe.bmp"), c.newThreshold || c.keptThreshold)
            << c.path << " mode " << c.mode;
        if (c.newThreshold) {
            EXPECT_NE(Read(m_dir / "TempTe.bmp"), older) << c.path;
        }
    }
}

TEST_F(PreviewFiles, PlantedLinkIsReplacedNotFollowed) {
    const auto victim = m_dir / "victim.txt";
    Put("victim.txt", {'k', 'e', 'e', 'p'});
    std::filesystem::permissions(victim, std::filesystem::perms::owner_read);
    std::filesystem::create_symlink(victim, m_dir / "Temp.bmp");
    const auto path = Put("logo.bmp", Make24(8, 8, [](int, int) { return Bgr{0, 0, 0}; }));
    Preview(path, 0, 5, ReplaceWholeFile);
    EXPECT_EQ(Read(victim), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(std::filesystem::is_symlink(m_dir / "Temp.bmp"));
    EXPECT_EQ(Read(m_dir / "Temp.bmp").size(), 62u + 4 * 8);
    // A new picture's permissions, not those of the file the link named.
    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(m_dir / "Temp.bmp").permissions(),
              perms::owner_read | perms::owner_write | perms::group_read | perms::others_read);
    // No temporary file is left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(m_dir)) {
        ++entries;
    }
    EXPECT_EQ(entries, 3);
}

TEST_F(PreviewFiles, LongCurrentDirectory) {
    auto deep = m_dir;
    for (int i = 0; i < 6; ++i) {
        deep /= std::string(60, static_cast<char>('a' + i));
    }
    std::filesystem::create_directories(deep);
    const auto path = Put("logo.bmp", Make24(8, 8, [](int, int) { return Bgr{0, 0, 0}; }));
    std::filesystem::current_path(deep);
    EXPECT_EQ(Preview(path, 1, 5, ReplaceWholeFile).path, deep.string() + "/Temp.bmp");
    EXPECT_TRUE(std::filesystem::exists(deep / "Temp.bmp"));
    EXPECT_TRUE(std::filesystem::exists(deep / "TempTe.bmp"));
}

TEST_F(PreviewFiles, TargetThatCannotBeReplacedFailsCleanly) {
    std::filesystem::create_directories(m_dir / "Temp.bmp" / "inside");
    const auto path = Put("logo.bmp", Make24(8, 8, [](int, int) { return Bgr{0, 0, 0}; }));
    CLogoImage image;
    Convert(image, path, 0, 5);
    EXPECT_EQ(image.WritePreviewBitmap(), 0);
    // The path is still the answer; the caller finds out when it opens it.
    const PreviewOutcome preview = Preview(path, 0, 5, ReplaceWholeFile);
    const std::string& failure = preview.shown.Reason();
    EXPECT_EQ(preview.path, Cwd() + "/Temp.bmp");
    EXPECT_FALSE(preview.shown);
    EXPECT_EQ(failure.rfind("cannot write " + Cwd() + "/Temp.bmp: ", 0), 0u) << failure;
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(m_dir)) {
        ++entries;
    }
    EXPECT_EQ(entries, 2) << "no temporary file is left behind";
}
