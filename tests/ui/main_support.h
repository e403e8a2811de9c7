#pragma once
// What the main window tests share: the window test environment with a game folder on drive C:.

#include "support/TestSupport.h"
#include "ui/MainForm.h"
#include "ui_support.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <string>

namespace maintest {

namespace fs = std::filesystem;

// A game installed at C:\UT\ (the check file only) and an empty program folder.
class GameEnvironment : public uitest::Environment {
public:
    GameEnvironment() : uitest::Environment("C:\\UT\\") {
        uitest::DeleteAllWindows();
        testsupport::WriteFile(game() / "System" / "UnrealTournament.exe", "exe");
    }
    ~GameEnvironment() {
        ui::MainForm::SetCuePlayerForTesting(nullptr);
        uitest::DeleteAllWindows();
    }

    fs::path game() const { return driveC() / "UT"; }

    // A logo of the given size in pixels, as the game ships it (a bitmap file).
    void WriteLogo(int width, int height) const {
        QImage logo(width, height, QImage::Format_RGB32);
        logo.fill(QColor(20, 30, 90));
        fs::create_directories(game() / "Help");
        const fs::path path = game() / "Help" / "UnrealTournamentLogo.bmp";
        logo.save(QString::fromStdString(path.string()), "BMP");
    }

    void WriteCacheIndex(const std::string& text) const {
        testsupport::WriteFile(game() / "Cache" / "cache.ini", text);
    }
};

} // namespace maintest
