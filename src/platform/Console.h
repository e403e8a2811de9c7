#pragma once
// What a command-line run needs of the console: whether a stream is a terminal, how wide it is,
// UTF-8 output, and writes to a closed pipe that fail instead of ending the process.

namespace platform {

enum class StandardStream { Output, Error };

// Once, before anything is written: a write to a closed pipe returns an error (the run goes on),
// and a console shows UTF-8.
void PrepareConsole();

bool IsTerminal(StandardStream stream);

// Columns of the terminal behind the stream; 0 when it is not a terminal or does not say.
int TerminalWidth(StandardStream stream);

} // namespace platform
