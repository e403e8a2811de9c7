#include "cli/CommandLine.h"

#include "catalogue/CacheIndex.h"
#include "catalogue/EntryFacts.h"
#include "cli/Options.h"
#include "cli/Text.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"
#include "platform/Utf.h"
#include "runtime/Copier.h"
#include "runtime/GameRunning.h"
#include "runtime/Globals.h"
#include "runtime/PlayCue.h"
#include "startup/GameInstall.h"
#include "startup/Settings.h"
#include "startup/StartupSequence.h"
#include "transfer/Entries.h"
#include "transfer/Transfer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>

namespace cli {

using namespace UnrealMOD;

namespace {

constexpr int Done = 0;
constexpr int Partly = 1;
constexpr int Nothing = 2;

// Whole writes; a closed pipe only makes them fail, and the run goes on.
void Write(std::FILE* stream, const std::string& text) {
    if (!text.empty())
        std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

int Refuse(const std::string& why) {
    Write(stderr, "lodestow: " + why + "\n");
    return Nothing;
}

// The game and its index, read as the windows read them.
struct Loaded {
    std::string gameSource; // where the game folder came from, in words
    MemoryCatalogue catalogue;
};

std::string SourceText(const FoundGameFolder& found) {
    switch (found.source) {
    case GameFolderSource::SettingsFile:
        return "from the settings file " + ShownText(platform::ShownPath(SettingsPath()));
    case GameFolderSource::Discovery:
        return "found where the game was installed";
    case GameFolderSource::Default:
        break;
    }
    return found.settingsFileExists ? "the default (the settings file could not be read)"
                                    : "the default";
}

// Empty when the game was found and its index read; otherwise why not.
std::string Load(const Options& options, Loaded& loaded) {
    if (options.game) {
        GameFolder = *options.game;
        loaded.gameSource = "given with --game";
    } else {
        FoundGameFolder found = FindGameFolder();
        loaded.gameSource = SourceText(found);
        GameFolder = std::move(found.folder);
    }
    if (!GameIsInstalledAt(GameFolder))
        return "no game Lodestow knows in " + ShownText(GameFolder) + " (" + loaded.gameSource +
               ")";
    CacheIndexName = "cache.ini";
    SettleCacheLocation();
    if (!ReadCacheIndex(loaded.catalogue)) {
        if (!platform::PathExists(CacheIndexPath()))
            return "no cache index " + ShownText(CacheIndexPath());
        return "the cache index " + ShownText(CacheIndexPath()) + " could not be read";
    }
    return {};
}

std::vector<EntryView> NamedEntries(const CatalogueColumns& catalogue) {
    const EntryDescriber describer(catalogue);
    std::vector<EntryView> entries;
    entries.reserve(static_cast<std::size_t>(catalogue.RowCount()));
    for (int r = 0; r < catalogue.RowCount(); ++r)
        entries.push_back(describer.Named(r));
    return entries;
}

bool Selected(const Options& options, const EntryView& entry) {
    if (!options.only.empty() &&
        std::find(options.only.begin(), options.only.end(), entry.kind) == options.only.end())
        return false;
    return !options.name || platform::utf::WildcardMatch(*options.name, entry.fileName);
}

std::string Key(const EntryView& entry) {
    return entry.cacheName + '=' + entry.fileName;
}

// ---- output ------------------------------------------------------------------------------------

void AppendJsonEntry(std::string& out, const EntryView& e, const bool* selected) {
    out += "\n    {\"cacheName\": ";
    AppendJsonString(out, e.cacheName);
    out += ", \"fileName\": ";
    AppendJsonString(out, e.fileName);
    out += ", \"kind\": ";
    AppendJsonString(out, KindWord(e.kind));
    out += ", \"destination\": ";
    AppendJsonString(out, e.destination);
    if (e.cacheFileFound) {
        out += ", \"size\": " + std::to_string(e.size) + ", \"modified\": \"";
        out += IsoTime(e.modified);
        out += '"';
    } else {
        out += ", \"size\": null, \"modified\": null";
    }
    out += ", \"guid\": ";
    if (e.guid.empty())
        out += "null";
    else
        AppendJsonString(out, e.guid);
    out += ", \"state\": \"";
    out += StateWord(e.state);
    out += "\", \"reason\": ";
    if (e.reason.empty())
        out += "null";
    else
        AppendJsonString(out, e.reason);
    if (selected)
        out += *selected ? ", \"selected\": true" : ", \"selected\": false";
    out += '}';
}

std::string JsonDocument(const std::vector<EntryView>& entries, const std::vector<char>* selected) {
    std::string out;
    out.reserve(entries.size() * 320 + 512);
    out += "{\"game\": ";
    AppendJsonString(out, platform::ShownPath(GameFolder));
    out += ", \"cache\": ";
    AppendJsonString(out, platform::ShownPath(CacheFolderPath()));
    out += ", \"entries\": [";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i)
            out += ',';
        const bool chosen = selected && (*selected)[i];
        AppendJsonEntry(out, entries[i], selected ? &chosen : nullptr);
    }
    out += entries.empty() ? "],\n" : "\n  ],\n";
    const EntryTotals totals = TotalsOf(entries);
    out += "  \"totals\": {\"entries\": " + std::to_string(totals.entries);
    for (int s = 0; s < EntryStateCount; ++s) {
        out += ", \"";
        out += StateWord(static_cast<EntryState>(s));
        out += "\": " + std::to_string(totals.byState[s]);
    }
    out += ", \"movableBytes\": " + std::to_string(totals.movableBytes) + "}}\n";
    return out;
}

std::string TotalsLine(const std::vector<EntryView>& entries) {
    const EntryTotals totals = TotalsOf(entries);
    std::string line =
        std::to_string(totals.entries) + (totals.entries == 1 ? " entry" : " entries");
    for (int s = 0; s < EntryStateCount; ++s) {
        if (!totals.byState[s])
            continue;
        const auto state = static_cast<EntryState>(s);
        line += "; " + StateText(state, {}) + ": " + std::to_string(totals.byState[s]);
        if (state == EntryState::WillMove)
            line += " (" + ShortSize(totals.movableBytes) + ')';
    }
    return line + '\n';
}

// Aligned columns: state, kind, size, real name, destination, cache name.
std::string TextLines(const std::vector<EntryView>& entries, const std::vector<char>* selected) {
    struct Row {
        std::string cells[6];
    };
    std::vector<Row> rows;
    rows.reserve(entries.size());
    std::size_t widths[5] = {};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const EntryView& e = entries[i];
        Row row;
        row.cells[0] = selected && !(*selected)[i] ? "not selected" : StateText(e.state, e.reason);
        row.cells[1] = KindWord(e.kind);
        row.cells[2] = e.cacheFileFound ? ShortSize(e.size) : "-";
        row.cells[3] = ShownText(e.fileName);
        row.cells[4] = WhereText(e);
        row.cells[5] = ShownText(e.cacheName);
        for (int c = 0; c < 5; ++c)
            widths[c] = std::max(widths[c], Columns(row.cells[c]));
        rows.push_back(std::move(row));
    }
    std::string out;
    for (const Row& row : rows) {
        for (int c = 0; c < 6; ++c) {
            out += row.cells[c];
            if (c == 5)
                break;
            const std::size_t pad = widths[c] - Columns(row.cells[c]) + 2;
            if (c == 2) // sizes line up on the right
                out.insert(out.size() - row.cells[c].size(), pad - 2, ' '), out.append(2, ' ');
            else
                out.append(pad, ' ');
        }
        out += '\n';
    }
    return out;
}

