#pragma once
// A throw-away folder tree with a Wine prefix of its own (dosdevices/c: -> drive_c), pointed to
// by WINEPREFIX for the life of the object.

#include <optional>
#include <string>
#include <vector>

namespace testing_support {

class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return root_; }
    std::string prefix() const { return root_ + "/prefix"; }
    std::string driveC() const { return root_ + "/prefix/drive_c"; }

    // Native helpers, independent of the code under test.
    static void MakeFolder(const std::string& native);
    static void Write(const std::string& native, const std::string& bytes);
    static std::optional<std::string> Read(const std::string& native);
    static std::vector<std::string> Names(const std::string& folder); // sorted
    static void SetMode(const std::string& native, unsigned mode);

private:
    std::string root_;
    std::optional<std::string> oldPrefix_;
};

} // namespace testing_support
