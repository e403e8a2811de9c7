#include "TempTree.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <ftw.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace testing_support {

namespace {

int MakeWritable(const char* path, const struct stat* st, int type, FTW*) {
    if (type == FTW_D || type == FTW_DP || type == FTW_DNR)
        ::chmod(path, (st->st_mode & 07777) | S_IRWXU);
    return 0;
}

int Remove(const char* path, const struct stat*, int, FTW*) {
    ::remove(path);
    return 0;
}

} // namespace

TempTree::TempTree() {
    std::string pattern = "/tmp/lodestow-platform-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    MakeFolder(prefix());
    MakeFolder(prefix() + "/dosdevices");
    MakeFolder(driveC());
    if (::symlink("../drive_c", (prefix() + "/dosdevices/c:").c_str()) != 0)
        throw std::runtime_error("symlink failed");
    if (const char* old = std::getenv("WINEPREFIX"))
        oldPrefix_ = old;
    ::setenv("WINEPREFIX", prefix().c_str(), 1);
}

TempTree::~TempTree() {
    if (oldPrefix_)
        ::setenv("WINEPREFIX", oldPrefix_->c_str(), 1);
    else
        ::unsetenv("WINEPREFIX");
    ::nftw(root_.c_str(), MakeWritable, 16, FTW_PHYS);
    ::nftw(root_.c_str(), Remove, 16, FTW_DEPTH | FTW_PHYS);
}

void TempTree::MakeFolder(const std::string& native) {
    if (::mkdir(native.c_str(), 0755) != 0)
        throw std::runtime_error("mkdir failed: " + native);
}

void TempTree::Write(const std::string& native, const std::string& bytes) {
    std::ofstream out(native, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        throw std::runtime_error("write failed: " + native);
}

std::optional<std::string> TempTree::Read(const std::string& native) {
    std::ifstream in(native, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> TempTree::Names(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void TempTree::SetMode(const std::string& native, unsigned mode) {
    if (::chmod(native.c_str(), mode) != 0)
        throw std::runtime_error("chmod failed: " + native);
}

} // namespace testing_support
