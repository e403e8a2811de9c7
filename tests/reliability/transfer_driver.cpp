// "Begin Transfer" without a window: reads the index of the game folder given as the first
// argument (a Windows-style path; WINEPREFIX from the environment) and runs the whole click with
// a view that shows nothing. The crash tests start it and kill it midway.
//
//   transfer_driver 'C:\Game\' [program folder]
//
// Exit code: 0 done, 2 usage, 3 the index could not be read, 4 the run reported a problem.

#include "catalogue/CacheIndex.h"
#include "startup/Globals.h"
#include "transfer/Transfer.h"

#include <cstdio>

namespace {

class NoView : public UnrealMOD::TransferView {
public:
    void ShowTranFrame() override {}
    void SetProgLbl(const std::string&) override {}
    void SetWindowEnabled(bool) override {}
    void SetBusyPointer(bool) override {}
    void SetProgMax(float v) override { max_ = v; }
    void SetProgMin(float) override {}
    void SetProgValue(float v) override { value_ = v; }
    float ProgValue() const override { return value_; }
    float ProgMax() const override { return max_; }
    void ShowEndProg() override {}
    void ShowProblem(const std::string& message) override {
        std::fprintf(stderr, "%s\n", message.c_str());
        problem = true;
    }
    bool problem = false;

private:
    float max_ = 0, value_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s GAME_FOLDER [PROGRAM_FOLDER]\n", argv[0]);
        return 2;
    }
    UnrealMOD::GameFolder = argv[1];
    UnrealMOD::CacheIndexName = "cache.ini";
    // No cues: a folder that holds none.
    UnrealMOD::ProgramFolder() = argc == 3 ? argv[2] : "/nonexistent/lodestow-driver";
    UnrealMOD::MemoryCatalogue catalogue;
    if (!UnrealMOD::ReadCacheIndex(catalogue))
        return 3;
    NoView view;
    UnrealMOD::RunitClick(catalogue, view);
    return view.problem ? 4 : 0;
}
