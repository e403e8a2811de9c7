#include "forms/FindUnrealLogic.h"

#include "runtime/DoEvents.h"
#include "startup/Location.h"
#include "runtime/PlayCue.h"

namespace forms {

void FindUnreal_Load(LocationWindow& w, const StillLoaded& loaded) {
    UnrealMOD::PlayCue(UnrealMOD::CuePath("\\hgasp1.wav"));
    w.CloseMainForm();
    UnrealMOD::DoEvents();
    if (!loaded())
        return;
    w.SetDrive(StartFolder);
    w.SetDirPath(StartFolder);
}

void Drive1_Change(LocationWindow& w, bool& inFallback, const StillLoaded& loaded) {
    if (w.SetDirPath(w.Drive()))
        return;
    // When C: cannot be read either, the inner call has nothing left to fall back to.
    if (inFallback)
        return;
    inFallback = true;
    UnrealMOD::DoEvents();
    if (!loaded())
        return;
    w.SetDirPath(StartFolder);
    w.SetDrive(StartFolder);
    inFallback = false;
}

void Dir1_Change(LocationWindow& w) {
    w.SetThePathText(w.DirPath());
}

void Command1_Click(LocationWindow& w, const StillLoaded& loaded) {
    UnrealMOD::PlayCue(UnrealMOD::CuePath("\\VoiceSnd.wav"));
    if (!loaded())
        return;
    if (!UnrealMOD::ConfirmGameFolder(w.ThePathText())) {
        w.ShowTryAgain();
        UnrealMOD::PlayCue(UnrealMOD::CuePath("\\ImpactFire.wav"));
        return;
    }
    w.OpenMainForm();
    if (loaded())
        w.CloseWindow();
}

void CloseCommand_Click(LocationWindow& w) {
    UnrealMOD::PlayCue(UnrealMOD::CuePath("\\unstoppable.wav"));
    w.CloseWindow();
}

} // namespace forms
