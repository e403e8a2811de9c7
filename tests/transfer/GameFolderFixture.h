#pragma once
// A throw-away game folder inside a Wine prefix of its own: WINEPREFIX points at it, drive C: is
// its drive_c, and GameFolder is "C:\Game\". The program folder holds no cues.

#include "catalogue/Catalogue.h"
#include "support/TestSupport.h"
#include "transfer/Transfer.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lodestow_test {

// Every call the transfer makes on the window, in order ("label:0 out of 2 Transfered", ...).
class FakeView : public UnrealMOD::TransferView {
public:
    void ShowTranFrame() override { Log("frame"); }
    void SetProgLbl(const std::string& caption) override {
        Log("label:" + caption);
        label = caption;
    }
    void SetWindowEnabled(bool on) override {
        Log(on ? "enabled" : "disabled");
        enabled = on;
    }
    void SetBusyPointer(bool on) override {
        Log(on ? "busy" : "pointer");
        busy = on;
    }
    void SetProgMax(float v) override {
        Log("max:" + Number(v));
        max = v;
    }
    void SetProgMin(float v) override {
        Log("min:" + Number(v));
        min = v;
    }
    void SetProgValue(float v) override {
        Log("value:" + Number(v));
        value = v;
    }
    float ProgValue() const override { return value; }
    float ProgMax() const override { return max; }
    void ShowEndProg() override { Log("endprog"); }
    void ShowProblem(const std::string& message) override {
        Log("problem");
        problems.push_back(message);
    }

    std::vector<std::string> Labels() const; // the label captions only, in order

    std::vector<std::string> log;
    std::vector<std::string> problems;
    std::string label;
    bool enabled = true;
    bool busy = false;
    float min = 0, max = 0, value = 0;
    std::function<void(const std::string&)> onCall; // may throw, to inject a window fault

private:
    static std::string Number(float v);
    void Log(const std::string& entry) {
        log.push_back(entry);
        if (onCall) {
            onCall(entry);
        }
    }
};

// Records the copied states as they are set, since the closing read resets them to "NO".
class MarkingCatalogue : public UnrealMOD::MemoryCatalogue {
public:
    void SetCopied(int r, const std::string& state) override {
        marks.push_back(Row(r).fileName + ":" + state);
        MemoryCatalogue::SetCopied(r, state);
    }
    std::vector<std::string> marks;
};

class GameFolderTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Native path of a game path relative to the game folder ("Cache/K1.uxx").
    std::string Native(const std::string& relative) const { return game_ + "/" + relative; }
    void Write(const std::string& relative, const std::string& bytes) const;
    std::optional<std::string> Read(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    std::vector<std::string> Names(const std::string& relativeFolder) const; // sorted
    void SetMode(const std::string& relative, unsigned mode) const;
    // How a message names the file: the system's separators, the folders as they really are.
    std::string Shown(const std::string& relative) const;
    // Every file and folder under the prefix with its content, except the cache index.
    std::map<std::string, std::string> Snapshot() const;
    // Reads the index into the catalogue (and checks that it could).
    void Load(UnrealMOD::CatalogueColumns& catalogue) const;

    std::optional<testsupport::TempTree> tree_;
    std::string root_;   // holds prefix/ and prog/
    std::string prefix_; // WINEPREFIX
    std::string game_;   // native folder of C:\Game
    std::string oldProgramFolder_;
};

} // namespace lodestow_test
