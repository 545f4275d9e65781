// SPDX-License-Identifier: MIT
#include "printer/PrinterProfiles.h"

#include "printer/PrinterReport.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

namespace tessaline {
namespace {

TEST(PrinterProfiles, MatchTheSpellingsPrintersAnswerWith) {
    struct Case {
        const char* maker;
        const char* model;
        const char* profile; // nullptr: none
        ProfileMatchKind kind;
    };
    const Case cases[] = {
        {"EPSON", "TM-T88V", "epson-tm-t88v", ProfileMatchKind::Name},
        {"EPSON", "TM-T88V  ", "epson-tm-t88v", ProfileMatchKind::Name},
        {"", "tm t88v", "epson-tm-t88v", ProfileMatchKind::Name},
        {"", "EPSON TM-T88V", "epson-tm-t88v", ProfileMatchKind::Name},
        {"SEIKO EPSON", "TMT88V", "epson-tm-t88v", ProfileMatchKind::Name},
        // A later generation is its own model, never the one its name begins with.
        {"EPSON", "TM-T88VI", "epson-tm-t88vi", ProfileMatchKind::Name},
        {"EPSON", "TM-T88VII", "epson-tm-t88vii", ProfileMatchKind::Name},
        {"EPSON", "TM-T20III", "epson-tm-t20iii", ProfileMatchKind::Name},
        // A variant's letters keep the model.
        {"EPSON", "TM-T88V-i", "epson-tm-t88v", ProfileMatchKind::NameStart},
        {"Star", "TSP143IIIW (STR_T-001)", "star-tsp100iii", ProfileMatchKind::NameStart},
        {"Star Micronics", "TSP654II", "star-tsp650ii", ProfileMatchKind::Alias},
        {"STAR", "TSP654", "star-tsp650", ProfileMatchKind::Alias},
        {"", "POS-5890", "pos-5890", ProfileMatchKind::Name},
        // Another maker's printer of the same name is not this one; nor is
        // a name that only shares digits.
        {"Tessaline", "TM-T88V", nullptr, ProfileMatchKind::Name},
        {"", "POS-58901", nullptr, ProfileMatchKind::Name},
        {"Tessaline", "Virtual", nullptr, ProfileMatchKind::Name},
        {"EPSON", "", nullptr, ProfileMatchKind::Name},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.maker) + " / " + c.model);
        const auto match = MatchProfile(c.maker, c.model);
        if (c.profile == nullptr) {
            EXPECT_FALSE(match) << match->profile->id;
            continue;
        }
        ASSERT_TRUE(match);
        EXPECT_STREQ(match->profile->id, c.profile);
        EXPECT_EQ(match->kind, c.kind);
    }
}

TEST(PrinterProfiles, FoundByTheNamesPeopleType) {
    const std::pair<const char*, const char*> cases[] = {
        {"epson-tm-t88iii", "epson-tm-t88iii"},
        {"Epson TM-T88III", "epson-tm-t88iii"},
        {"tm-t88iii", "epson-tm-t88iii"},
        {"TSP143III", "star-tsp100iii"},
        {"TM-T88V-i", nullptr},
        {"no such printer", nullptr},
        {"", nullptr},
    };
    for (const auto& [name, id] : cases) {
        SCOPED_TRACE(name);
        const PrinterProfile* p = FindProfile(name);
        if (id == nullptr) {
            EXPECT_EQ(p, nullptr);
        } else {
            ASSERT_NE(p, nullptr);
            EXPECT_STREQ(p->id, id);
        }
    }
}

// The roll a printer says it is set for wins over the paper its profile
// ships with; its dots come from the profile where it lists that roll.
TEST(PrinterProfiles, TheAnsweredRollWinsOverTheProfile) {
    const struct {
        const char* profile; // nullptr: no profile matched
        std::optional<int32_t> answered;
        std::optional<int32_t> dots;
        const char* from;
    } cases[] = {
        {"epson-tm-t88v", 80, 512, "answered"},
        {"epson-tm-t20ii", 58, 384, "answered"},
        {"epson-tm-t20ii", std::nullopt, 576, "profile"},
        // 180 dpi, and no 58 mm paper in its profile: the dots are not known.
        {"epson-tm-t88v", 58, 512, "profile"},
        {nullptr, 80, 576, "answered"},
        {nullptr, 70, std::nullopt, "unknown"},
        {nullptr, std::nullopt, std::nullopt, "unknown"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.profile != nullptr ? c.profile : "none") + " " +
                     std::to_string(c.answered.value_or(0)));
        const PrinterProfile* profile = c.profile != nullptr ? FindProfile(c.profile) : nullptr;
        ASSERT_EQ(profile == nullptr, c.profile == nullptr);
        const KnownPaper paper = KnownPaperOf(c.answered, profile);
        EXPECT_EQ(paper.dots, c.dots);
        EXPECT_STREQ(paper.from, c.from);
    }
}

