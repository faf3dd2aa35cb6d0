#include "json-check.h"

namespace {

class CReader {
public:
    explicit CReader(const std::string& aText) : iText(aText) {}

    bool Document() {
        Blank();
        if (!Value()) return false;
        Blank();
        return iPos == iText.size() || Fail("text after the value");
    }

    std::string iWhy;

private:
    bool Fail(const char* aWhy) {
        if (iWhy.empty()) iWhy = std::string(aWhy) + " at offset " + std::to_string(iPos);
        return false;
    }
    int Peek() const { return iPos < iText.size() ? static_cast<unsigned char>(iText[iPos]) : -1; }
    bool Take(char aChar) {
        if (Peek() != static_cast<unsigned char>(aChar)) return false;
        ++iPos;
        return true;
    }
    void Blank() {
        while (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r') ++iPos;
    }
    bool Word(const char* aWord) {
        for (const char* c = aWord; *c != '\0'; ++c) {
            if (!Take(*c)) return Fail("bad literal");
        }
        return true;
    }
    bool Digits() {
        if (Peek() < '0' || Peek() > '9') return Fail("digit expected");
        while (Peek() >= '0' && Peek() <= '9') ++iPos;
        return true;
    }
    bool Number() {
        Take('-');
        if (!Take('0') && !Digits()) return false;
        if (Take('.') && !Digits()) return false;
        if (Take('e') || Take('E')) {
            if (!Take('+')) Take('-');
            if (!Digits()) return false;
        }
        return true;
    }
    // One UTF-8 sequence starting at a byte of 0x80 or more.
    bool Utf8() {
        const int lead = Peek();
        int length = 0;
        int low = 0x80;  // allowed range of the second byte
        int high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;   // overlong
            if (lead == 0xED) high = 0x9F;  // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;   // overlong
            if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
        } else {
            return Fail("byte that starts no UTF-8 sequence");
        }
        ++iPos;
        for (int i = 1; i < length; ++i) {
            const int next = Peek();
            if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return Fail("broken UTF-8 sequence");
            ++iPos;
        }
        return true;
    }
    bool String() {
        if (!Take('"')) return Fail("string expected");
        for (;;) {
            const int c = Peek();
            if (c < 0) return Fail("unterminated string");
            if (c < 0x20) return Fail("raw control character in string");
            if (c == '"') {
                ++iPos;
                return true;
            }
            if (c >= 0x80) {
                if (!Utf8()) return false;
                continue;
            }
            ++iPos;
            if (c != '\\') continue;
            const int e = Peek();
            ++iPos;
            if (e == 'u') {
                for (int i = 0; i < 4; ++i, ++iPos) {
                    const int h = Peek();
                    if (!((h >= '0' && h <= '9') || (h >= 'a' && h <= 'f') || (h >= 'A' && h <= 'F'))) {
                        return Fail("bad \\u escape");
                    }
                }
            } else if (e < 0 || std::string("\"\\/bfnrt").find(static_cast<char>(e)) == std::string::npos) {
                return Fail("bad escape");
            }
        }
    }
    bool Value() {
        if (++iDepth > 64) return Fail("nested too deep");
        bool ok;
        const int c = Peek();
        if (c == '{') ok = Members('}', true);
        else if (c == '[') ok = Members(']', false);
        else if (c == '"') ok = String();
        else if (c == 't') ok = Word("true");
        else if (c == 'f') ok = Word("false");
        else if (c == 'n') ok = Word("null");
        else if (c == '-' || (c >= '0' && c <= '9')) ok = Number();
        else ok = Fail("value expected");
        --iDepth;
        return ok;
    }
    bool Members(char aClose, bool aNamed) {
        ++iPos;
        Blank();
        if (Take(aClose)) return true;
        for (;;) {
            Blank();
            if (aNamed) {
                if (!String()) return false;
                Blank();
                if (!Take(':')) return Fail("':' expected");
                Blank();
            }
            if (!Value()) return false;
            Blank();
            if (Take(aClose)) return true;
            if (!Take(',')) return Fail("',' or end expected");
        }
    }

    const std::string& iText;
    std::size_t iPos = 0;
    int iDepth = 0;
};

}  // namespace

bool IsJsonText(const std::string& aText, std::string* aWhy) {
    CReader reader(aText);
    if (reader.Document()) return true;
    if (aWhy != nullptr) *aWhy = reader.iWhy;
    return false;
}
