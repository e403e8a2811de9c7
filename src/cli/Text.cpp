#include "cli/Text.h"

#include "platform/Utf.h"

#include <cstdio>

namespace cli {

namespace {

// C0 and C1 controls, DEL, and the bidirectional embeddings, overrides and isolates (a name
// could otherwise turn the rest of a line around).
bool NeedsEscape(char32_t c) {
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || (c >= 0x202a && c <= 0x202e) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0x200e || c == 0x200f;
}

bool PlainJson(unsigned char byte) {
    return byte >= 0x20 && byte < 0x7f && byte != '"' && byte != '\\';
}

void AppendHex(std::string& out, const char* format, unsigned value) {
    char buffer[16];
    const int n = std::snprintf(buffer, sizeof buffer, format, value);
    out.append(buffer, static_cast<std::size_t>(n));
}

} // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    std::size_t pos = 0;
    while (pos < text.size()) {
        // The common case, a run of printable ASCII, goes in whole.
        std::size_t end = pos;
        while (end < text.size() && PlainJson(static_cast<unsigned char>(text[end])))
            ++end;
        out.append(text, pos, end - pos);
        pos = end;
        if (pos == text.size())
            break;
        const unsigned char byte = static_cast<unsigned char>(text[pos]);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
            ++pos;
            continue;
        }
        const char32_t c = platform::utf::DecodeUtf8(text, pos);
        switch (c) {
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (NeedsEscape(c))
                AppendHex(out, "\\u%04x", static_cast<unsigned>(c));
            else
                platform::utf::AppendUtf8(out, c);
        }
    }
    out += '"';
}

std::string ShownText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && text[end] >= 0x20 && text[end] < 0x7f)
            ++end;
        out.append(text, pos, end - pos);
        pos = end;
        if (pos == text.size())
            break;
        const char32_t c = platform::utf::DecodeUtf8(text, pos);
        if (c < 0x80 && NeedsEscape(c))
            AppendHex(out, "\\x%02X", static_cast<unsigned>(c));
        else if (NeedsEscape(c))
            AppendHex(out, "\\u%04X", static_cast<unsigned>(c));
        else
            platform::utf::AppendUtf8(out, c);
    }
    return out;
}

std::size_t Columns(std::string_view text) {
    std::size_t columns = 0;
    for (const char c : text)
        columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return columns;
}

std::string IsoTime(std::int64_t seconds) {
    // Days to a civil date (proleptic Gregorian), so no system call is needed for UTC.
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2);
    // Written digit by digit: this runs once per entry of a large listing.
    char text[] = "0000-00-00T00:00:00Z";
    const auto put = [&text](int at, std::int64_t value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + i] = static_cast<char>('0' + value % 10);
    };
    put(5, month, 2);
    put(8, day, 2);
    put(11, rest / 3600, 2);
    put(14, rest / 60 % 60, 2);
    put(17, rest % 60, 2);
    if (year < 0 || year > 9999)
        return std::to_string(year) + &text[4];
    put(0, year, 4);
    return text;
}

std::string ShortSize(std::uint64_t bytes) {
    if (bytes < 1024)
        return std::to_string(bytes) + " B";
    static constexpr const char* units[] = {" KB", " MB", " GB", " TB"};
    double value = static_cast<double>(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    // One decimal, without the cost of a formatted print (one per line of a listing).
    const auto tenths = static_cast<std::uint64_t>(value * 10 + 0.5);
    std::string text = std::to_string(tenths / 10);
    text += '.';
    text += static_cast<char>('0' + tenths % 10);
    return text + units[unit];
}

} // namespace cli
