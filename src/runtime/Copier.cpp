#include "runtime/Copier.h"

#include "platform/FileSystem.h"
#include "runtime/DoEvents.h"

namespace Copier {

namespace {
bool EndsInBackslash(const std::string& path) {
    return !path.empty() && path.back() == '\\';
}
} // namespace

bool FileExists(std::string path) {
    const bool folderForm = EndsInBackslash(path);
    bool failed = false;
    if (folderForm) {
        // A folder counts only when a file can be created in it; the probe also guarantees the
        // search below finds something in an otherwise empty folder.
        failed = !platform::CreateOrTruncateFile(path + ProbeFileName);
    }
    // "Folder\" searches every file of the folder, as a directory search of "Folder\*" would.
    const auto first = platform::FindFirstFile(folderForm ? path + "*" : path);
    if (failed || !first || first->empty())
        return false;
    if (folderForm)
        KillIfExists(path + ProbeFileName);
    return true;
}

bool KillIfExists(const std::string& path) {
    if (!FileExists(path))
        return false;
    if (!platform::DeleteFile(path))
        return false;
    UnrealMOD::DoEvents();
    return true;
}

bool CopyIfExists(const std::string& source, const std::string& destination) {
    if (!FileExists(source))
        return false;
    return platform::CopyFileReplace(source, destination);
}

} // namespace Copier
