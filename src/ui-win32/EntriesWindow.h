#pragma once
// The cache entries window with Win32 controls: a virtual list-view in report view drawn from the
// entries model (check boxes included), the name filter, the kind list, the line under the list
// and "Move checked". It works on the main window's catalogue.

#include "forms/EntriesLogic.h"
#include "transfer/Entries.h"
#include "ui-win32/Win32.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace win32ui {

class MainForm;

class EntriesWindow {
public:
    explicit EntriesWindow(MainForm& main);
    ~EntriesWindow();
    EntriesWindow(const EntriesWindow&) = delete;
    EntriesWindow& operator=(const EntriesWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    bool Open() const { return hwnd_ != nullptr; }
    HWND List() const { return list_; }
    HWND Filter() const { return filter_; }
    HWND Kinds() const { return kinds_; }
    HWND Status() const { return status_; }
    HWND MoveButton() const { return move_; }
    forms::EntriesModel& Model() { return model_; }

    // Shows the window in front, the list holding the focus; rows are examined from then on.
    void Show();
    void Close();

    // The rows of the main window's catalogue as it is now, examined as they are needed.
    void Reload();
    // F5: the index read again through the main window's catalogue.
    void ReadAgain();
    // While the main window's catalogue is read again (a run, an install) no row is examined and
    // the window takes no input. Returns the rows as they were, for AfterRun.
    std::vector<UnrealMOD::EntryView> Freeze();
    // After a run: its rows say "moved" or "kept: ...".
    void AfterRun(const std::vector<UnrealMOD::EntryView>& before);

    void ToggleSelected(); // Space
    void MoveChecked();
    void SortByColumn(int column); // a click on the column's header
    // "Install the cached version" for the shown rows that have another version installed.
    void InstallCached(const std::vector<int>& shownRows);
    std::vector<int> SelectedRows() const;

    // The message loop's keyboard for this window (F5, Space, Escape, Tab, Alt+M). True when
    // the message was used.
    static bool PreTranslate(MSG& msg);

private:
    friend LRESULT CALLBACK EntriesProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OnNotify(const NMHDR& header, LPARAM lParam);
    void CreateControls();
    void LayOut();
    void ShowRows(); // the list's row count, then a repaint
    void ShowStatus();
    void ShowSortArrows();
    void Redraw(int shownRow);
    void ShowRowMenu(POINT screen);
    int StateImage(int shownRow) const;
    void ExamineInSpareTime();
    void Unfreeze();

    MainForm& main_;
    HWND hwnd_ = nullptr;
    HWND filter_ = nullptr, kinds_ = nullptr, list_ = nullptr, status_ = nullptr, move_ = nullptr;
    HFONT font_ = nullptr;
    std::vector<std::string> leftUnchecked_; // what "Move checked" left unchecked
    int dpi_ = forms::BaseDpi;               // the window's: a pixel is 1440 / dpi_ twips
    int Px(float twips) const { return forms::TwipsToPixels(twips, dpi_); }
    HIMAGELIST checks_ = nullptr;
    HBITMAP arrowUp_ = nullptr, arrowDown_ = nullptr;
    WNDPROC filterProc_ = nullptr; // the edit control's own procedure (the cue is drawn over it)
    WNDPROC listProc_ = nullptr;   // the list's own procedure (the cell under the pointer is kept)
    HWND tips_ = nullptr;          // the tooltip of the cell under the pointer
    std::pair<int, int> tipCell_{-1, -1};
    std::wstring tipText_;
    forms::EntriesModel model_;
    std::unique_ptr<UnrealMOD::EntryDescriber> describer_;
    std::optional<std::uint64_t> freeBytes_;
    std::wstring cellText_; // the text last handed to the list
    DWORD statusShownAt_ = 0;
    friend LRESULT CALLBACK FilterProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK ListProc(HWND, UINT, WPARAM, LPARAM);
};

} // namespace win32ui
