#include "transfer/Replace.h"

#include "catalogue/CacheIndex.h"
#include "catalogue/EntryFacts.h"
#include "catalogue/FolderListing.h"
#include "catalogue/SafeNames.h"
#include "package/PackageHeader.h"
#include "platform/FileSystem.h"
#include "runtime/GameRunning.h"
#include "runtime/Globals.h"
#include "transfer/Transfer.h"

#include <optional>
#include <utility>

namespace UnrealMOD {

namespace {

// Where the installed version goes in the cache.
struct Keeping {
    const platform::Folder* folder = nullptr;
    std::string name;
    std::string shown; // as the outcome names it, relative to the cache folder
    std::string guid;  // set when it is kept under its GUID (and so listed in the index)
};

bool Done(platform::MoveResult result) {
    return result == platform::MoveResult::Moved || result == platform::MoveResult::Duplicate;
}

} // namespace

ReplaceOutcome InstallCachedVersion(CatalogueColumns& catalogue, int r) {
    ReplaceOutcome outcome;
    const auto fail = [&](std::string problem) {
        outcome.problem = std::move(problem);
        return outcome;
    };
    if (r < 0 || r >= catalogue.RowCount())
        return fail("That entry is no longer in the cache index.");
    if (GameIsRunning(GameFolder))
        return fail(GameRunningRefusal());
    const CatalogueRow row = catalogue.Row(r);
    // Names from the index are made into paths only when they are safe.
    if (!IsSafeName(row.fileName) || row.fileName.empty() || !IsSafeName(row.cacheName) ||
        !MovesOutOfCache(row.destination))
        return fail("The name of " + row.fileName + " cannot be used.");

    FolderListing cache, destination;
    if (!cache.Open(CacheFolderPath()))
        return fail("The cache folder cannot be read.");
    const auto cachedName = cache.Find(row.cacheName + CacheFileExt(), true);
    if (!cachedName)
        return fail("The cached file of " + row.fileName + " is no longer in the cache.");
    if (!destination.Open(GameFolder + row.destination))
        return fail("The folder " + row.destination + " cannot be used.");
    if (cache.Location().identity == destination.Location().identity)
        return fail("The folder " + row.destination + " is the cache folder itself.");
    const std::string toName = destination.Find(row.fileName, false).value_or(row.fileName);

    RunStart withKept = RecordRunStart(catalogue);
    platform::MoveBatch batch;
    std::optional<platform::Folder> replaced;
    Keeping keeping;
    bool installedMoved = false;

    if (destination.Find(row.fileName, false)) {
        std::optional<std::string> guid;
        {
            // Closed again before the move: Windows cannot rename an open file.
            bool notAFile = false;
            const auto installed =
                platform::InputFile::Open(destination.Location(), toName, false, &notAFile);
            if (!installed)
                return fail(notAFile ? "A folder or link has the name " + toName + "."
                                     : "The installed " + toName + " cannot be read.");
            if (const auto header = ReadPackageHeader(*installed))
                guid = header->guid.Hex();
        }
        if (guid && !cache.Find(*guid + CacheFileExt(), false)) {
            keeping = {&cache.Location(), *guid + CacheFileExt(), *guid + CacheFileExt(), *guid};
        } else {
            // No GUID of its own, or one the cache already holds under another entry: it goes
            // aside under its own name, numbered so that nothing there is ever replaced.
            const platform::Folder& cacheFolder = cache.Location();
            if (!platform::CreateSubfolder(cacheFolder, ReplacedFolderName))
                return fail(std::string("The folder ") + ReplacedFolderName +
                            " cannot be made in the cache folder.");
            FolderListing aside;
            if (!aside.Open(CacheFolderPath() + ReplacedFolderName))
                return fail(std::string("The folder ") + ReplacedFolderName +
                            " in the cache folder cannot be used.");
            replaced = aside.Location();
            for (int n = 1; n < 100000 && keeping.name.empty(); ++n) {
                const std::string candidate = toName + "." + std::to_string(n);
                if (!aside.Find(candidate, false))
                    keeping = {&*replaced,
                               candidate,
                               std::string(ReplacedFolderName) + "\\" + candidate,
                               {}};
            }
            if (keeping.name.empty())
                return fail("No free name is left for " + toName + " in the folder " +
                            ReplacedFolderName + ".");
        }
        const auto put = batch.Move(destination.Location(), toName, *keeping.folder, keeping.name);
        if (put == platform::MoveResult::CopiedSourceKept) {
            // The installed file cannot leave its folder: the copy in the cache is ours to take
            // back, and nothing else has changed.
            batch.Finish();
            platform::DeleteFile(keeping.folder->location + "/" + keeping.name);
            return fail("The installed " + toName + " cannot be moved (it is read-only).");
        }
        if (!Done(put))
            return fail("The installed " + toName + " could not be moved into the cache.");
        installedMoved = true;
        if (!keeping.guid.empty())
            withKept.entries.push_back({toName, keeping.guid, row.destination, ""});
    }

    const auto in = batch.Move(cache.Location(), *cachedName, destination.Location(), toName);
    if (in != platform::MoveResult::Moved && in != platform::MoveResult::CopiedSourceKept &&
        !Done(in)) {
        if (installedMoved)
            batch.Move(*keeping.folder, keeping.name, destination.Location(), toName);
        batch.Finish();
        return fail("The cached " + row.fileName + " could not be put in place; the installed " +
                    "version was left where it was.");
    }
    outcome.installed = true;
    outcome.keptAs = installedMoved ? keeping.shown : std::string();
    if (!batch.Finish())
        return fail("The moved files could not be made safe on disk, so the cache index " +
                    ShownIndexPath() + " was not rewritten.");
    std::string problem;
    if (!ReadCacheIndex(catalogue)) {
        outcome.problem = "The cache index " + ShownIndexPath() +
                          " could not be read again, so it was not rewritten.";
        return outcome;
    }
    RewriteCacheIndex(catalogue, &problem, &withKept);
    ReadCacheIndex(catalogue);
    outcome.problem = problem;
    return outcome;
}

} // namespace UnrealMOD
