#ifdef _WIN32
#include "platform/Console.h"

#include <windows.h>

namespace platform {

namespace {
HANDLE Handle(StandardStream stream) {
    return ::GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}
} // namespace

void PrepareConsole() {
    // Names are UTF-8 inside the program; the console shows them as such.
    ::SetConsoleOutputCP(CP_UTF8);
}

bool IsTerminal(StandardStream stream) {
    DWORD mode = 0;
    return ::GetConsoleMode(Handle(stream), &mode) != FALSE;
}

int TerminalWidth(StandardStream stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(Handle(stream), &info))
        return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

} // namespace platform
#endif
