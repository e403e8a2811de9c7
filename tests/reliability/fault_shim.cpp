// Preloaded into the headless driver: makes the N-th file-system call fail with a chosen error,
// so that a sweep can fail every call of a transfer in turn; or kills the process there, so that
// a crash lands at an exact point rather than wherever a watching test happens to notice.
//
//   LODESTOW_FAULT_AT=N      the call to fail (counting from 1); 0 or unset fails none
//   LODESTOW_FAULT_ERRNO=E   the error it fails with (a number)
//   LODESTOW_FAULT_KILL=1    instead of failing the call, the process is killed (SIGKILL) there
//   LODESTOW_FAULT_COUNT=F   at exit, the number of calls made is written to the file F
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {

static long calls;
static long failAt;
static int failErrno = EIO;
static int killAtFault;

__attribute__((constructor)) static void Start(void) {
    const char* at = getenv("LODESTOW_FAULT_AT");
    const char* err = getenv("LODESTOW_FAULT_ERRNO");
    failAt = at ? atol(at) : 0;
    if (err)
        failErrno = atoi(err);
    const char* kill = getenv("LODESTOW_FAULT_KILL");
    killAtFault = kill && *kill == '1';
}

__attribute__((destructor)) static void End(void) {
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

#define REAL(name) reinterpret_cast<decltype(&name)>(dlsym(RTLD_NEXT, #name))
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
    return REAL(open)(path, flags, mode);
}
int openat(int dir, const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(ap, int)) : 0;
    va_end(ap);
    FAIL_WITH(-1);
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
int rename(const char* from, const char* to) {
    FAIL_WITH(-1);
    return REAL(rename)(from, to);
}
int renameat2(int a, const char* from, int b, const char* to, unsigned flags) {
    FAIL_WITH(-1);
    return REAL(renameat2)(a, from, b, to, flags);
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