// ---- progress ----------------------------------------------------------------------------------

// A bar on standard error, redrawn at most ten times a second: count, total, name, rate.
class ProgressView : public TransferView {
public:
    explicit ProgressView(bool bar) : bar_(bar), start_(Clock::now()) {}
    void ShowTranFrame() override {}
    void SetProgLbl(const std::string&) override {}
    void SetWindowEnabled(bool) override {}
    void SetBusyPointer(bool) override {}
    void SetProgMax(float v) override { max_ = v; }
    void SetProgMin(float) override {}
    void SetProgValue(float v) override {
        value_ = v;
        Draw(false);
    }
    float ProgValue() const override { return value_; }
    float ProgMax() const override { return max_; }
    void ShowEndProg() override { Draw(true); }
    void ShowProblem(const std::string& message) override { problems_.push_back(message); }
    void ShowCurrentEntry(const CatalogueRow& row) override {
        current_ = ShownText(row.fileName);
        Draw(false);
    }
    void Finish() {
        if (drawn_)
            Write(stderr, "\n");
        drawn_ = false;
    }
    const std::vector<std::string>& Problems() const { return problems_; }

private:
    using Clock = std::chrono::steady_clock;

    void Draw(bool last) {
        if (!bar_)
            return;
        const auto now = Clock::now();
        if (!last && drawn_ && now - lastDraw_ < std::chrono::milliseconds(100))
            return;
        lastDraw_ = now;
        drawn_ = true;
        const int width = std::max(platform::TerminalWidth(platform::StandardStream::Error), 0);
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const long long count = static_cast<long long>(value_);
        const long long total = static_cast<long long>(max_);
        char rate[32];
        std::snprintf(rate, sizeof rate, "%.0f/s", seconds > 0 ? count / seconds : 0.0);
        std::string tail = ' ' + std::to_string(count) + '/' + std::to_string(total) + ' ' + rate +
                           ' ' + (last ? std::string() : current_);
        // The bar takes a quarter of the line, and only when the line has room for it.
        std::string line;
        const int barWidth = width >= 40 ? width / 4 : 0;
        if (barWidth > 0) {
            const int filled =
                total > 0 ? static_cast<int>(barWidth * std::min(count, total) / total) : 0;
            line = '[' + std::string(filled, '#') + std::string(barWidth - filled, '-') + ']';
        }
        line += tail;
        // Never wider than the terminal (one column spare): a wrapped line would not be redrawn.
        const std::size_t room = width > 1 ? static_cast<std::size_t>(width - 1) : 79;
        std::string shown;
        std::size_t columns = 0;
        for (std::size_t i = 0; i < line.size() && columns <= room; ++i) {
            if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80 && ++columns > room)
                break;
            shown += line[i];
        }
        Write(stderr, '\r' + shown + std::string(room - std::min(room, columns), ' '));
    }

    bool bar_;
    Clock::time_point start_;
    Clock::time_point lastDraw_{};
    bool drawn_ = false;
    float max_ = 0, value_ = 0;
    std::string current_;
    std::vector<std::string> problems_;
};

