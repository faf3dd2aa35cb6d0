#include "json_check.h"

#include <cstddef>
#include <cstdint>

namespace {

// Deep enough for anything the tool could print, shallow enough for the stack.
const int KMaxDepth = 64;

void AppendUtf8(std::string& aOut, std::uint32_t aCodePoint) {
    if (aCodePoint < 0x80) {
        aOut += static_cast<char>(aCodePoint);
    } else if (aCodePoint < 0x800) {
        aOut += static_cast<char>(0xC0 | (aCodePoint >> 6));
        aOut += static_cast<char>(0x80 | (aCodePoint & 0x3F));
    } else if (aCodePoint < 0x10000) {
        aOut += static_cast<char>(0xE0 | (aCodePoint >> 12));
        aOut += static_cast<char>(0x80 | ((aCodePoint >> 6) & 0x3F));
        aOut += static_cast<char>(0x80 | (aCodePoint & 0x3F));
    } else {
        aOut += static_cast<char>(0xF0 | (aCodePoint >> 18));
        aOut += static_cast<char>(0x80 | ((aCodePoint >> 12) & 0x3F));
        aOut += static_cast<char>(0x80 | ((aCodePoint >> 6) & 0x3F));
        aOut += static_cast<char>(0x80 | (aCodePoint & 0x3F));
    }
}

class TReader {
public:
    explicit TReader(std::string_view aText) : iText(aText) {}

    bool Fail(const char* aWhy) {
        if (iError.empty()) iError = "at byte " + std::to_string(iPos) + ": " + aWhy;
        return false;
    }

    const std::string& Error() const { return iError; }

    int Peek() const { return iPos < iText.size() ? static_cast<unsigned char>(iText[iPos]) : -1; }
    bool AtEnd() const { return iPos >= iText.size(); }

