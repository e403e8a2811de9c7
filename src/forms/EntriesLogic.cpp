#include "forms/EntriesLogic.h"

#include "platform/Utf.h"
#include "runtime/Games.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <unordered_set>

namespace forms {

std::string CountTip(std::string_view shown) {
    if (shown.size() <= CountBoxCharacters)
        return CountBoxTip;
    return std::string(shown) + "\n" + CountBoxTip;
}

using UnrealMOD::EntryKind;
using UnrealMOD::EntryState;
using UnrealMOD::EntryView;

namespace {

constexpr std::size_t LongestShownName = 260;

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The file system's order of names without regard to letter case, decided on plain ASCII
// without folding whole names (a sort of many rows compares each name many times).
bool NameLess(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]);
        const unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 0x80 || y >= 0x80)
            return platform::utf::LessIgnoringCase(a, b);
        const char ux = AsciiUpper(static_cast<char>(x)), uy = AsciiUpper(static_cast<char>(y));
        if (ux != uy)
            return ux < uy;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b; // same letters: byte order breaks the tie
}

std::u32string FoldedText(std::string_view text) {
    return platform::utf::Folded(text);
}

bool ContainsIgnoringCase(std::string_view name, const std::u32string& folded) {
    if (folded.empty())
        return true;
    return FoldedText(name).find(folded) != std::u32string::npos;
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
}

std::string StateCell(const EntryView& entry) {
    std::string text = UnrealMOD::StateText(entry.state, entry.reason);
    if (entry.nameMismatch)
        text += std::string("; ") + UnrealMOD::MismatchText;
    return text;
}

} // namespace

EntriesLayout LayOutEntries(float width, float height) {
    width = std::max(width, EntriesMinimumWidth);
    height = std::max(height, EntriesMinimumHeight);
    constexpr float margin = 120, gap = 120, line = 315, button = 375, kindsWidth = 2400,
                    buttonWidth = 1800;
    EntriesLayout layout;
    layout.kinds = {width - margin - kindsWidth, margin, kindsWidth, line};
    layout.filter = {margin, margin, layout.kinds.left - gap - margin, line};
    const float bottom = height - margin - button;
    layout.list = {margin, margin + line + gap, width - 2 * margin,
                   bottom - gap - (margin + line + gap)};
    layout.moveChecked = {width - margin - buttonWidth, bottom, buttonWidth, button};
    layout.status = {margin, bottom + (button - line) / 2, layout.moveChecked.left - gap - margin,
                     line};
    return layout;
}

const char* ColumnTitle(EntriesColumn column) {
    static constexpr std::array<const char*, EntriesColumnCount> titles = {
        "Name", "Kind", "Size", "Date", "Goes to", "State", "GUID"};
    return titles[static_cast<std::size_t>(column)];
}

float ColumnWidth(EntriesColumn column) {
    // Wide enough for "stays in the cache" and "language file"; together they fit the list of a
    // window of the default size.
    static constexpr std::array<float, EntriesColumnCount> widths = {2900, 1300, 1100, 1900,
                                                                     1900, 3300, 1300};
    return widths[static_cast<std::size_t>(column)];
}

std::vector<std::optional<EntryKind>> KindFilterChoices() {
    std::vector<std::optional<EntryKind>> choices{std::nullopt};
    for (const EntryKind kind : UnrealMOD::GameKinds())
        choices.emplace_back(kind);
    return choices;
}

std::vector<std::string> KindFilterItems() {
    static constexpr std::array<const char*, UnrealMOD::EntryKindCount> items{
        "Maps only",           "Textures only",   "Sounds only", "Music only",
        "Static meshes only",  "Animations only", "Meshes only", "Code only",
        "Language files only", "Other files only"};
    std::vector<std::string> shown;
    for (const auto& choice : KindFilterChoices())
        shown.emplace_back(choice ? items[static_cast<std::size_t>(*choice)] : AllKindsItem);
    return shown;
}