// ---- commands ----------------------------------------------------------------------------------

int List(const Options& options) {
    Loaded loaded;
    if (auto why = Load(options, loaded); !why.empty())
        return Refuse(why);
    const std::vector<EntryView> entries = DescribeEntries(loaded.catalogue);
    Write(stdout, options.json ? JsonDocument(entries, nullptr)
                               : TextLines(entries, nullptr) + TotalsLine(entries));
    return Done;
}

// A file of unknown kind in a game without a folder for them stays by rule, as code packages do:
// it is not "kept".
bool WouldBeKept(EntryState state) {
    return state == EntryState::Blocked || state == EntryState::OtherVersion ||
           state == EntryState::NameNotUsable;
}

// The entries after a run, in the order they had before it: what the run did with each one it
// took (its report lists them in that order), and, for those still in the cache, their facts as
// the closing read finds them. A moved entry's cache file is gone: it has none.
std::vector<EntryView> AfterRun(const CatalogueColumns& catalogue,
                                const std::vector<EntryView>& before,
                                const std::vector<char>* chosen,
                                const std::vector<RowReport>& report,
                                const std::unordered_set<std::string>& staying) {
    std::vector<EntryView> after = before;
    const EntryDescriber describer(catalogue);
    std::unordered_map<std::string, int> rowOf; // filled only when the closing read moved rows
    // The entry's row in the closing read; -1 when that no longer lists it.
    const auto rowNow = [&](const EntryView& entry) {
        const int r = entry.catalogueRow;
        if (r >= 0 && r < catalogue.RowCount()) {
            const CatalogueRow row = catalogue.Row(r);
            if (row.cacheName == entry.cacheName && row.fileName == entry.fileName)
                return r;
        }
        if (rowOf.empty())
            for (int i = catalogue.RowCount() - 1; i >= 0; --i) {
                const CatalogueRow row = catalogue.Row(i);
                rowOf[row.cacheName + '=' + row.fileName] = i;
            }
        const auto found = rowOf.find(Key(entry));
        return found == rowOf.end() ? -1 : found->second;
    };
    // Left alone by the run: as a transfer would find it now.
    const auto describeNow = [&](EntryView& entry) {
        const int r = rowNow(entry);
        if (r < 0)
            return;
        entry = describer.Named(r);
        describer.Examine(entry);
    };
    // Still in the cache after the run, which said why: only its file's facts are wanted.
    const auto factsNow = [&](EntryView& entry) {
        const int r = rowNow(entry);
        if (r < 0)
            return;
        const EntryFacts& facts = CatalogueFacts().Of(catalogue, r);
        entry.cacheFileFound = facts.cacheFileFound;
        entry.size = facts.size;
        entry.modified = facts.modified;
        entry.guid = facts.header ? facts.header->guid.Hex() : std::string();
        entry.nameMismatch = facts.nameMismatch;
        entry.installedName = facts.installedName;
    };
    std::size_t next = 0;
    for (std::size_t i = 0; i < after.size(); ++i) {
        EntryView& entry = after[i];
        if ((chosen && !(*chosen)[i]) || next >= report.size()) {
            describeNow(entry);
            continue;
        }
        const RowReport& fate = report[next++];
        if (fate.cacheName != entry.cacheName || fate.fileName != entry.fileName)
            continue; // not the row the run saw: left as it was named
        switch (fate.fate) {
        case RowFate::Moved:
        case RowFate::Duplicate:
            entry.state = EntryState::Moved;
            entry.reason.clear();
            break;
        case RowFate::Missing:
            entry.state = EntryState::Missing;
            break;
        case RowFate::Skipped: // stays by rule, when its file is there
            factsNow(entry);
            entry.state = entry.cacheFileFound ? EntryState::StaysCode : EntryState::Missing;
            break;
        case RowFate::Kept:
            factsNow(entry);
            if (staying.count(Key(entry))) {
                entry.state = EntryState::StaysUnknown;
                entry.reason.clear();
            } else {
                entry.state = EntryState::Kept;
                entry.reason = fate.reason;
            }
            break;
        }
    }
    return after;
}

