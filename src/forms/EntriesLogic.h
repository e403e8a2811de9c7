#pragma once
// The cache entries window without a toolkit: its captions, columns, the rows it shows (sorted
// and filtered), the check boxes, the line under the list. Both front ends draw this and nothing
// else, so they show the same rows in the same order with the same words.

#include "forms/Twips.h"
#include "transfer/Entries.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace forms {

inline constexpr const char* EntriesTitle = "Cache Entries";
// "Cache Entries - " and the settled game's name: the player sees which game's cache this is.
std::string EntriesWindowTitle();
inline constexpr const char* EntriesMenuItem = "Cache entries\u2026"; // the logo's context menu
inline constexpr const char* EntriesShortcut = "F3";
inline constexpr const char* CountBoxTip = "Double-click to see every entry";
// The count boxes show five characters whole; a longer count shows its leading digits, cut, and
// its tooltip gives it whole above CountBoxTip.
inline constexpr std::size_t CountBoxCharacters = 5;
// The widest texts a count box must show whole.
inline constexpr const char* CountBoxSamples[] = {"99999", "88888", "00000", "Error"};
std::string CountTip(std::string_view shown);
inline constexpr const char* MoveCheckedCaption = "&Move checked"; // Alt+M
inline constexpr const char* KeepInstalledItem = "Keep the installed version";
inline constexpr const char* InstallCachedItem = "Install the cached version";
inline constexpr const char* FilterCue = "Filter by name";
inline constexpr const char* AllKindsItem = "All kinds";

// The window's controls for a window of that inside size, in twips: the filter box and the kind
// list on top, the list, then the line under it with "Move checked" at its right. The window
// opens at EntriesDefaultSize and is never smaller than EntriesMinimumSize.
struct EntriesLayout {
    TwipsRect filter, kinds, list, status, moveChecked;
};
inline constexpr float EntriesDefaultWidth = 14400, EntriesDefaultHeight = 6600;
inline constexpr float EntriesMinimumWidth = 6000, EntriesMinimumHeight = 3000;
EntriesLayout LayOutEntries(float width, float height);

enum class EntriesColumn { Name, Kind, Size, Date, Where, State, Guid };
inline constexpr int EntriesColumnCount = 7;
// "Name", "Kind", "Size", "Date", "Goes to", "State", "GUID".
const char* ColumnTitle(EntriesColumn column);
// The column's width in twips when the window opens.
float ColumnWidth(EntriesColumn column);

// The kind filter's choices: every kind (nullopt), then the settled game's kinds; and their items,
// "All kinds", then "Maps only", "Textures only", ... in the same order.
std::vector<std::optional<UnrealMOD::EntryKind>> KindFilterChoices();
std::vector<std::string> KindFilterItems();

// The texts of a cell. Names are shown readably: bytes that are not UTF-8 become U+FFFD, control
// characters a visible mark, and a name longer than 260 characters is cut with an ellipsis.
std::string ShownName(std::string_view name);
std::string SizeText(std::uint64_t bytes);      // "12,345" (bytes, grouped)
std::string ShortSize(std::uint64_t bytes);     // "1.2 MB", for the line under the list
std::string DateText(std::int64_t modified);    // "2026-12-09 08:01" (UTC)
std::string ShortGuid(const std::string& guid); // the first 8 digits and an ellipsis

class EntriesModel {
public:
    using Examiner = std::function<void(UnrealMOD::EntryView&)>;
    // New rows (a refresh): every "will be moved" row checked, every other unchecked. Sort and
    // filter stay as they were. Rows not examined yet are examined by `examine` when they are
    // first shown or asked for, or by ExamineSome in the window's spare time; a sort by a column
    // that needs the facts examines them all first.
    void Load(std::vector<UnrealMOD::EntryView> entries, Examiner examine = {});
    // The rows of the catalogue from their names, examined as they are needed (the describer
    // must outlive every use of the model until the next Load).
    void Load(const UnrealMOD::EntryDescriber& describer, int rows);
    const std::vector<UnrealMOD::EntryView>& Entries() const { return entries_; }
    // Rows left to examine; ExamineSome examines up to `count` of them, shown ones first.
    int Unexamined() const { return unexamined_; }
    void ExamineSome(int count);
    void ExamineAll() { ExamineSome(unexamined_); }
    // Whether showing a row examines it (the default). A window turns it off until it is on the
    // screen, so that it appears at once; rows not examined show their names and "…".
    void ExamineWhenShown(bool on) { examineWhenShown_ = on; }

    // The rows shown: the filtered entries in the sorted order.
    int Shown() const { return static_cast<int>(order_.size()); }
    // The entry index of shown row s (-1 outside).
    int EntryAt(int s) const;
    const UnrealMOD::EntryView& At(int s) const; // shown row s
    std::string Cell(int s, EntriesColumn column) const;
    std::string Tooltip(int s, EntriesColumn column) const; // full GUID, full name, reason

    bool Checked(int s) const;
    bool Checkable(int s) const;
    // False (and nothing changes) for a row that cannot be checked.
    bool SetChecked(int s, bool checked);
    bool Toggle(int s) { return SetChecked(s, !Checked(s)); }

    // Sorting is stable and by the column's value (sizes and dates as numbers, names without
    // regard to letter case); index order again for Name ascending after ResetOrder.
    void SortBy(EntriesColumn column, bool ascending);
    void ResetOrder(); // index order
    std::optional<EntriesColumn> SortColumn() const { return sortColumn_; }
    bool SortAscending() const { return ascending_; }
    // Names containing the text (or matching it, when it holds * or ?), without regard to case.
    void SetNameFilter(std::string text);
    void SetKindFilter(std::optional<UnrealMOD::EntryKind> kind);

    long long CheckedCount() const;
    std::uint64_t CheckedBytes() const;
    // "N entries, C checked (S)" and, when known, ", F free on the game's drive".
    std::string StatusLine(std::optional<std::uint64_t> freeBytes) const;

    // One flag per catalogue row of `catalogueRows`: the checked rows (every row examined first).
    UnrealMOD::RowChoice Choice(int catalogueRows) const;
    // The rows a transfer could take that the player left unchecked, by their names (hidden rows
    // too), taken before a run of the checked rows; after the run has been loaded, KeepUnchecked
    // leaves them unchecked, so that moving the rest again does not take them.
    std::vector<std::string> LeftUnchecked() const;
    void KeepUnchecked(const std::vector<std::string>& left);

private:
    void Rebuild();
    void Examine(std::size_t e) const;

    // Examining a row fills in what it is; to a reader of the model it was always there.
    mutable std::vector<UnrealMOD::EntryView> entries_;
    mutable std::vector<char> checked_;
    mutable int unexamined_ = 0;
    mutable std::size_t examineFrom_ = 0; // rows before it, in shown order, are examined
    Examiner examine_;
    bool examineWhenShown_ = true;
    std::vector<int> order_;
    std::optional<EntriesColumn> sortColumn_;
    bool ascending_ = true;
    std::string filter_;
    std::optional<UnrealMOD::EntryKind> kind_;
};

// Ordering and filtering of entries, for a front end that sorts through its own toolkit.
bool EntryLess(const UnrealMOD::EntryView& a, const UnrealMOD::EntryView& b, EntriesColumn column);
bool EntryMatches(const UnrealMOD::EntryView& entry, std::string_view nameFilter,
                  std::optional<UnrealMOD::EntryKind> kind);

} // namespace forms
