// The least work a transfer can do on Windows, for the benchmark under Wine (bench/wine_bench.sh):
// read the index, move each map, texture and sound file with MoveFileExW, write the index of what
// stayed once. No checks, no guarantees: a yardstick, never a program for players.
//
//   bare_move_loop.exe GAME_FOLDER        (ending in a backslash)

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::wstring Wide(const std::string& s) {
    return std::wstring(s.begin(), s.end()); // the benchmark's names are ASCII
}

const char* FolderFor(const std::string& name) {
    const auto dot = name.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : name.substr(dot);
    if (ext == ".unr")
        return "Maps";
    if (ext == ".utx")
        return "Textures";
    if (ext == ".uax")
        return "Sounds";
    if (ext == ".umx")
        return "Music";
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const std::string game = argv[1];
    std::ifstream in(game + "Cache\\cache.ini", std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    in.close();
    std::string kept = "[Cache]\r\n", line;
    while (std::getline(all, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string cache = line.substr(0, eq), name = line.substr(eq + 1);
        const char* folder = FolderFor(name);
        if (!folder || !::MoveFileExW(Wide(game + "Cache\\" + cache + ".uxx").c_str(),
                                      Wide(game + folder + "\\" + name).c_str(), 0))
            kept += line + "\r\n";
    }
    const std::string index = game + "Cache\\cache.ini";
    std::ofstream(index + ".new", std::ios::binary) << kept << "\r\n";
    return ::MoveFileExW(Wide(index + ".new").c_str(), Wide(index).c_str(),
                         MOVEFILE_REPLACE_EXISTING)
               ? 0
               : 1;
}