// What the data set knows of a model fills its profile; what it leaves
// unknown stays as Tessaline's virtual printer has it.
TEST(PrinterProfiles, MakeTheProfileOfWhatTheyKnow) {
    const PrinterProfile madeUp{.model = "Made up",
                                .commands = ProfileCommands::NvBitImages,
                                .nvGraphicsBytes = {4096, "its sheet"},
                                .nvBitImageBytes = {1000, "its sheet"},
                                .nvWritesPerDay = {5, "its sheet"}};
    const struct {
        const char* id; // nullptr: madeUp
        Profile profile;
    } cases[] = {
        {"epson-tm-t88v",
         {.paperWidth = 512, .nvWritesPerDay = 10, .maker = "Epson", .modelName = "TM-T88V"}},
        {"epson-tm-t88iii",
         {.paperWidth = 512,
          .nvCapacity = 262144,
          .nvGraphics = 0,
          .maker = "Epson",
          .modelName = "TM-T88III"}},
        {"star-tsp650",
         {.language = PrinterLanguage::StarLine, .maker = "Star", .modelName = "TSP650"}},
        {"star-mc-print2",
         {.language = PrinterLanguage::StarPrnt,
          .paperWidth = 384,
          .maker = "Star",
          .modelName = "mC-Print2"}},
        {"pos-5890", {.paperWidth = 384, .maker = "Generic", .modelName = "POS-5890"}},
        {"sunmi", {.maker = "SUNMI", .modelName = "Generic"}},
        // A figure the data set gives wins over what its command set implies.
        {nullptr,
         {.nvCapacity = 1000,
          .nvGraphics = 4096,
          .nvWritesPerDay = 5,
          .maker = "Generic",
          .modelName = "Made up"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id != nullptr ? c.id : madeUp.model);
        const PrinterProfile* profile = c.id != nullptr ? FindProfile(c.id) : &madeUp;
        ASSERT_NE(profile, nullptr);
        const Profile made = ProfileOf(*profile);
        EXPECT_EQ(made.language, c.profile.language);
        EXPECT_EQ(made.paperWidth, c.profile.paperWidth);
        EXPECT_EQ(made.nvCapacity, c.profile.nvCapacity);
        EXPECT_EQ(made.nvGraphics, c.profile.nvGraphics);
        EXPECT_EQ(made.nvWritesPerDay, c.profile.nvWritesPerDay);
        EXPECT_EQ(made.maker, c.profile.maker);
        EXPECT_EQ(made.modelName, c.profile.modelName);
        EXPECT_EQ(made, c.profile) << "answers as the virtual printer does";
    }
}

// What the checks rely on: every figure has its source, paper widths are
// whole bytes of dots, and Star models say their command set.
TEST(PrinterProfiles, EveryFigureNamesItsSource) {
    std::set<std::string> ids;
    for (const PrinterProfile& p : PrinterProfiles()) {
        SCOPED_TRACE(p.id);
        EXPECT_TRUE(ids.insert(p.id).second) << "two profiles share an id";
        EXPECT_STRNE(p.source, "");
        for (const ProfilePaper& paper : p.Papers()) {
            EXPECT_STRNE(paper.source, "");
            EXPECT_GT(paper.dots, 0);
            EXPECT_EQ(paper.dots % 8, 0);
        }
        EXPECT_EQ(p.commands == ProfileCommands::Unknown, p.commandsSource[0] == '\0');
        if (std::string(p.language) != "esc-pos") {
            EXPECT_EQ(ProfileCommandsName(p.commands), p.language);
        }
    }
    EXPECT_GE(ids.size(), 30u);
    const PrinterProfile* old = FindProfile("epson-tm-t88iii");
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(old->commands, ProfileCommands::NvBitImages);
    EXPECT_EQ(old->nvBitImageBytes.value, 262144u);
    EXPECT_EQ(old->PaperDots(), 512);
}

} // namespace
} // namespace tessaline
