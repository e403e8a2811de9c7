#include "GameFolderFixture.h"

#include "catalogue/CacheIndex.h"
#include "runtime/DoEvents.h"
#include "runtime/Globals.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace lodestow_test {

std::vector<std::string> FakeView::Labels() const {
    std::vector<std::string> labels;
    for (const std::string& entry : log) {
        if (entry.starts_with("label:")) {
            labels.push_back(entry.substr(6));
        }
    }
    return labels;
}

std::string FakeView::Number(float v) {
    std::ostringstream out;
    out << v;
    return out.str();
}

void GameFolderTest::SetUp() {
    tree_.emplace();
    root_ = tree_->root();
    prefix_ = tree_->prefix();
    game_ = tree_->driveC() + "/Game";
    for (const char* folder : {"Cache", "Maps", "Textures", "Sounds", "Music", "System"}) {
        testsupport::MakeFolder(game_ + "/" + folder);
    }
    testsupport::MakeFolder(root_ + "/prog");

    oldProgramFolder_ = UnrealMOD::ProgramFolder();
    UnrealMOD::ProgramFolder() = root_ + "/prog";
    UnrealMOD::GameFolder = testsupport::GamePath("C:\\Game\\");
    UnrealMOD::CacheIndexName = "cache.ini";
    UnrealMOD::CacheFolder.clear(); // the cache of the game folder, whatever a test before chose
}

void GameFolderTest::TearDown() {
    UnrealMOD::SetDoEventsHandler(nullptr);
    UnrealMOD::ProgramFolder() = oldProgramFolder_;
    tree_.reset();
}

void GameFolderTest::Write(const std::string& relative, const std::string& bytes) const {
    testsupport::WriteFile(testsupport::Utf8Path(Native(relative)), bytes);
}

std::string GameFolderTest::Shown(const std::string& relative) const {
    const fs::path path = testsupport::Utf8Path(Native(relative));
#ifdef _WIN32
    const fs::path shown = fs::absolute(path).make_preferred();
#else
    const fs::path shown = fs::canonical(path.parent_path()) / path.filename();
#endif
    const std::u8string text = shown.u8string();
    return std::string(text.begin(), text.end());
}

std::optional<std::string> GameFolderTest::Read(const std::string& relative) const {
    return testsupport::TryReadFile(testsupport::Utf8Path(Native(relative)));
}

bool GameFolderTest::Exists(const std::string& relative) const {
    return fs::exists(fs::symlink_status(testsupport::Utf8Path(Native(relative))));
}

std::vector<std::string> GameFolderTest::Names(const std::string& relativeFolder) const {
    return testsupport::Names(testsupport::Utf8Path(Native(relativeFolder)));
}

void GameFolderTest::SetMode(const std::string& relative, unsigned mode) const {
    testsupport::SetMode(testsupport::Utf8Path(Native(relative)), mode);
}

std::map<std::string, std::string> GameFolderTest::Snapshot() const {
    std::map<std::string, std::string> all;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
        const std::string path = entry.path().string();
        if (entry.path().filename() == "cache.ini" || entry.path().filename() == "Cache.ini") {
            continue;
        }
        if (entry.is_symlink()) {
            all[path] = "symlink";
        } else if (entry.is_directory()) {
            all[path] = "folder";
        } else if (!entry.is_regular_file()) {
            all[path] = "special"; // a FIFO is never opened: that would wait for a writer
        } else {
            std::ifstream in(path, std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            all[path] = "file:" + bytes.str();
        }
    }
    return all;
}

void GameFolderTest::Load(UnrealMOD::CatalogueColumns& catalogue) const {
    ASSERT_TRUE(UnrealMOD::ReadCacheIndex(catalogue));
}

} // namespace lodestow_test
