#pragma once
// The location window's handlers, apart from drawing: the drive list, the directory list and the
// path box kept in step, "Enter" trying the folder, "Cancel" and "X" ending the program. Each
// front end gives the handlers its controls through LocationWindow.

#include <functional>
#include <string>

namespace forms {

inline constexpr const char* StartFolder = "C:\\";
inline constexpr const char* TryAgainText = "Try Again";
inline constexpr const char* TryAgainTitle = "System Failure";

class LocationWindow {
public:
    virtual ~LocationWindow() = default;
    // Selects the drive the text starts with; raises Drive1_Change when the drive is another
    // one. False, and no change, when the drive is not listed.
    virtual bool SetDrive(const std::string& drive) = 0;
    virtual std::string Drive() const = 0; // "c:"
    // Opens the folder in the directory list; raises Dir1_Change when the path is another one.
    // False, and no change, when it cannot be read.
    virtual bool SetDirPath(const std::string& path) = 0;
    virtual std::string DirPath() const = 0;
    virtual std::string ThePathText() const = 0;
    virtual void SetThePathText(const std::string& text) = 0;
    // The message box: "Try Again", "System Failure", stop icon, OK; returns once dismissed.
    virtual void ShowTryAgain() = 0;
    virtual void CloseMainForm() = 0;
    // Creates the main window afresh, runs its load and shows it.
    virtual void OpenMainForm() = 0;
    // Closes this window; the program ends when no window of it remains.
    virtual void CloseWindow() = 0;
};

// Answers whether the window still exists: a handler stops at once when it does not (events
// processed inside a handler may have closed it).
using StillLoaded = std::function<bool()>;

void FindUnreal_Load(LocationWindow& w, const StillLoaded& loaded);
// `inFallback` is the window's own flag: putting the drive list back on C: raises this handler
// again from inside itself.
void Drive1_Change(LocationWindow& w, bool& inFallback, const StillLoaded& loaded);
void Dir1_Change(LocationWindow& w);
void Command1_Click(LocationWindow& w, const StillLoaded& loaded);
// "Cancel" and "X".
void CloseCommand_Click(LocationWindow& w);

} // namespace forms