std::string EntriesWindowTitle() {
    return std::string(EntriesTitle) + " - " + UnrealMOD::CurrentGame().name;
}

std::string ShownName(std::string_view name) {
    std::string shown;
    std::size_t pos = 0, characters = 0;
    while (pos < name.size()) {
        if (characters == LongestShownName) {
            shown += "\u2026";
            break;
        }
        char32_t cp = platform::utf::DecodeUtf8(name, pos);
        // A control character would break the line or hide what follows; it shows as a mark.
        if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || cp == 0x2028 || cp == 0x2029)
            cp = platform::utf::kReplacement;
        platform::utf::AppendUtf8(shown, cp);
        ++characters;
    }
    return shown;
}

std::string SizeText(std::uint64_t bytes) {
    const std::string digits = std::to_string(bytes);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

std::string ShortSize(std::uint64_t bytes) {
    static constexpr std::array<const char*, 5> units = {"bytes", "KB", "MB", "GB", "TB"};
    if (bytes < 1024)
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < units.size()) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

std::string DateText(std::int64_t modified) {
    long long days = modified / 86400, seconds = modified % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    long long y = 0;
    unsigned m = 0, d = 0;
    CivilFromDays(days, y, m, d);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02lld:%02lld", y, m, d, seconds / 3600,
                  seconds / 60 % 60);
    return text;
}

std::string ShortGuid(const std::string& guid) {
    return guid.size() <= 8 ? guid : guid.substr(0, 8) + "\u2026";
}

bool EntryLess(const EntryView& a, const EntryView& b, EntriesColumn column) {
    switch (column) {
    case EntriesColumn::Name:
        return NameLess(a.fileName, b.fileName);
    case EntriesColumn::Kind:
        return a.kind < b.kind;
    case EntriesColumn::Size:
        // A missing file has no size: it sorts before every file.
        if (a.cacheFileFound != b.cacheFileFound)
            return !a.cacheFileFound;
        return a.size < b.size;
    case EntriesColumn::Date:
        if (a.cacheFileFound != b.cacheFileFound)
            return !a.cacheFileFound;
        return a.modified < b.modified;
    case EntriesColumn::Where:
        return NameLess(UnrealMOD::WhereText(a), UnrealMOD::WhereText(b));
    case EntriesColumn::State:
        if (a.state != b.state)
            return a.state < b.state;
        if (a.nameMismatch != b.nameMismatch)
            return b.nameMismatch;
        return a.reason < b.reason;
    case EntriesColumn::Guid:
        return a.guid < b.guid;
    }
    return false;
}

bool EntryMatches(const EntryView& entry, std::string_view nameFilter,
                  std::optional<EntryKind> kind) {
    if (kind && entry.kind != *kind)
        return false;
    if (nameFilter.empty())
        return true;
    if (platform::utf::HasWildcard(nameFilter))
        return platform::utf::WildcardMatch(nameFilter, entry.fileName);
    return ContainsIgnoringCase(entry.fileName, FoldedText(nameFilter));
}

void EntriesModel::Load(std::vector<EntryView> entries, Examiner examine) {
    entries_ = std::move(entries);
    examine_ = std::move(examine);
    checked_.assign(entries_.size(), 0);
    unexamined_ = 0;
    examineFrom_ = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!examine_)
            entries_[i].examined = true; // nothing more can be known of it
        if (!entries_[i].examined)
            ++unexamined_;
        else
            checked_[i] = entries_[i].state == EntryState::WillMove;
    }
    Rebuild();
}

void EntriesModel::Load(const UnrealMOD::EntryDescriber& describer, int rows) {
    std::vector<EntryView> entries;
    entries.reserve(static_cast<std::size_t>(std::max(rows, 0)));
    for (int r = 0; r < rows; ++r)
        entries.push_back(describer.Named(r));
    Load(std::move(entries), [&describer](EntryView& entry) { describer.Examine(entry); });
}

