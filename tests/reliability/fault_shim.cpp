// Preloaded into the headless driver: makes the N-th file-system call fail with a chosen error,
// so that a sweep can fail every call of a transfer in turn; or kills the process there, so that
// a crash lands at an exact point rather than wherever a watching test happens to notice.
//
//   LODESTOW_FAULT_AT=N      the call to fail (counting from 1); 0 or unset fails none
//   LODESTOW_FAULT_ERRNO=E   the error it fails with (a number)
//   LODESTOW_FAULT_KILL=1    instead of failing the call, the process is killed (SIGKILL) there
//   LODESTOW_FAULT_COUNT=F   at exit, the number of calls made is written to the file F
//
// It can also play the game saving its cache index the way the engine saves an ini, emptied and
// then written anew, while the program runs (its own calls are neither counted nor failed):
//
//   LODESTOW_GAME_INDEX=P    the index (a native path); the program's calls on any path whose
//                            last component is P's are taken for calls on the index
//   LODESTOW_GAME_TEXTS=A:B  what the first save writes (the file A), the second (B), ...
//   LODESTOW_GAME_STEPS=S    when: "event@n" items separated by commas, taken in pairs, a save
//                            beginning at the first (the index is opened, emptied, and given its
//                            first two lines) and ending at the second (the rest is written
//                            through the same descriptor, then closed). Events: open@n, before the
//                            program's n-th opening of the index; rename@n, before its n-th rename
//                            onto the index; renamed@n, just after that rename. A save still open
//                            at exit ends then.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <functional>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {

static long calls;
static long failAt;
static int failErrno = EIO;
static int killAtFault;

#define REAL(name) reinterpret_cast<decltype(&name)>(dlsym(RTLD_NEXT, #name))

enum GameEvent { Opened, Renaming, Renamed };
struct GameStep {
    GameEvent event;
    long n;
};
static const char* gameIndex;
static const char* gameLeaf;
static char* gameTexts[8];
static int gameTextCount;
static GameStep gameSteps[16];
static int gameStepCount;
static int gameNextStep;
static long gameOpens, gameRenames;
static int gameFd = -1;
static const char* gameRest;

static char* ReadWhole(const char* path) {
    FILE* in = fopen(path, "rb");
    if (!in)
        return nullptr;
    char* text = static_cast<char*>(calloc(1, 1 << 20));
    if (text && fread(text, 1, (1 << 20) - 1, in) == 0)
        text[0] = '\0';
    fclose(in);
    return text;
}

static void StartGame(void) {
    gameIndex = getenv("LODESTOW_GAME_INDEX");
    if (!gameIndex)
        return;
    const char* slash = strrchr(gameIndex, '/');
    gameLeaf = slash ? slash + 1 : gameIndex;
    if (const char* texts = getenv("LODESTOW_GAME_TEXTS")) {
        static char list[4096];
        snprintf(list, sizeof list, "%s", texts);
        for (char* name = strtok(list, ":"); name && gameTextCount < 8; name = strtok(nullptr, ":"))
            gameTexts[gameTextCount++] = ReadWhole(name);
    }
    if (const char* steps = getenv("LODESTOW_GAME_STEPS")) {
        static char list[1024];
        snprintf(list, sizeof list, "%s", steps);
        for (char* step = strtok(list, ","); step && gameStepCount < 16;
             step = strtok(nullptr, ",")) {
            char* at = strchr(step, '@');
            if (!at)
                continue;
            *at = '\0';
            const GameEvent event = strcmp(step, "open") == 0      ? Opened
                                    : strcmp(step, "renamed") == 0 ? Renamed
                                                                   : Renaming;
            gameSteps[gameStepCount++] = {event, atol(at + 1)};
        }
    }
}

static bool IsIndex(const char* path) {
    if (!gameIndex || !path)
        return false;
    const char* slash = strrchr(path, '/');
    return strcmp(slash ? slash + 1 : path, gameLeaf) == 0;
}

static void WriteAll(int fd, const char* text, size_t size) {
    while (size > 0) {
        const ssize_t n = REAL(write)(fd, text, size);
        if (n <= 0)
            return;
        text += n;
        size -= static_cast<size_t>(n);
    }
}

static void EndSave(void) {
    if (gameFd < 0)
        return;
    WriteAll(gameFd, gameRest, strlen(gameRest));
    REAL(close)(gameFd);
    gameFd = -1;
}

