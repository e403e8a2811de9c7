#pragma once
// A main window that shows nothing, for start-up runs: it holds the catalogue the start-up fills
// and records what the start-up asked of the window.

#include "catalogue/Catalogue.h"
#include "startup/StartupSequence.h"

namespace testsupport {

// Columns: a MemoryCatalogue, or one derived from it that records more.
template <class Columns> class BasicFakeHost : public UnrealMOD::MainFormHost {
public:
    void OpenLocationWindow() override { ++locationWindows; }
    UnrealMOD::CatalogueColumns& Catalogue() override { return catalogue; }
    void DisableRunit() override { runitEnabled = false; }
    void ShowNoFiles() override { noFilesVisible = true; }

    Columns catalogue;
    int locationWindows = 0;
    bool runitEnabled = true;
    bool noFilesVisible = false;
};

using FakeHost = BasicFakeHost<UnrealMOD::MemoryCatalogue>;

} // namespace testsupport
