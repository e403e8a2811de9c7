#include "catalogue/SafeNames.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(IsSafeName, OrdinaryNamesAreSafe) {
    for (const char* name : {"DM-A.unr", "Pack.u", "", "K1", ".hidden", "a b.utx", "CONFIG.ini",
                             "COM10.u", "LPT0.u", "Console.u", "NULL.utx", "Caf\xC3\xA9.utx",
                             "\xE6\x97\xA5\xE6\x9C\xAC.unr", "x.y.z", "[Cache]", "a=b"}) {
        EXPECT_TRUE(UnrealMOD::IsSafeName(name)) << name;
    }
}

TEST(IsSafeName, NamesThatLeaveTheirFolderOrMeanSomethingElseAreUnsafe) {
    const std::string unsafe[] = {"..\\..\\evil.unr",
                                  "../evil.unr",
                                  "a\\b.unr",
                                  "a/b.unr",
                                  "C:evil.unr",
                                  "evil.unr:stream",
                                  "a*.unr",
                                  "a?.unr",
                                  "<a.unr",
                                  "a>.unr",
                                  "a\"b.unr",
                                  "a|b.unr",
                                  ".",
                                  "..",
                                  "dot.unr.",
                                  "space.unr ",
                                  "CON",
                                  "con.unr",
                                  "Nul",
                                  "nul.tar.gz",
                                  "PRN.utx",
                                  "AUX.u",
                                  "COM1",
                                  "com9.u",
                                  "LPT1.umx",
                                  "lpt9",
                                  "CON .unr",
                                  "COM\xC2\xB9.u",
                                  "CONIN$",
                                  "conout$.u",
                                  std::string("a\0b.unr", 7),
                                  "tab\t.unr",
                                  "cr\r.unr",
                                  "del\x7F.unr",
                                  "c1\xC2\x85.unr",
                                  "\xC3",
                                  "bad\xFF.unr",
                                  "\xC0\xAF.unr",
                                  "\xED\xA0\x80.unr"};
    for (const std::string& name : unsafe) {
        EXPECT_FALSE(UnrealMOD::IsSafeName(name)) << name;
    }
}

} // namespace
