// UTF-8 / UTF-16LE conversions and name matching shared by every platform.

#include "platform/Utf.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform::utf {

bool DecodeUtf8Strict(std::string_view text, std::size_t& pos, char32_t& out) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        out = lead;
        ++pos;
        return true;
    }
    int length = 0;
    char32_t cp = 0;
    // The second byte's range is narrowed per lead byte, which rules out overlong forms,
    // surrogates and values above U+10FFFF in one place.
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        ++pos;
        return false;
    }
    std::size_t i = pos + 1;
    for (int k = 1; k < length; ++k, ++i) {
        const unsigned char lo = k == 1 ? low : 0x80;
        const unsigned char hi = k == 1 ? high : 0xBF;
        if (i >= text.size() || byte(i) < lo || byte(i) > hi) {
            pos = i; // the maximal subpart that was valid so far is one bad character
            return false;
        }
        cp = (cp << 6) | (byte(i) & 0x3F);
    }
    pos = i;
    out = cp;
    return true;
}

char32_t DecodeUtf8(std::string_view text, std::size_t& pos) {
    char32_t cp = 0;
    return DecodeUtf8Strict(text, pos, cp) ? cp : kReplacement;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = kReplacement;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

namespace {
#include "platform/UpperCaseTable.inc"
} // namespace

char32_t SimpleUpper(char32_t cp) {
    if (cp < 0x80)
        return cp >= 'a' && cp <= 'z' ? cp - 0x20 : cp;
    if (cp >= kUpperLimit)
        return cp;
    return static_cast<char32_t>(static_cast<int>(cp) +
                                 kUpperDelta[kUpperIndex[cp / kUpperBlock]][cp % kUpperBlock]);
}

namespace {
// Hands each code point of the folded form on, in order.
template <class Put> void FoldEach(std::string_view utf8, Put put) {
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const auto byte = static_cast<unsigned char>(utf8[pos]);
        if (byte < 0x80) {
            put(byte >= 'a' && byte <= 'z' ? char32_t{byte} - 0x20 : char32_t{byte});
            ++pos;
            continue;
        }
        const std::size_t start = pos;
        char32_t cp = 0;
        if (DecodeUtf8Strict(utf8, pos, cp)) {
            put(SimpleUpper(cp));
        } else {
            // Keep undecodable bytes distinct: one private value per raw byte.
            for (std::size_t i = start; i < pos; ++i)
                put(static_cast<char32_t>(0x110000 + static_cast<unsigned char>(utf8[i])));
        }
    }
}
} // namespace

std::u32string Folded(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    FoldEach(utf8, [&out](char32_t cp) { out += cp; });
    return out;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return Folded(a) == Folded(b);
}

bool LessIgnoringCase(std::string_view a, std::string_view b) {
    const std::u32string fa = Folded(a), fb = Folded(b);
    if (fa != fb)
        return fa < fb;
    return a < b;
}

bool HasWildcard(std::string_view name) {
    return name.find_first_of("*?") != std::string_view::npos;
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern == "*.*")
        pattern = "*";
    const std::u32string p = Folded(pattern), n = Folded(name);
    // Iterative matcher with single backtrack point: linear in practice, never exponential.
    std::size_t pi = 0, ni = 0, starP = std::u32string::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == U'?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == U'*') {
            starP = pi++;
            starN = ni;
        } else if (starP != std::u32string::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == U'*')
        ++pi;
    return pi == p.size();
}

} // namespace platform::utf

namespace platform {

#ifndef _WIN32
// Windows keys names by the system's own table (TextWin32.cpp).
std::string FileNameKey(std::string_view utf8) {
    // Folded's code points as bytes, written in place: a run keys every name of large folders.
    std::string key(utf8.size() * sizeof(char32_t), '\0');
    std::size_t n = 0;
    utf::FoldEach(utf8, [&](char32_t cp) {
        std::memcpy(key.data() + n, &cp, sizeof cp);
        n += sizeof cp;
    });
    key.resize(n);
    return key;
}
#endif

bool IsUtf8(std::string_view bytes) {
    std::size_t pos = 0;
    char32_t cp = 0;
    while (pos < bytes.size()) {
        if (!utf::DecodeUtf8Strict(bytes, pos, cp))
            return false;
    }
    return true;
}

std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    const auto unit = [&](std::size_t i) -> char32_t {
        return static_cast<unsigned char>(bytes[2 * i]) |
               (static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8);
    };
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const char32_t next = unit(i + 1);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                utf::AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        // A lone surrogate becomes U+FFFD inside AppendUtf8.
        utf::AppendUtf8(out, u);
    }
    if (bytes.size() % 2 != 0)
        utf::AppendUtf8(out, utf::kReplacement); // a dangling half unit
    return out;
}

std::string Utf8ToUtf16Le(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    const auto put = [&](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>((u >> 8) & 0xFF);
    };
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t cp = utf::DecodeUtf8(utf8, pos);
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

} // namespace platform
