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
    if (Copier::FileExists(SettingsPath())) {
        const auto stored = ReadSettings();
        GameFolder = stored ? *stored : DefaultGameFolder;
    } else {
        // First start: the game where a player's installation put it, when that is one place.
        GameFolder = DefaultGameFolder;
        if (!GameIsInstalledAt(GameFolder)) {
            if (auto found = DiscoverGameFolder())
                GameFolder = std::move(*found);
        }
        WriteSettings(GameFolder); // a read-only program folder is no reason to stop
    }
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