    void SkipSpace() {
        while (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r') ++iPos;
    }

    bool Document(std::vector<TJsonMember>* aObjectMembers) {
        if (!IsValidUtf8(iText)) return Fail("not valid UTF-8");
        SkipSpace();
        bool ok;
        if (aObjectMembers != nullptr) {
            if (Peek() != '{') return Fail("not an object");
            ok = Object(aObjectMembers, 0);
        } else {
            TJsonKind kind;
            std::string decoded;
            ok = Value(kind, decoded, 0);
        }
        if (!ok) return false;
        SkipSpace();
        if (!AtEnd()) return Fail("text after the value");
        return true;
    }

private:
    bool Value(TJsonKind& aKind, std::string& aDecoded, int aDepth) {
        if (aDepth > KMaxDepth) return Fail("nested too deep");
        switch (Peek()) {
            case '{': aKind = TJsonKind::EObject; return Object(nullptr, aDepth + 1);
            case '[': aKind = TJsonKind::EArray; return Array(aDepth + 1);
            case '"': aKind = TJsonKind::EString; return String(aDecoded);
            case 'n': aKind = TJsonKind::ENull; return Literal("null");
            case 't': aKind = TJsonKind::EBool; return Literal("true");
            case 'f': aKind = TJsonKind::EBool; return Literal("false");
            default: aKind = TJsonKind::ENumber; return Number();
        }
    }

    bool Literal(std::string_view aWord) {
        if (iText.substr(iPos, aWord.size()) != aWord) return Fail("unknown literal");
        iPos += aWord.size();
        return true;
    }

    bool Digits() {
        if (Peek() < '0' || Peek() > '9') return Fail("digit expected");
        while (Peek() >= '0' && Peek() <= '9') ++iPos;
        return true;
    }

    bool Number() {
        if (Peek() == '-') ++iPos;
        if (Peek() == '0') {
            ++iPos;
        } else if (!Digits()) {
            return false;
        }
        if (Peek() == '.') {
            ++iPos;
            if (!Digits()) return false;
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++iPos;
            if (Peek() == '+' || Peek() == '-') ++iPos;
            if (!Digits()) return false;
        }
        return true;
    }

    bool Hex4(std::uint32_t& aValue) {
        aValue = 0;
        for (int i = 0; i < 4; ++i) {
            const int c = Peek();
            std::uint32_t digit;
            if (c >= '0' && c <= '9') {
                digit = static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                digit = static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return Fail("four hex digits expected after \\u");
            }
            aValue = aValue * 16 + digit;
            ++iPos;
        }
        return true;
    }

    bool Escape(std::string& aOut) {
        const int e = Peek();
        ++iPos;
        switch (e) {
            case '"': aOut += '"'; return true;
            case '\\': aOut += '\\'; return true;
            case '/': aOut += '/'; return true;
            case 'b': aOut += '\b'; return true;
            case 'f': aOut += '\f'; return true;
            case 'n': aOut += '\n'; return true;
            case 'r': aOut += '\r'; return true;
            case 't': aOut += '\t'; return true;
            case 'u': break;
            default: return Fail("unknown escape");
        }
        std::uint32_t code;
        if (!Hex4(code)) return false;
        if (code >= 0xDC00 && code <= 0xDFFF) return Fail("lone low surrogate");
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (iText.substr(iPos, 2) != "\\u") return Fail("lone high surrogate");
            iPos += 2;
            std::uint32_t low;
            if (!Hex4(low)) return false;
            if (low < 0xDC00 || low > 0xDFFF) return Fail("high surrogate without low one");
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        if (code < 0x100) {
            aOut += static_cast<char>(code);
        } else {
            AppendUtf8(aOut, code);
        }
        return true;
    }

    bool String(std::string& aOut) {
        ++iPos;  // the opening quote
        for (;;) {
            const int c = Peek();
            if (c < 0) return Fail("unterminated string");
            ++iPos;
            if (c == '"') return true;
            if (c < 0x20) return Fail("control character in a string");
            if (c == '\\') {
                if (!Escape(aOut)) return false;
            } else {
                aOut += static_cast<char>(c);
            }
        }
    }

    bool Array(int aDepth) {
        ++iPos;  // [
        SkipSpace();
        if (Peek() == ']') {
            ++iPos;
            return true;
        }
        for (;;) {
            SkipSpace();
            TJsonKind kind;
            std::string decoded;
            if (!Value(kind, decoded, aDepth)) return false;
            SkipSpace();
            if (Peek() == ']') {
                ++iPos;
                return true;
            }
            if (Peek() != ',') return Fail("',' or ']' expected");
            ++iPos;
        }
    }

    bool Object(std::vector<TJsonMember>* aMembers, int aDepth) {
        std::vector<TJsonMember> own;
        std::vector<TJsonMember>& members = aMembers != nullptr ? *aMembers : own;
        members.clear();
        ++iPos;  // {
        SkipSpace();
        if (Peek() == '}') {
            ++iPos;
            return true;
        }
        for (;;) {
            SkipSpace();
            if (Peek() != '"') return Fail("member name expected");
            TJsonMember member;
            if (!String(member.iName)) return false;
            for (const TJsonMember& earlier : members) {
                if (earlier.iName == member.iName) return Fail("duplicate member name");
            }
            SkipSpace();
            if (Peek() != ':') return Fail("':' expected");
            ++iPos;
            SkipSpace();
            const std::size_t start = iPos;
            std::string decoded;
            if (!Value(member.iKind, decoded, aDepth)) return false;
            member.iValue = member.iKind == TJsonKind::EString
                                ? decoded
                                : std::string(iText.substr(start, iPos - start));
            members.push_back(member);
            SkipSpace();
            if (Peek() == '}') {
                ++iPos;
                return true;
            }
            if (Peek() != ',') return Fail("',' or '}' expected");
            ++iPos;
        }
    }

    std::string_view iText;
    std::size_t iPos = 0;
    std::string iError;
};

}  // namespace

bool IsValidUtf8(std::string_view aBytes) {
    std::size_t i = 0;
    while (i < aBytes.size()) {
        const unsigned char lead = static_cast<unsigned char>(aBytes[i]);
        std::size_t length;
        unsigned char low = 0x80, high = 0xBF;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (aBytes.size() - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(aBytes[i + k]);
            const unsigned char min = k == 1 ? low : 0x80;
            const unsigned char max = k == 1 ? high : 0xBF;
            if (next < min || next > max) return false;
        }
        i += length;
    }
    return true;
}

bool ParseJsonObject(std::string_view aText, std::vector<TJsonMember>& aMembers, std::string* aError) {
    aMembers.clear();
    TReader reader(aText);
    if (reader.Document(&aMembers)) return true;
    if (aError != nullptr) *aError = reader.Error();
    aMembers.clear();
    return false;
}

bool IsJsonText(std::string_view aText, std::string* aError) {
    TReader reader(aText);
    if (reader.Document(nullptr)) return true;
    if (aError != nullptr) *aError = reader.Error();
    return false;
}