void EntriesModel::Examine(std::size_t e) const {
    EntryView& entry = entries_[e];
    if (entry.examined || !examine_)
        return;
    examine_(entry);
    entry.examined = true;
    --unexamined_;
    checked_[e] = entry.state == EntryState::WillMove;
}

void EntriesModel::ExamineSome(int count) {
    // The rows in the order they are shown, then those the filter hides.
    for (; count > 0 && unexamined_ > 0 && examineFrom_ < order_.size(); ++examineFrom_) {
        const auto e = static_cast<std::size_t>(order_[examineFrom_]);
        if (!entries_[e].examined) {
            Examine(e);
            --count;
        }
    }
    for (std::size_t e = 0; count > 0 && unexamined_ > 0 && e < entries_.size(); ++e) {
        if (!entries_[e].examined) {
            Examine(e);
            --count;
        }
    }
}

int EntriesModel::EntryAt(int s) const {
    return s >= 0 && s < Shown() ? order_[static_cast<std::size_t>(s)] : -1;
}

const EntryView& EntriesModel::At(int s) const {
    static const EntryView none;
    const int e = EntryAt(s);
    if (e < 0)
        return none;
    if (examineWhenShown_)
        Examine(static_cast<std::size_t>(e));
    return entries_[static_cast<std::size_t>(e)];
}

std::string EntriesModel::Cell(int s, EntriesColumn column) const {
    if (EntryAt(s) < 0)
        return {};
    const EntryView& entry = At(s);
    if (!entry.examined && column != EntriesColumn::Name && column != EntriesColumn::Kind)
        return column == EntriesColumn::State ? "\u2026" : "";
    switch (column) {
    case EntriesColumn::Name:
        return ShownName(entry.fileName);
    case EntriesColumn::Kind:
        return UnrealMOD::KindWord(entry.kind);
    case EntriesColumn::Size:
        return entry.cacheFileFound ? SizeText(entry.size) : std::string();
    case EntriesColumn::Date:
        return entry.cacheFileFound ? DateText(entry.modified) : std::string();
    case EntriesColumn::Where:
        return ShownName(UnrealMOD::WhereText(entry));
    case EntriesColumn::State:
        return ShownName(StateCell(entry));
    case EntriesColumn::Guid:
        return ShortGuid(entry.guid);
    }
    return {};
}

std::string EntriesModel::Tooltip(int s, EntriesColumn column) const {
    if (EntryAt(s) < 0)
        return {};
    const EntryView& entry = At(s);
    switch (column) {
    case EntriesColumn::Name:
        return ShownName(entry.fileName) + "\nCache name: " + ShownName(entry.cacheName);
    case EntriesColumn::State: {
        std::string tip = ShownName(StateCell(entry));
        if (!entry.installedName.empty() && entry.state != EntryState::Moved)
            tip += "\nInstalled: " + ShownName(entry.installedName);
        return tip;
    }
    case EntriesColumn::Guid:
        return entry.guid;
    default:
        return {};
    }
}

bool EntriesModel::Checked(int s) const {
    const int e = EntryAt(s);
    return e >= 0 && checked_[static_cast<std::size_t>(e)];
}

bool EntriesModel::Checkable(int s) const {
    return EntryAt(s) >= 0 && At(s).examined && At(s).Movable();
}

bool EntriesModel::SetChecked(int s, bool checked) {
    if (!Checkable(s))
        return false;
    checked_[static_cast<std::size_t>(EntryAt(s))] = checked;
    return true;
}

void EntriesModel::SortBy(EntriesColumn column, bool ascending) {
    sortColumn_ = column;
    ascending_ = ascending;
    Rebuild();
}

void EntriesModel::ResetOrder() {
    sortColumn_.reset();
    ascending_ = true;
    Rebuild();
}

void EntriesModel::SetNameFilter(std::string text) {
    filter_ = std::move(text);
    Rebuild();
}