static void BeginSave(int save) {
    EndSave();
    const char* text = save < gameTextCount && gameTexts[save] ? gameTexts[save] : "";
    gameFd = REAL(open)(gameIndex, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (gameFd < 0)
        return;
    const char* cut = text;
    for (int line = 0; line < 2 && *cut; ++line) {
        const char* end = strchr(cut, '\n');
        cut = end ? end + 1 : cut + strlen(cut);
    }
    WriteAll(gameFd, text, static_cast<size_t>(cut - text));
    gameRest = cut;
}

// The game's steps due at this event of the program's.
static void GameAt(GameEvent event, long n) {
    while (gameNextStep < gameStepCount && gameSteps[gameNextStep].event == event &&
           gameSteps[gameNextStep].n == n) {
        if (gameNextStep % 2 == 0)
            BeginSave(gameNextStep / 2);
        else
            EndSave();
        ++gameNextStep;
    }
}

__attribute__((constructor)) static void Start(void) {
    StartGame();
    const char* at = getenv("LODESTOW_FAULT_AT");
    const char* err = getenv("LODESTOW_FAULT_ERRNO");
    failAt = at ? atol(at) : 0;
    if (err)
        failErrno = atoi(err);
    const char* kill = getenv("LODESTOW_FAULT_KILL");
    killAtFault = kill && *kill == '1';
}

__attribute__((destructor)) static void End(void) {
    EndSave();
    const char* file = getenv("LODESTOW_FAULT_COUNT");
    if (!file)
        return;
    FILE* out = fopen(file, "w");
    if (out) {
        std::fprintf(out, "%ld\n", calls);
        fclose(out);
    }
}

// True when this call is the one to fail. In kill mode the process ends here, before the call.
static int Fails(void) {
    if (++calls != failAt)
        return 0;
    if (killAtFault)
        raise(SIGKILL);
    return 1;
}

#define FAIL_WITH(value)                                                                           \
    if (Fails()) {                                                                                 \
        errno = failErrno;                                                                         \
        return value;                                                                              \
    }

int open(const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(ap, int)) : 0;
    va_end(ap);
    FAIL_WITH(-1);
    if (IsIndex(path))
        GameAt(Opened, ++gameOpens);
    return REAL(open)(path, flags, mode);
}
int openat(int dir, const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(ap, int)) : 0;
    va_end(ap);
    FAIL_WITH(-1);
    if (IsIndex(path))
        GameAt(Opened, ++gameOpens);
    return REAL(openat)(dir, path, flags, mode);
}
ssize_t read(int fd, void* buf, size_t n) {
    FAIL_WITH(-1);
    return REAL(read)(fd, buf, n);
}
ssize_t write(int fd, const void* buf, size_t n) {
    FAIL_WITH(-1);
    return REAL(write)(fd, buf, n);
}
ssize_t copy_file_range(int in, off_t* inOff, int out, off_t* outOff, size_t n, unsigned flags) {
    FAIL_WITH(-1);
    return REAL(copy_file_range)(in, inOff, out, outOff, n, flags);
}
// A rename onto the index is where the game's save may be played, before or after it.
static int RenameOnto(const char* to, const std::function<int()>& rename) {
    if (!IsIndex(to))
        return rename();
    const long n = ++gameRenames;
    GameAt(Renaming, n);
    const int result = rename();
    const int error = errno;
    GameAt(Renamed, n);
    errno = error;
    return result;
}
int rename(const char* from, const char* to) {
    FAIL_WITH(-1);
    return RenameOnto(to, [&] { return REAL(rename)(from, to); });
}
int renameat(int a, const char* from, int b, const char* to) {
    FAIL_WITH(-1);
    return RenameOnto(to, [&] { return REAL(renameat)(a, from, b, to); });
}
int unlinkat(int dir, const char* path, int flags) {
    FAIL_WITH(-1);
    return REAL(unlinkat)(dir, path, flags);
}
int fstatat(int dir, const char* path, struct stat* st, int flags) {
    FAIL_WITH(-1);
    return REAL(fstatat)(dir, path, st, flags);
}
ssize_t pread(int fd, void* buf, size_t n, off_t at) {
    FAIL_WITH(-1);
    return REAL(pread)(fd, buf, n, at);
}
int renameat2(int a, const char* from, int b, const char* to, unsigned flags) {
    FAIL_WITH(-1);
    return RenameOnto(to, [&] { return REAL(renameat2)(a, from, b, to, flags); });
}
int link(const char* from, const char* to) {
    FAIL_WITH(-1);
    return REAL(link)(from, to);
}
int linkat(int a, const char* from, int b, const char* to, int flags) {
    FAIL_WITH(-1);
    return REAL(linkat)(a, from, b, to, flags);
}
int unlink(const char* path) {
    FAIL_WITH(-1);
    return REAL(unlink)(path);
}
int fsync(int fd) {
    FAIL_WITH(-1);
    return REAL(fsync)(fd);
}
int fdatasync(int fd) {
    FAIL_WITH(-1);
    return REAL(fdatasync)(fd);
}
int syncfs(int fd) {
    FAIL_WITH(-1);
    return REAL(syncfs)(fd);
}
int fchmod(int fd, mode_t mode) {
    FAIL_WITH(-1);
    return REAL(fchmod)(fd, mode);
}
int mkdir(const char* path, mode_t mode) {
    FAIL_WITH(-1);
    return REAL(mkdir)(path, mode);
}
int flock(int fd, int op) {
    FAIL_WITH(-1);
    return REAL(flock)(fd, op);
}
int stat(const char* path, struct stat* st) {
    FAIL_WITH(-1);
    return REAL(stat)(path, st);
}
int lstat(const char* path, struct stat* st) {
    FAIL_WITH(-1);
    return REAL(lstat)(path, st);
}
int fstat(int fd, struct stat* st) {
    FAIL_WITH(-1);
    return REAL(fstat)(fd, st);
}
DIR* opendir(const char* path) {
    FAIL_WITH(nullptr);
    return REAL(opendir)(path);
}
struct dirent* readdir(DIR* dir) {
    FAIL_WITH(nullptr);
    return REAL(readdir)(dir);
}

} // extern "C"
