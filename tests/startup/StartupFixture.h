#pragma once
// The start-up's surroundings, fresh for each test: a home folder of its own (the first start
// looks for games there), a Wine prefix whose drive C: holds only what the test puts there, and
// a program folder without a settings file. The start-up's globals start out empty.

#include "runtime/Globals.h"
#include "support/FakeHost.h"
#include "support/NamedCase.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace startup_test {

namespace fs = std::filesystem;

constexpr bool OnWindows() {
#ifdef _WIN32
    return true;
#else
    return false;
#endif
}

class StartupFixture : public ::testing::Test {
protected:
    void SetUp() override {
        UnrealMOD::GameFolder.clear();
        UnrealMOD::CacheIndexName.clear();
        UnrealMOD::CacheFolder.clear();
        UnrealMOD::CacheExt.clear();
        UnrealMOD::ProgramFolder() = program.path().string();
    }
    fs::path Settings() const { return program.path() / "Lodestow.ini"; }
    // "~" anywhere in the text stands for the home folder.
    std::string Home(std::string text) const {
        const std::string folder = home.path().string();
        for (std::size_t at = text.find('~'); at != std::string::npos;
             at = text.find('~', at + folder.size()))
            text.replace(at, 1, folder);
        return text;
    }

    testsupport::TempHome home;
    testsupport::WinePrefix prefix;
    testsupport::TempDir program;
};

} // namespace startup_test
