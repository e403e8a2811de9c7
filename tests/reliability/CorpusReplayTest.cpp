// Every input of the fuzzer's corpus (its seeds and the regressions it found) through the same
// property check, in every build.

#include "IndexProperties.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

TEST(IndexCorpusReplay, EveryCorpusInputKeepsTheIndexProperties) {
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(LODESTOW_INDEX_CORPUS)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        EXPECT_EQ(indexfuzz::IndexPropertyViolation(bytes.str()), "") << entry.path().filename();
        ++files;
    }
    EXPECT_GE(files, 20U) << "the corpus in " << LODESTOW_INDEX_CORPUS << " is missing";
}
