#include "catalogue/SafeNames.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace UnrealMOD {

namespace {

// Decodes one UTF-8 sequence at s[i]; false for anything that is not well-formed UTF-8.
bool NextCodePoint(std::string_view s, std::size_t& i, std::uint32_t& cp) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    std::size_t length = 0;
    std::uint32_t min = 0;
    if (b0 < 0x80) {
        cp = b0;
        ++i;
        return true;
    } else if ((b0 & 0xE0) == 0xC0) {
        length = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (i + length > s.size()) {
        return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return false;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return false;
    }
    i += length;
    return true;
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
            return false;
        }
    }
    return true;
}

// Windows opens the device, not a file, for these names whatever extension follows (and it
// ignores spaces before the extension). COM and LPT also take the superscript digits 1 to 3.
bool IsDeviceName(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') {
        base.remove_suffix(1);
    }
    static constexpr std::array<std::string_view, 6> plain = {"CON", "PRN",    "AUX",
                                                              "NUL", "CONIN$", "CONOUT$"};
    for (std::string_view device : plain) {
        if (EqualsIgnoringAsciiCase(base, device)) {
            return true;
        }
    }
    if (base.size() < 4) {
        return false;
    }
    const std::string_view stem = base.substr(0, 3);
    if (!EqualsIgnoringAsciiCase(stem, "COM") && !EqualsIgnoringAsciiCase(stem, "LPT")) {
        return false;
    }
    const std::string_view number = base.substr(3);
    if (number.size() == 1) {
        return number[0] >= '1' && number[0] <= '9';
    }
    return number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
}

} // namespace

bool IsSafeName(const std::string& name) {
    // An empty cache name is a real case (the line "=Map.unr"): its file is "Cache\.uxx".
    if (name.empty()) {
        return true;
    }
    if (name == "." || name == "..") {
        return false;
    }
    // Windows drops trailing dots and spaces from a file name, so the program would write or
    // delete a file other than the one the name says.
    if (name.back() == '.' || name.back() == ' ') {
        return false;
    }
    for (std::size_t i = 0; i < name.size();) {
        std::uint32_t cp = 0;
        if (!NextCodePoint(name, i, cp)) {
            return false; // no faithful file name exists for it
        }
        if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) {
            return false;
        }
        switch (cp) {
        case '\\':
        case '/':
        case ':':
        case '*':
        case '?':
        // Not allowed in a Windows file name, and the directory search of Windows takes '<',
        // '>' and '"' as wildcards.
        case '<':
        case '>':
        case '"':
        case '|':
            return false;
        default:
            break;
        }
    }
    return !IsDeviceName(name);
}

} // namespace UnrealMOD
