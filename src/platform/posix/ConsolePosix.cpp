#include "platform/Console.h"

#include <csignal>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

namespace {
int Descriptor(StandardStream stream) {
    return stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO;
}
} // namespace

void PrepareConsole() {
    // A reader that goes away (`| head`) must not stop a transfer halfway.
    std::signal(SIGPIPE, SIG_IGN);
}

bool IsTerminal(StandardStream stream) {
    return ::isatty(Descriptor(stream)) == 1;
}

int TerminalWidth(StandardStream stream) {
    winsize size{};
    if (::ioctl(Descriptor(stream), TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

} // namespace platform
