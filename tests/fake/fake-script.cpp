// The text form of a fake port's script.
#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "fake-state.h"

namespace {

std::vector<std::string> Words(const std::string& aStatement) {
    std::istringstream in(aStatement);
    std::vector<std::string> words;
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

bool Bytes(const std::vector<std::string>& aWords, std::size_t aIndex, std::string* aBytes) {
    aBytes->clear();
    return aWords.size() <= aIndex || FakeUnhex(aWords[aIndex], aBytes);
}

// HEX or HEX@MS: bytes and when they arrive after the command.
bool Piece(const std::string& aWord, TFakePiece* aPiece) {
    const std::string::size_type at = aWord.find('@');
    if (!FakeUnhex(aWord.substr(0, at), &aPiece->iBytes)) return false;
    if (at == std::string::npos) return true;
    const std::string millis = aWord.substr(at + 1);
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(millis.c_str(), &end, 10);
    if (millis.empty() || *end != '\0' || errno != 0 || value < 0 || value > 60000) return false;
    aPiece->iAfterUs = static_cast<std::int64_t>(value) * 1000;
    return true;
}

bool Apply(const std::vector<std::string>& aWords, std::string* aError) {
    const std::string& verb = aWords[0];
    std::string bytes;
    if (verb == "reply" && aWords.size() >= 2) {
        std::vector<TFakePiece> pieces;
        for (std::size_t i = 2; i < aWords.size(); ++i) {
            TFakePiece piece{0, ""};
            if (!Piece(aWords[i], &piece)) return *aError = "bad piece " + aWords[i] + " in reply", false;
            pieces.push_back(piece);
        }
        if (pieces.empty()) pieces.push_back(TFakePiece{0, ""});
        FakeReplyPieces(aWords[1], pieces);
        return true;
    }
    if (verb == "feed" && aWords.size() == 2) {
        if (!Bytes(aWords, 1, &bytes)) return *aError = "bad hex in feed", false;
        FakeFeed(bytes);
        return true;
    }
    if (verb == "fail" && (aWords.size() == 2 || aWords.size() == 3)) {
        if (!FakeKnownName(aWords[1])) return *aError = "no operation " + aWords[1], false;
        int nth = 0;
        if (aWords.size() == 3) {
            char* end = nullptr;
            errno = 0;
            const long value = std::strtol(aWords[2].c_str(), &end, 10);
            if (*end != '\0' || errno != 0 || value < 1 || value > 1000000) {
                return *aError = "bad call number " + aWords[2], false;
            }
            nth = static_cast<int>(value);
        }
        FakeFail(aWords[1], nth);
        return true;
    }
    if (verb == "modem" && aWords.size() == 2) {
        char* end = nullptr;
        errno = 0;
        const unsigned long value = std::strtoul(aWords[1].c_str(), &end, 16);
        if (*end != '\0' || errno != 0 || value > 0xFFFFFFFFul) return *aError = "bad modem word", false;
        FakeSetModemStatus(static_cast<DWORD>(value));
        return true;
    }
    if (verb == "trace" && aWords.size() == 2) {
        FakeTraceTo(aWords[1]);
        return true;
    }
    *aError = "cannot read '" + verb + "' with " + std::to_string(aWords.size() - 1) + " words";
    return false;
}

}  // namespace

bool FakeScript(const std::string& aScript, std::string* aError) {
    std::string statement;
    std::istringstream in(aScript);
    while (std::getline(in, statement, ';')) {
        const std::vector<std::string> words = Words(statement);
        if (words.empty()) continue;
        if (!Apply(words, aError)) return false;
    }
    return true;
}
