#include "startup/StartupSequence.h"

#include "catalogue/CacheIndex.h"
#include "runtime/Copier.h"
#include "runtime/DoEvents.h"
#include "runtime/GameRunning.h"
#include "runtime/Globals.h"
#include "runtime/PlayCue.h"
#include "startup/Discovery.h"
#include "startup/Settings.h"

#include <charconv>
#include <utility>

namespace UnrealMOD {

namespace {

void SettleGameFolder() {
    if (!GameFolder.empty())
        return; // reopened from the location window: the settings file is left alone
    FoundGameFolder found = FindGameFolder();
    GameFolder = std::move(found.folder);
    if (!found.settingsFileExists)
        WriteSettings(GameFolder); // a read-only program folder is no reason to stop
}

// The count box holds a decimal number, or its creation text when no count was written.
bool IsNonZeroCount(const std::string& text) {
    long long value = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end && value != 0;
}

} // namespace

FoundGameFolder FindGameFolder() {
    FoundGameFolder found;
    found.folder = DefaultGameFolder;
    if (Copier::FileExists(SettingsPath())) {
        found.settingsFileExists = true;
        if (auto stored = ReadSettings()) {
            found.folder = std::move(*stored);
            found.source = GameFolderSource::SettingsFile;
        }
        return found;
    }
    // First start: the game where a player's installation put it, when that is one place.
    if (!GameIsInstalledAt(found.folder)) {
        if (auto discovered = DiscoverGameFolder()) {
            found.folder = std::move(*discovered);
            found.source = GameFolderSource::Discovery;
        }
    }
    return found;
}

StartupOutcome RunStartupSequence(MainFormHost& host) {
    SettleGameFolder();
    if (!GameIsInstalledAt(GameFolder)) {
        host.OpenLocationWindow();
        return StartupOutcome::GameMissing;
    }
    PlayCue(CuePath("\\ldoorsopen1b.wav"));
    CacheIndexName = "cache.ini";
    SettleCacheLocation();
    DoEvents();
    ReadCacheIndex(host.Catalogue());
    if (!IsNonZeroCount(host.Catalogue().OnesToTransferText())) {
        host.DisableRunit();
        host.ShowNoFiles();
    }
    DoEvents();
    return StartupOutcome::GameFound;
}

std::string StartupNotice() {
    return GameIsRunning(GameFolder) ? GameRunningNotice() : std::string();
}

} // namespace UnrealMOD
