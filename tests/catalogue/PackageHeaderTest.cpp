// The package header reader against hand-made headers of both engine generations, cut short at
// every byte, and with hostile counts and offsets.

#include "package/PackageHeader.h"
#include "support/PackageBytes.h"

#include <gtest/gtest.h>

#include <string>

using UnrealMOD::PackageGuid;
using UnrealMOD::ParsePackageHeader;

namespace {

struct Made {
    const char* name;
    std::uint16_t version;
    std::uint16_t licensee;
};

const Made Versions[] = {
    {"FirstGenerationHeritage61", 61, 0},     {"FirstGenerationHeritage67", 67, 0},
    {"FirstGenerationGuid68", 68, 0},         {"FirstGenerationGuid69", 69, 5},
    {"SecondGeneration100", 100, 0},          {"SecondGeneration128", 128, 0},
    {"SecondGenerationLicensee129", 129, 29},
};

class MadeHeader : public testing::TestWithParam<Made> {};

// Every field as written, and the GUID from the header or the last heritage entry. Cut short
// anywhere before the last table could begin, the file is not a package; from there on it is.
TEST_P(MadeHeader, ReadsEveryFieldAndRefusesEveryShorterFile) {
    const Made made = GetParam();
    const testsupport::Guid guid{0x308EA24F, 0x79FEB145, 0xEE8651F3, 0xEB404B83};
    const std::string bytes = testsupport::MakePackage(made.version, guid, 400, 7, made.licensee);
    const auto header = ParsePackageHeader(bytes);
    ASSERT_TRUE(header);
    const std::uint32_t tables = made.version >= 68 ? 64 : 76;
    EXPECT_EQ(*header, (UnrealMOD::PackageHeader{made.version, made.licensee, 1, 3, tables, 2,
                                                 tables + 32, 1, tables + 64,
                                                 PackageGuid{guid[0], guid[1], guid[2], guid[3]}}));
    EXPECT_EQ(header->guid.Hex(), "308EA24F79FEB145EE8651F3EB404B83");

    const std::size_t needed = tables + 64 + 1; // the one import entry needs a byte
    for (std::size_t size = 0; size < bytes.size(); ++size)
        EXPECT_EQ(ParsePackageHeader(bytes.substr(0, size)).has_value(), size >= needed)
            << "cut to " << size << " bytes";
}

INSTANTIATE_TEST_SUITE_P(Versions, MadeHeader, testing::ValuesIn(Versions),
                         [](const auto& info) { return std::string(info.param.name); });

struct Hostile {
    const char* name;
    std::size_t at;      // where the word is put
    std::uint32_t value; // what it says
};

// One word of a good version-128 (and version-63) header changed each time.
const Hostile Changes[] = {
    {"TagOtherEndian", 0, 0xC1832A9E},
    {"VersionUnknownBetween", 4, 70},
    {"VersionTooNew", 4, 141},
    {"VersionZero", 4, 0},
    {"NameCountInTheBillions", 12, 0xFFFFFFFF},
    {"NameOffsetPastTheEnd", 16, 400},
    {"NameOffsetInsideTheHeader", 16, 4},
    {"ExportCountPastTheEnd", 20, 400},
    {"ExportOffsetFarAway", 24, 0x7FFFFFFF},
    {"ImportCountInTheBillions", 28, 0xFFFFFFF0},
    {"ImportOffsetAtTheEnd", 32, 400},
};

TEST(PackageHeader, HostileCountsAndOffsetsAreNotAPackage) {
    for (std::uint16_t version : {std::uint16_t{128}, std::uint16_t{63}}) {
        const std::string good = testsupport::MakePackage(version, {1, 2, 3, 4}, 400);
        ASSERT_TRUE(ParsePackageHeader(good));
        for (const Hostile& change : Changes) {
            std::string bytes = good;
            testsupport::PutWord(bytes, change.at, change.value);
            EXPECT_FALSE(ParsePackageHeader(bytes)) << version << " " << change.name;
        }
    }
    // The heritage table of the first generation: empty, past the end, or counted in billions.
    for (const Hostile& change :
         {Hostile{"HeritageEmpty", 36, 0}, Hostile{"HeritageCountInTheBillions", 36, 0x10000000},
          Hostile{"HeritageOffsetPastTheEnd", 40, 392},
          Hostile{"HeritageOffsetInsideTheHeader", 40, 8}}) {
        std::string bytes = testsupport::MakePackage(63, {1, 2, 3, 4}, 400);
        testsupport::PutWord(bytes, change.at, change.value);
        EXPECT_FALSE(ParsePackageHeader(bytes)) << change.name;
    }
    EXPECT_FALSE(ParsePackageHeader(""));
    EXPECT_FALSE(ParsePackageHeader(std::string(4000, '\0')));
    EXPECT_FALSE(
        ParsePackageHeader("LODESTOW DEMO PACKAGE\nDM-Lodestar.unr\n" + std::string(400, 'x')));
}

// The GUID's words are little-endian on disk and spelled in order, 8 digits each.
TEST(PackageHeader, GuidBytesOnDiskAndTheCacheName) {
    std::string bytes = testsupport::MakePackage(68, {0, 0, 0, 0}, 200);
    bytes.replace(36, 16, "\x4F\xA2\x8E\x30\x45\xB1\xFE\x79\xF3\x51\x86\xEE\x83\x4B\x40\xEB", 16);
    const auto header = ParsePackageHeader(bytes);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->guid.Hex(), "308EA24F79FEB145EE8651F3EB404B83");
    EXPECT_EQ(UnrealMOD::GuidOfCacheName("308ea24f79feb145ee8651f3eb404b83"), header->guid);
    EXPECT_EQ(UnrealMOD::GuidOfCacheName("308EA24F79FEB145EE8651F3EB404B83"), header->guid);
    for (const char* notGuid :
         {"", "308EA24F79FEB145EE8651F3EB404B8", "308EA24F79FEB145EE8651F3EB404B833",
          "308EA24F79FEB145EE8651F3EB404B8G", "K1", "308EA24F-9FEB145EE8651F3EB404B83"})
        EXPECT_FALSE(UnrealMOD::GuidOfCacheName(notGuid)) << notGuid;
}

} // namespace
