#include "json.h"

#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at the text, 0 when there is none.
int Utf8Length(const unsigned char* aText) {
    const unsigned char lead = aText[0];
    int length;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;        // overlong
        if (lead == 0xED) high = 0x9F;       // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;        // overlong
        if (lead == 0xF4) high = 0x8F;       // above U+10FFFF
    } else {
        return 0;
    }
    if (aText[1] < low || aText[1] > high) return 0;
    for (int i = 2; i < length; ++i) {
        if (aText[i] < 0x80 || aText[i] > 0xBF) return 0;
    }
    return length;
}

void AppendEscape(std::string& aOut, unsigned char aByte) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(aByte));
    aOut += escape;
}

}  // namespace

void AppendJsonString(std::string& aOut, const char* aText) {
    aOut += '"';
    const unsigned char* p = reinterpret_cast<const unsigned char*>(aText);
    while (*p != 0) {
        const unsigned char c = *p;
        if (c >= 0x80) {
            const int length = Utf8Length(p);
            if (length == 0) {
                AppendEscape(aOut, c);
                ++p;
            } else {
                aOut.append(reinterpret_cast<const char*>(p), static_cast<std::size_t>(length));
                p += length;
            }
            continue;
        }
        switch (c) {
            case '"': aOut += "\\\""; break;
            case '\\': aOut += "\\\\"; break;
            case '\n': aOut += "\\n"; break;
            case '\r': aOut += "\\r"; break;
            case '\t': aOut += "\\t"; break;
            case '\b': aOut += "\\b"; break;
            case '\f': aOut += "\\f"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    AppendEscape(aOut, c);
                } else {
                    aOut += static_cast<char>(c);
                }
        }
        ++p;
    }
    aOut += '"';
}
