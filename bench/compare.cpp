// Side-by-side comparisons: each Lodestow operation against the least work that does the same on
// the same files, printed with their ratio. Every measurement runs in a process of its own (so
// peak memory is its own) on game folders made for it and removed afterwards.
//
//   lodestow_compare [--quick] [--only same|across|read|window|startup|installed|facts|entries]
//
// --quick leaves out the largest sizes; --only runs one group of measurements.

#include "catalogue/CacheIndex.h"
#include "catalogue/EntryFacts.h"
#include "forms/EntriesLogic.h"
#include "runtime/DoEvents.h"
#include "runtime/Globals.h"
#include "support/NullView.h"
#include "support/PackageBytes.h"
#include "transfer/Entries.h"
#include "transfer/Transfer.h"
#include "ui/EntriesWindow.h"
#include "ui/MainForm.h"
#include "ui/Windows.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QWidget>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// What a measurement sends back from its process: seconds and peak memory in MB.
struct Result {
    double seconds = -1;
    double peakMb = -1;
};

Result InChild(const std::function<double()>& body) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        Result r;
        r.seconds = body();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        r.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
        if (write(pipeFds[1], &r, sizeof r) != static_cast<ssize_t>(sizeof r))
            _exit(1);
        _exit(0);
    }
    close(pipeFds[1]);
    Result r;
    if (read(pipeFds[0], &r, sizeof r) != static_cast<ssize_t>(sizeof r))
        r = {};
    close(pipeFds[0]);
    waitpid(pid, nullptr, 0);
    return r;
}

const char* const Tails[] = {".unr", ".utx", ".u"}; // two of three are transferable
const char* const Folders[] = {"Maps", "Textures", "System"};

std::string CacheName(int i) {
    return "3F2A9C" + std::to_string(i) + "B71E0D";
}
std::string RealName(int i) {
    return "Package" + std::to_string(i) + Tails[i % 3];
}

// A game folder of its own: Z:\<native path>\ through a Wine prefix that maps nothing else.
class Game {
public:
    explicit Game(const std::string& base) {
        std::string pattern = base + "/lodestow-compare-XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();
        root_ = pattern;
        for (const char* f :
             {"Cache", "Maps", "Textures", "Sounds", "Music", "System", "prefix", "prog"})
            fs::create_directories(root_ + "/" + f);
        std::ofstream(root_ + "/System/UnrealTournament.exe") << "game";
    }
    ~Game() { fs::remove_all(root_); }
    const std::string& Root() const { return root_; }
    std::string Windows() const {
        std::string w = "Z:" + root_ + "/";
        for (char& c : w)
            if (c == '/')
                c = '\\';
        return w;
    }
    void Use() const {
        setenv("WINEPREFIX", (root_ + "/prefix").c_str(), 1);
        UnrealMOD::GameFolder = Windows();
        UnrealMOD::CacheIndexName = "cache.ini";
        UnrealMOD::ProgramFolder() = root_ + "/prog";
    }
    // An index of `entries` lines, and a package of `size` bytes for each. `installed`: what
    // each transferable entry finds under its name in its folder already.
    enum class Installed { Nothing, SameBytes, OtherVersion };
    void Fill(int entries, std::size_t size, bool withFiles = true,
              Installed installed = Installed::Nothing) const {
        std::string index = "[Cache]\r\n";
        const std::string bytes(size, 'p');
        const std::string other(size, 'o');
        for (int i = 0; i < entries; ++i) {
            index += CacheName(i) + "=" + RealName(i) + "\r\n";
            if (withFiles) {
                Put(root_ + "/Cache/" + CacheName(i) + ".uxx", bytes);
                if (installed != Installed::Nothing && i % 3 != 2)
                    Put(root_ + "/" + Folders[i % 3] + "/" + RealName(i),
                        installed == Installed::SameBytes ? bytes : other);
            }
        }
        std::ofstream(root_ + "/Cache/cache.ini", std::ios::binary) << index;
    }
    // Packages whose GUID is their cache name, each installed already in another version.
    void FillPackages(int entries, std::size_t size) const {
        std::string index = "[Cache]\r\n";
        for (int i = 0; i < entries; ++i) {
            const testsupport::Guid guid{0x3F2A9C00u, static_cast<std::uint32_t>(i), 7, 9};
            const std::string cache = testsupport::GuidHex(guid);
            index += cache + "=" + RealName(i) + "\r\n";
            Put(root_ + "/Cache/" + cache + ".uxx",
                testsupport::MakePackage(128, guid, size, static_cast<std::uint32_t>(i)));
            if (i % 3 != 2)
                Put(root_ + "/" + Folders[i % 3] + "/" + RealName(i),
                    testsupport::MakePackage(128, {1, 2, 3, static_cast<std::uint32_t>(i)}, size));
        }
        std::ofstream(root_ + "/Cache/cache.ini", std::ios::binary) << index;
    }
    static void Put(const std::string& path, const std::string& bytes) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || write(fd, bytes.data(), bytes.size()) < 0)
            std::abort();
        close(fd);
    }

