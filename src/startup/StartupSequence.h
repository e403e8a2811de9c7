#pragma once
// The main window's load sequence up to the layout: settle GameFolder, check for the game, play
// the opening cue, load the catalogue, disable "Begin Transfer" when nothing is transferable.

#include "catalogue/Catalogue.h"
#include "startup/GameInstall.h"

#include <string>

namespace UnrealMOD {

inline constexpr const char* DefaultGameFolder = "C:\\UnrealTournament\\";

// What the start-up sequence needs of the main window.
class MainFormHost {
public:
    virtual ~MainFormHost() = default;
    // Creates and shows the location window; its load closes the main window.
    virtual void OpenLocationWindow() = 0;
    virtual CatalogueColumns& Catalogue() = 0;
    virtual void DisableRunit() = 0;
    virtual void ShowNoFiles() = 0;
};

// Where the game folder came from when nothing gave it for this run.
enum class GameFolderSource {
    SettingsFile, // the settings file's line
    Default,      // DefaultGameFolder (no settings file, or one that could not be read)
    Discovery,    // the first start found the game where an installation put it
};
struct FoundGameFolder {
    std::string folder;
    GameFolderSource source = GameFolderSource::Default;
    bool settingsFileExists = false;
};
// The game folder as the start-up settles it: the settings file's line when the file is there
// (the default when it cannot be read); otherwise the default when the game is installed there,
// else the one folder discovery finds. Stores nothing.
FoundGameFolder FindGameFolder();

enum class StartupOutcome {
    GameMissing, // the location window took over; no layout, the main window is never shown
    GameFound,   // go on with the layout
};

// Steps 1 to 9; the caller goes on with the layout when the game was found.
StartupOutcome RunStartupSequence(MainFormHost& host);

// What the main window says once it shows, through its problem message; empty for nothing. It is
// never a reason not to open: a running game only means a transfer must wait.
std::string StartupNotice();

} // namespace UnrealMOD