void EntriesModel::SetKindFilter(std::optional<EntryKind> kind) {
    kind_ = kind;
    Rebuild();
}

void EntriesModel::Rebuild() {
    order_.clear();
    const bool wildcard = platform::utf::HasWildcard(filter_);
    const std::u32string folded = wildcard ? std::u32string() : FoldedText(filter_);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const EntryView& entry = entries_[i];
        if (kind_ && entry.kind != *kind_)
            continue;
        if (wildcard ? !platform::utf::WildcardMatch(filter_, entry.fileName)
                     : !ContainsIgnoringCase(entry.fileName, folded))
            continue;
        order_.push_back(static_cast<int>(i));
    }
    examineFrom_ = 0;
    if (!sortColumn_)
        return;
    const EntriesColumn column = *sortColumn_;
    // Names and kinds are known without the files; every other column needs every row's facts.
    if (column != EntriesColumn::Name && column != EntriesColumn::Kind)
        ExamineAll();
    // Descending keeps rows that compare equal in index order too.
    std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
        const EntryView& x = entries_[static_cast<std::size_t>(a)];
        const EntryView& y = entries_[static_cast<std::size_t>(b)];
        return ascending_ ? EntryLess(x, y, column) : EntryLess(y, x, column);
    });
}

long long EntriesModel::CheckedCount() const {
    return std::count(checked_.begin(), checked_.end(), 1);
}

std::uint64_t EntriesModel::CheckedBytes() const {
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (checked_[i])
            bytes += entries_[i].size;
    return bytes;
}

std::string EntriesModel::StatusLine(std::optional<std::uint64_t> freeBytes) const {
    const auto plural = [](long long n, const char* one, const char* many) {
        return SizeText(static_cast<std::uint64_t>(n)) + " " + (n == 1 ? one : many);
    };
    std::string line = plural(static_cast<long long>(entries_.size()), "entry", "entries");
    if (Shown() != static_cast<int>(entries_.size()))
        line += " (" + SizeText(static_cast<std::uint64_t>(Shown())) + " shown)";
    line += ", " + SizeText(static_cast<std::uint64_t>(CheckedCount())) + " checked (" +
            ShortSize(CheckedBytes()) + ")";
    if (freeBytes)
        line += ", " + ShortSize(*freeBytes) + " free on the game's drive";
    if (unexamined_ > 0)
        line += "; looking at " + SizeText(static_cast<std::uint64_t>(unexamined_)) + " more\u2026";
    return line;
}

UnrealMOD::RowChoice EntriesModel::Choice(int catalogueRows) const {
    for (std::size_t e = 0; unexamined_ > 0 && e < entries_.size(); ++e)
        Examine(e);
    UnrealMOD::RowChoice choice(static_cast<std::size_t>(std::max(catalogueRows, 0)), false);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const int r = entries_[i].catalogueRow;
        if (checked_[i] && r >= 0 && r < catalogueRows)
            choice[static_cast<std::size_t>(r)] = true;
    }
    return choice;
}

namespace {
std::string ChoiceKey(const UnrealMOD::EntryView& entry) {
    return entry.cacheName + '=' + entry.fileName;
}
} // namespace

std::vector<std::string> EntriesModel::LeftUnchecked() const {
    std::vector<std::string> left;
    for (std::size_t e = 0; e < entries_.size(); ++e) {
        Examine(e);
        if (entries_[e].Movable() && !checked_[e])
            left.push_back(ChoiceKey(entries_[e]));
    }
    return left;
}

void EntriesModel::KeepUnchecked(const std::vector<std::string>& left) {
    if (left.empty())
        return;
    const std::unordered_set<std::string> keys(left.begin(), left.end());
    for (std::size_t e = 0; e < entries_.size(); ++e)
        if (checked_[e] && keys.count(ChoiceKey(entries_[e])))
            checked_[e] = false;
}

} // namespace forms