private:
    std::string root_;
};

double HeadlessTransfer(const Game& game) {
    game.Use();
    const auto start = Clock::now();
    UnrealMOD::MemoryCatalogue catalogue;
    UnrealMOD::ReadCacheIndex(catalogue);
    testsupport::NullView view;
    UnrealMOD::RunitClick(catalogue, view);
    return Seconds(start);
}

// The least a transfer must do: parse the index, rename each transferable file into place,
// replace the index once.
double RenameLoop(const Game& game) {
    const auto start = Clock::now();
    std::ifstream in(game.Root() + "/Cache/cache.ini", std::ios::binary);
    std::string line, kept = "[Cache]\r\n";
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string cache = line.substr(0, eq), real = line.substr(eq + 1);
        const std::string tail = real.substr(real.rfind('.'));
        const char* folder = tail == ".unr" ? "Maps" : tail == ".utx" ? "Textures" : nullptr;
        if (!folder) {
            kept += line + "\r\n";
            continue;
        }
        rename((game.Root() + "/Cache/" + cache + ".uxx").c_str(),
               (game.Root() + "/" + folder + "/" + real).c_str());
    }
    const std::string temp = game.Root() + "/Cache/cache.ini.new";
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || write(fd, kept.data(), kept.size()) < 0 || fsync(fd) != 0)
        std::abort();
    close(fd);
    rename(temp.c_str(), (game.Root() + "/Cache/cache.ini").c_str());
    return Seconds(start);
}

// The least a transfer onto installed files must do: compare each transferable package with the
// installed file (cmp reads both, stopping at the first difference) and delete the duplicates.
double CompareLoop(const Game& game) {
    const auto start = Clock::now();
    for (int i = 0;; ++i) {
        const std::string cached = game.Root() + "/Cache/" + CacheName(i) + ".uxx";
        if (access(cached.c_str(), F_OK) != 0)
            break;
        if (i % 3 == 2)
            continue;
        std::ifstream a(cached, std::ios::binary);
        std::ifstream b(game.Root() + "/" + Folders[i % 3] + "/" + RealName(i), std::ios::binary);
        const std::string left{std::istreambuf_iterator<char>(a), {}};
        const std::string right{std::istreambuf_iterator<char>(b), {}};
        if (left == right)
            unlink(cached.c_str());
    }
    return Seconds(start);
}

// The facts of every entry, as the entries window and the command line ask for them.
double EntryFacts(const Game& game) {
    game.Use();
    UnrealMOD::MemoryCatalogue catalogue;
    UnrealMOD::ReadCacheIndex(catalogue);
    const auto start = Clock::now();
    std::size_t packages = 0;
    for (int r = 0; r < catalogue.RowCount(); ++r)
        packages += UnrealMOD::CatalogueFacts().Of(catalogue, r).header.has_value();
    if (packages != static_cast<std::size_t>(catalogue.RowCount()))
        std::abort();
    return Seconds(start);
}

