#pragma once
// Starting the headless driver (transfer_driver.cpp) on C:\Game\ from a test, with the library
// that fails or kills at a chosen file-system call preloaded when asked (fault_shim.cpp). POSIX.

#ifndef _WIN32
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace reliability {

// Starts the driver with these entries added to its environment; answers its process id.
inline pid_t StartDriver(const std::vector<std::string>& env = {}) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        for (const std::string& e : env)
            putenv(const_cast<char*>(e.c_str()));
        execl(LODESTOW_TRANSFER_DRIVER, LODESTOW_TRANSFER_DRIVER, "C:\\Game\\",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Waits for the driver and answers its exit code (-1 when it did not exit normally).
inline int Wait(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Waits at most `seconds`: a process still running then is killed, and the answer is -2, so
// that a run that hangs fails its test instead of stopping the suite.
inline int WaitWithin(pid_t pid, int seconds) {
    for (int tick = 0; tick < seconds * 20; ++tick) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (done < 0)
            return -1;
        usleep(50000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -2;
}

inline int RunDriver(const std::vector<std::string>& env = {}) {
    return Wait(StartDriver(env));
}

// The environment that preloads the fault library: call `at` (from 1; 0 none) fails with
// `error`, or kills the driver when `kill`; the number of calls made is written to `countFile`
// at a normal exit. The driver's journal of temporaries goes under `stateHome`.
inline std::vector<std::string> FaultEnv(long at, int error, bool kill,
                                         const std::string& countFile,
                                         const std::string& stateHome) {
    return {"LODESTOW_FAULT_AT=" + std::to_string(at),
            "LODESTOW_FAULT_ERRNO=" + std::to_string(error),
            std::string("LODESTOW_FAULT_KILL=") + (kill ? "1" : "0"),
            "LODESTOW_FAULT_COUNT=" + countFile,
            "LD_PRELOAD=" LODESTOW_FAULT_SHIM,
            "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0",
            "XDG_STATE_HOME=" + stateHome};
}

} // namespace reliability
#endif
