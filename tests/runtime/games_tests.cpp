#include "runtime/Games.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

namespace {

using UnrealMOD::GameId;

// Which game a folder holding these programs is: the first game of the table with a marker wins.
TEST(Games, MarkersRecogniseTheirGame) {
    struct Case {
        std::set<std::string> files;
        std::optional<GameId> game;
    };
    const Case cases[] = {
        {{"System\\UnrealTournament.exe"}, GameId::UnrealTournament},
        {{"System64\\ut-bin-amd64"}, GameId::UnrealTournament},
        {{"System\\UT2004.exe"}, GameId::UT2004},
        {{"System\\ut2004-bin"}, GameId::UT2004},
        {{"System\\UT2004"}, GameId::UT2004},
        {{"SystemARM64\\UT2004"}, GameId::UT2004},
        {{"System\\UT2003.exe"}, GameId::UT2003},
        {{"System\\Unreal.exe"}, GameId::Unreal},
        {{"System64\\unreal-bin-amd64"}, GameId::Unreal},
        {{"System\\unreal-bin-x86"}, GameId::Unreal},
        {{"System\\KillingFloor.exe"}, GameId::KillingFloor},
        {{"System\\killingfloor-bin"}, GameId::KillingFloor},
        {{"System\\Rune.exe"}, GameId::Rune},
        {{"System\\TacticalOps.exe"}, GameId::TacticalOps},
        // A folder with two games' programs is the earlier game's.
        {{"System\\UT2004.exe", "System\\UnrealTournament.exe"}, GameId::UnrealTournament},
        {{"System\\Unreal.exe", "System\\UT2003.exe"}, GameId::UT2003},
        {{"System\\UT2004.ini", "Maps\\UT2004.exe"}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const Case& c : cases) {
        const UnrealMOD::GameKind* game = UnrealMOD::RecogniseGame(
            [&](const std::string& path) { return c.files.count(path) > 0; });
        const std::string first = c.files.empty() ? "(none)" : *c.files.begin();
        ASSERT_EQ(game != nullptr, c.game.has_value()) << first;
        if (game) {
            EXPECT_EQ(game->id, *c.game) << first;
        }
    }
}

// Paths lines of an ini (a UT2004-shaped game unless said otherwise) against the folder each file
// name ends up in.
TEST(Games, PathsDecideDestinations) {
    struct Case {
        const char* ini;
        const char* fileName;
        const char* destination;
        GameId game = GameId::UT2004;
    };
    const Case cases[] = {
        {"[Core.System]\nPaths=../Maps/*.ut2\n", "DM-A.ut2", "Maps"},
        {"[Core.System]\r\nPaths[0]=..\\Custom\\Levels\\*.ut2\r\n", "DM-A.ut2", "Custom\\Levels"},
        {"[core.system]\nPATHS=../Meshes/*.usx\n", "Rocks.USX", "Meshes"},
        // The first usable entry for an extension wins; later ones are not looked at.
        {"[Core.System]\nPaths=../A/*.ukx\nPaths=../B/*.ukx\n", "Anim.ukx", "A"},
        // Unusable entries are passed over for the next, then the game's own table.
        {"[Core.System]\nPaths=../NoWild/x.ut2\nPaths=../Good/*.ut2\n", "M.ut2", "Good"},
        {"[Core.System]\nPaths=../../../etc/*.ut2\n", "M.ut2", "Maps"},
        {"[Core.System]\nPaths=/etc/*.ut2\nPaths=\\Win\\*.ut2\n", "M.ut2", "Maps"},
        {"[Core.System]\nPaths=C:\\Maps\\*.ut2\nPaths=D:../X/*.ut2\n", "M.ut2", "Maps"},
        {"[Core.System]\nPaths=../*.ut2\nPaths=../X/*.\nPaths=../X/*\n", "M.ut2", "Maps"},
        {"[Core.System]\nPaths=../X*/*.ut2\nPaths=../X/*.u?2\n", "M.ut2", "Maps"},
        {"[Core.System]\nPaths[x]=../X/*.ut2\nPathsX=../Y/*.ut2\n", "M.ut2", "Maps"},
        // Only the first [Core.System] counts.
        {"[Engine.Engine]\nPaths=../X/*.ut2\n[Core.System]\n[Core.System]\nPaths=../Y/*.ut2\n",
         "M.ut2", "Maps"},
        // "..", "." and doubled separators inside the game folder are fine.
        {"[Core.System]\nPaths=.././/Sub/../Maps2/*.ut2\n", "M.ut2", "Maps2"},
        {"[Core.System]\nPaths=*.ut2\n", "M.ut2", "System"},
        // Code and language files stay in the cache whatever the Paths say.
        {"[Core.System]\nPaths=../Code/*.u\nPaths=../Text/*.int\n", "Code.u", "System"},
        {"[Core.System]\nPaths=../Text/*.det\n", "Text.det", "System"},
        {"", "Sky.utx", "Textures"},
        {"", "Noise.uax", "Sounds"},
        {"", "Tune.umx", "Music"},
        {"", "Anims.ukx", "Animations"},
        {"", "DM-A.unr", "Unknown File"},
        {"", "README", "Unknown File"},
        {"", "trailing.", "Unknown File"},
        // Other games' own tables.
        {"", "KF-A.rom", "Maps", GameId::KillingFloor},
        {"", "x.ut2", "Unknown File", GameId::KillingFloor},
        {"", "Dude.usm", "Meshes", GameId::Unreal},
        {"", "Dig.unr", "Maps", GameId::Unreal},
        {"", "Hel.run", "Maps", GameId::Rune},
        {"", "Box.usx", "StaticMeshes", GameId::UT2003},
    };
    for (const Case& c : cases) {
        const auto claims = UnrealMOD::ClaimsOf(c.ini, "System");
        EXPECT_EQ(UnrealMOD::GameDestinationFor(UnrealMOD::GameById(c.game), claims, c.fileName),
                  c.destination)
            << c.ini << " / " << c.fileName;
    }
}

} // namespace