// The entries window's rows. `what`: 0 opening (rows from their names, a screenful drawn before
// any file is read),
// 1 every row examined (facts and states), 2.. a sort by that column less 2, of examined rows.
double EntriesRows(const Game& game, int what) {
    game.Use();
    UnrealMOD::MemoryCatalogue catalogue;
    UnrealMOD::ReadCacheIndex(catalogue);
    auto start = Clock::now();
    const UnrealMOD::EntryDescriber describer(catalogue);
    forms::EntriesModel model;
    model.Load(describer, catalogue.RowCount());
    model.ExamineWhenShown(false); // as a window does until it is on the screen
    std::size_t drawn = 0;
    for (int s = 0; s < 40; ++s)
        for (int c = 0; c < forms::EntriesColumnCount; ++c)
            drawn += model.Cell(s, static_cast<forms::EntriesColumn>(c)).size();
    drawn += model.StatusLine(std::nullopt).size();
    if (model.Shown() != catalogue.RowCount() || drawn == 0)
        std::abort();
    if (what == 0)
        return Seconds(start);
    start = Clock::now();
    model.ExamineWhenShown(true);
    model.ExamineAll();
    if (what == 1)
        return Seconds(start);
    start = Clock::now();
    model.SortBy(static_cast<forms::EntriesColumn>(what - 2), false);
    return Seconds(start);
}

// The least the facts need: each cache file's size, date and first bytes, and the size and date
// of each installed file.
double HeadLoop(const Game& game) {
    const auto start = Clock::now();
    std::ifstream in(game.Root() + "/Cache/cache.ini", std::ios::binary);
    std::string line;
    char head[64];
    for (int i = 0; std::getline(in, line); ++i) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const int fd =
            open((game.Root() + "/Cache/" + line.substr(0, eq) + ".uxx").c_str(), O_RDONLY);
        struct stat st {};
        if (fd < 0 || fstat(fd, &st) != 0 || read(fd, head, sizeof head) < 0)
            std::abort();
        close(fd);
        stat((game.Root() + "/" + Folders[(i - 1) % 3] + "/" + RealName(i - 1)).c_str(), &st);
    }
    return Seconds(start);
}

// The bytes copied with cp, then everything flushed with sync.
double CopyAndSync(const Game& game) {
    const std::string list = game.Root() + "/prog/list";
    {
        std::ofstream out(list);
        for (const auto& e : fs::directory_iterator(game.Root() + "/Cache"))
            if (e.path().extension() == ".uxx")
                out << e.path().string() << "\n";
    }
    const auto start = Clock::now();
    const std::string command = "xargs -a '" + list + "' cp -t '" + game.Root() + "/Maps' && sync";
    if (std::system(command.c_str()) != 0)
        std::abort();
    return Seconds(start);
}

double ReadIndex(const Game& game) {
    game.Use();
    const auto start = Clock::now();
    UnrealMOD::MemoryCatalogue catalogue;
    UnrealMOD::ReadCacheIndex(catalogue);
    return Seconds(start);
}

// The least a catalogue read must do: read the file and split it into lines.
double SplitLines(const Game& game) {
    const auto start = Clock::now();
    std::ifstream in(game.Root() + "/Cache/cache.ini", std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return Seconds(start);
}

QApplication& App() {
    static int argc = 1;
    static char name[] = "lodestow_compare";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    UnrealMOD::SetDoEventsHandler([] { QCoreApplication::processEvents(); });
    return app;
}

ui::MainForm* ShownMainForm() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<ui::MainForm*>(w); form && form->isVisible())
            return form;
    return nullptr;
}

// From the start of the program's load to its main window shown.
double StartUp(const Game& game) {
    App();
    game.Use();
    const auto start = Clock::now();
    ui::LoadMainForm();
    QCoreApplication::processEvents();
    if (!ShownMainForm())
        return -1;
    return Seconds(start);
}

double WindowTransfer(const Game& game) {
    App();
    game.Use();
    ui::LoadMainForm();
    QCoreApplication::processEvents();
    ui::MainForm* form = ShownMainForm();
    if (!form)
        return -1;
    const auto start = Clock::now();
    form->Runit_Click();
    return Seconds(start);
}