int Transfer(const Options& options) {
    Loaded loaded;
    if (auto why = Load(options, loaded); !why.empty())
        return Refuse(why);
    if (!options.dryRun && GameIsRunning(GameFolder))
        return Refuse(CurrentGame().name +
                      std::string(" is running: close the game first, it writes its "
                                  "cache while it runs"));
    CatalogueColumns& catalogue = loaded.catalogue;
    // A dry run shows what would happen, which takes every entry's facts; a run needs only the
    // names to choose, and reports what it did (a moved entry's cache file is gone by then).
    const std::vector<EntryView> before =
        options.dryRun ? DescribeEntries(catalogue) : NamedEntries(catalogue);
    const bool unknownFolder = platform::IsDirectory(GameFolder + "Unknown File");
    RowChoice choice(before.size(), false);
    std::vector<char> selected(before.size(), 0);
    std::unordered_set<std::string> staying;
    bool anyKept = false;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (!Selected(options, before[i]))
            continue;
        choice[i] = true;
        selected[i] = 1;
        if (before[i].destination == "Unknown File" && !unknownFolder)
            staying.insert(Key(before[i]));
        anyKept = anyKept || WouldBeKept(before[i].state);
    }
    const bool filtered = !options.only.empty() || options.name;
    if (ChosenTotal(catalogue, choice) == 0) {
        if (options.json)
            Write(stdout, JsonDocument(before, &selected));
        else
            Write(stdout, "nothing selected\n");
        return Done;
    }
    if (options.dryRun) {
        std::vector<EntryView> chosen;
        for (std::size_t i = 0; i < before.size(); ++i)
            if (selected[i])
                chosen.push_back(before[i]);
        Write(stdout, options.json
                          ? JsonDocument(before, &selected)
                          : TextLines(before, &selected) + "selected: " + TotalsLine(chosen));
        return anyKept ? Partly : Done;
    }

    ProgressView view(platform::IsTerminal(platform::StandardStream::Error));
    RunitClick(catalogue, view, filtered ? &choice : nullptr);
    view.Finish();
    const std::vector<RowReport>& report = LastRunReport();
    long long moved = 0, kept = 0;
    for (const RowReport& row : report) {
        moved += row.fate == RowFate::Moved || row.fate == RowFate::Duplicate;
        kept += row.fate == RowFate::Kept && !staying.count(row.cacheName + '=' + row.fileName);
    }
    const std::vector<EntryView> after =
        AfterRun(catalogue, before, filtered ? &selected : nullptr, report, staying);
    const std::vector<char>& afterSelected = selected;
    if (options.json) {
        Write(stdout, JsonDocument(after, &afterSelected));
    } else {
        Write(stdout, TextLines(after, &afterSelected) + std::to_string(moved) + " moved, " +
                          std::to_string(kept) + " kept in the cache\n");
    }
    for (const std::string& problem : view.Problems()) {
        std::string line = problem;
        std::replace(line.begin(), line.end(), '\n', ' ');
        Write(stderr, "lodestow: " + line + "\n");
    }
    return kept > 0 || !view.Problems().empty() ? Partly : Done;
}