// The entries window over the main window's catalogue. `what`: 0 from F3 to the window drawn,
// 1 the rows examined in its spare time (the events processed until none is left), 2.. a click on
// that column's heading less 2, once every row is examined, to the list drawn again.
double EntriesWindowFigure(const Game& game, int what) {
    App();
    game.Use();
    ui::LoadMainForm();
    QCoreApplication::processEvents();
    ui::MainForm* form = ShownMainForm();
    if (!form)
        return -1;
    // What the main window still has to do after it is shown (its hidden lists lay out their rows
    // when idle) is not the entries window's.
    for (const auto idle = Clock::now(); Seconds(idle) < 0.5;)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    auto start = Clock::now();
    form->OpenEntries();
    ui::EntriesWindow* window = form->Entries();
    if (!window)
        return -1;
    window->repaint();
    QCoreApplication::processEvents();
    if (what == 0)
        return Seconds(start);
    start = Clock::now();
    while (window->Table().Model().Unexamined() > 0)
        QCoreApplication::processEvents();
    if (what == 1)
        return Seconds(start);
    start = Clock::now();
    window->List->horizontalHeader()->setSortIndicator(what - 2, Qt::DescendingOrder);
    window->repaint();
    QCoreApplication::processEvents();
    return Seconds(start);
}

void Row(const std::string& what, const Result& ours, const std::string& against,
         const Result& theirs, bool memory = false) {
    std::printf("%-44s %9.3f s %-26s %9.3f s %7.2fx", what.c_str(), ours.seconds, against.c_str(),
                theirs.seconds, theirs.seconds > 0 ? ours.seconds / theirs.seconds : 0.0);
    if (memory)
        std::printf("   peak %7.1f MB", ours.peakMb);
    std::printf("\n");
}

Result Measure(const std::string& base, int entries, std::size_t size,
               const std::function<double(const Game&)>& what, bool files = true) {
    return InChild([&] {
        Game game(base);
        game.Fill(entries, size, files);
        sync();
        return what(game);
    });
}

} // namespace

int main(int argc, char** argv) {
    bool quick = false;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0)
            quick = true;
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only = argv[++i];
        else {
            std::fprintf(stderr, "usage: lodestow_compare [--quick] [--only GROUP]\n");
            return 2;
        }
    }
    const auto wanted = [&only](const char* group) { return only.empty() || only == group; };
    const std::string disk = "/var/tmp";
    const std::string memory = "/dev/shm";
    std::printf("Lodestow against the least work that does the same (2 of 3 entries "
                "transferable, 4 KiB packages)\n\n");

    if (wanted("same")) {
        std::printf("Transfer on one file system (%s):\n", disk.c_str());
        std::vector<int> sizes = {1000, 10000};
        if (!quick)
            sizes.push_back(100000);
        for (const int n : sizes) {
            const Result ours = Measure(disk, n, 4096, HeadlessTransfer);
            const Result loop = Measure(disk, n, 4096, RenameLoop);
            Row("  " + std::to_string(n) + " entries (" +
                    std::to_string(ours.seconds / n * 1e6).substr(0, 6) + " us/entry)",
                ours, "rename loop", loop);
        }
    }
    if (wanted("across")) {
        std::printf("\nTransfer across file systems (cache on tmpfs, folders on %s):\n",
                    disk.c_str());
        for (const auto& [n, size] :
             {std::pair{3000, std::size_t{4096}}, {200, std::size_t{1} << 20}}) {
            const Result ours = InChild([&] {
                Game game(disk);
                Game cache(memory);
                fs::remove(game.Root() + "/Cache");
                fs::create_directory_symlink(cache.Root() + "/Cache", game.Root() + "/Cache");
                game.Fill(n, size);
                sync();
                return HeadlessTransfer(game);
            });
            const Result cp = InChild([&] {
                Game game(disk);
                Game cache(memory);
                fs::remove(game.Root() + "/Cache");
                fs::create_directory_symlink(cache.Root() + "/Cache", game.Root() + "/Cache");
                // cp copies every package; the transfer two in three: give cp the same bytes.
                game.Fill(n * 2 / 3, size);
                sync();
                return CopyAndSync(game);
            });
            Row("  " + std::to_string(n) + " entries of " + std::to_string(size / 1024) + " KiB",
                ours, "cp + sync", cp);
        }
    }
    if (wanted("read")) {
        std::printf("\nCatalogue read (%s):\n", disk.c_str());
        std::vector<int> lines = {10000, 100000};
        if (!quick)
            lines.push_back(1000000);
        for (const int n : lines) {
            const Result ours = Measure(disk, n, 0, ReadIndex, false);
            const Result split = Measure(disk, n, 0, SplitLines, false);
            Row("  " + std::to_string(n) + " lines", ours, "line-splitting loop", split, true);
        }
    }
    if (wanted("window")) {
        std::printf("\nThrough the window (offscreen) against headless:\n");
        for (const int n : {5000, 20000}) {
            const Result window = Measure(disk, n, 4096, WindowTransfer);
            const Result headless = Measure(disk, n, 4096, HeadlessTransfer);
            Row("  transfer of " + std::to_string(n) + " entries", window, "headless", headless);
        }
    }
    if (wanted("installed")) {
        std::printf("\nTransfer onto installed files (%s), 10,000 entries:\n", disk.c_str());
        for (const auto& [what, installed] :
             {std::pair{"  all duplicates (same bytes)", Game::Installed::SameBytes},
              std::pair{"  all other versions (same size)", Game::Installed::OtherVersion}}) {
            const auto on = [&,
                             installed = installed](const std::function<double(const Game&)>& f) {
                return InChild([&] {
                    Game game(disk);
                    game.Fill(10000, 4096, true, installed);
                    sync();
                    return f(game);
                });
            };
            Row(what, on(HeadlessTransfer), "compare loop", on(CompareLoop));
        }
    }
    if (wanted("facts")) {
        std::printf("\nFacts of every entry (%s; packages, another version installed):\n",
                    disk.c_str());
        for (const int n : {10000}) {
            const auto on = [&](const std::function<double(const Game&)>& f) {
                return InChild([&] {
                    Game game(disk);
                    game.FillPackages(n, 4096);
                    sync();
                    return f(game);
                });
            };
            Row("  " + std::to_string(n) + " entries of 4 KiB", on(EntryFacts), "open + read head",
                on(HeadLoop), true);
        }
    }
    if (wanted("entries")) {
        std::printf("\nThe entries window's rows (%s; packages, another version installed):\n",
                    disk.c_str());
        const int n = quick ? 10000 : 100000;
        const auto on = [&](const std::function<double(const Game&)>& f) {
            return InChild([&] {
                Game game(disk);
                game.FillPackages(n, 4096);
                sync();
                return f(game);
            });
        };
        const Result head = on(HeadLoop);
        Row("  " + std::to_string(n) + " entries: every row examined",
            on([](const Game& g) { return EntriesRows(g, 1); }), "open + read head", head, true);
        for (const auto& [what, step] :
             {std::pair{"window's rows open", 0},
              std::pair{"sort by name", 2 + static_cast<int>(forms::EntriesColumn::Name)},
              std::pair{"sort by size", 2 + static_cast<int>(forms::EntriesColumn::Size)},
              std::pair{"sort by state", 2 + static_cast<int>(forms::EntriesColumn::State)}}) {
            const Result r = on([step = step](const Game& g) { return EntriesRows(g, step); });
            std::printf("  %-42s %9.3f s   peak %7.1f MB\n",
                        (std::to_string(n) + " entries: " + what).c_str(), r.seconds, r.peakMb);
        }
        // The same through the program's own windows (offscreen): the peak is the whole program.
        for (const auto& [what, step] :
             {std::pair{"window shown (F3)", 0}, std::pair{"examined in spare time", 1},
              std::pair{"heading click, by name", 2 + static_cast<int>(forms::EntriesColumn::Name)},
              std::pair{"heading click, by size", 2 + static_cast<int>(forms::EntriesColumn::Size)},
              std::pair{"heading click, by state",
                        2 + static_cast<int>(forms::EntriesColumn::State)}}) {
            const Result r =
                on([step = step](const Game& g) { return EntriesWindowFigure(g, step); });
            std::printf("  %-42s %9.3f s   peak %7.1f MB\n",
                        (std::to_string(n) + " entries: " + what).c_str(), r.seconds, r.peakMb);
        }
    }
    if (wanted("startup")) {
        std::printf("\nStart-up to the shown window (offscreen):\n");
        std::vector<int> startups = {100000};
        if (!quick)
            startups.push_back(1000000);
        for (const int n : startups) {
            const Result ours = Measure(disk, n, 0, StartUp, false);
            std::printf("  %-42s %9.3f s   peak %7.1f MB\n",
                        (std::to_string(n) + " entries").c_str(), ours.seconds, ours.peakMb);
        }
    }
    return 0;
}