const char* EncodingText(IndexEncoding encoding) {
    switch (encoding) {
    case IndexEncoding::Ansi:
        return "ANSI (Windows-1252)";
    case IndexEncoding::Utf8:
        return "UTF-8";
    case IndexEncoding::Utf8Bom:
        return "UTF-8 with byte-order mark";
    case IndexEncoding::Utf16LeBom:
        return "UTF-16 LE with byte-order mark";
    }
    return "unknown";
}

int Check(const Options& options) {
    Loaded loaded;
    if (auto why = Load(options, loaded); !why.empty())
        return Refuse(why);
    // Where the cache settings came from: the keys of the game's ini, or the game's defaults.
    const std::string ini = GameIniPath(GameFolder);
    CacheSettings settings;
    const bool iniRead = Copier::FileExists(ini);
    if (iniRead)
        if (const auto bytes = platform::ReadFileBytes(ini))
            settings = ParseCacheSettings(*bytes);
    const auto from = [&](bool set) {
        if (set)
            return "from " + ShownText(platform::ShownPath(ini));
        return std::string(iniRead ? "the default: not set in " : "the default: no ") +
               ShownText(platform::ShownPath(ini));
    };
    std::string out = "game:            " + std::string(CurrentGame().name) + "\n";
    // The folder where it is on this system, and as it was given when that reads otherwise.
    const std::string native = platform::ShownPath(GameFolder);
    out += "game folder:     " + ShownText(native) + " (" +
           (native == GameFolder ? "" : ShownText(GameFolder) + ", ") + loaded.gameSource + ")\n";
    out += "cache folder:    " + ShownText(platform::ShownPath(CacheFolderPath())) + " (" +
           from(settings.cachePath.has_value()) + ")\n";
    out += "cache extension: " + ShownText(CacheFileExt()) + " (" +
           from(settings.cacheExt.has_value()) + ")\n";
    const auto& reading = LastIndexReading();
    out += "cache index:     " + ShownText(platform::ShownPath(CacheIndexPath())) + " (" +
           (reading ? EncodingText(reading->encoding) : "unknown") + ")\n";
    out += "entries:         " + TotalsLine(DescribeEntries(loaded.catalogue));
    const bool running = GameIsRunning(GameFolder);
    out += std::string("game running:    ") + (running ? "yes" : "no") + "\n";
    out += running ? "transfer:        cannot run while the game is running\n"
                   : "transfer:        can run\n";
    Write(stdout, out);
    return running ? Partly : Done;
}

} // namespace

int RunCommandLine(const std::vector<std::string>& arguments) {
    SilenceCues();
    const Parsed parsed = ParseArguments(arguments);
    if (!parsed.error.empty())
        return Refuse(parsed.error + " (see lodestow --help)");
    const Options& options = parsed.options;
    try {
        switch (options.command) {
        case Command::Help:
            Write(stdout, HelpText(options.helpFor));
            return Done;
        case Command::Version:
            Write(stdout, VersionText());
            return Done;
        case Command::List:
            return List(options);
        case Command::Transfer:
            return Transfer(options);
        case Command::Check:
            return Check(options);
        }
    } catch (const std::exception& e) {
        return Refuse(std::string("stopped: ") + e.what());
    } catch (...) {
        return Refuse("stopped by an unexpected fault");
    }
    return Nothing;
}

} // namespace cli
