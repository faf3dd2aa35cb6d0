#include "sensor_files.h"

#include <cstdio>
#include <fstream>
#include <sstream>

std::string ReadWholeFile(const std::string& aPath) {
    std::ifstream in(aPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> SplitLines(const std::string& aText) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < aText.size()) {
        std::string::size_type end = aText.find('\n', start);
        if (end == std::string::npos) end = aText.size();
        lines.push_back(aText.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<TSensorChunk> SensorChunks(const std::string& aLogText) {
    std::vector<TSensorChunk> chunks;
    for (const std::string& line : SplitLines(aLogText)) {
        std::istringstream fields(line);
        TSensorChunk chunk{0, false, ""};
        std::string direction;
        if (!(fields >> chunk.iMicros >> direction)) continue;
        chunk.iSent = direction == "tx";
        std::string hex;
        while (fields >> hex) chunk.iBytes.push_back(static_cast<char>(std::stoi(hex, nullptr, 16)));
        chunks.push_back(chunk);
    }
    return chunks;
}

std::string SensorReceivedBytes(const std::string& aLogText) {
    std::string bytes;
    for (const TSensorChunk& chunk : SensorChunks(aLogText)) {
        if (!chunk.iSent) bytes += chunk.iBytes;
    }
    return bytes;
}

std::string SensorTimeline(const std::string& aLogText, std::size_t aLastLines) {
    std::vector<std::string> lines = SplitLines(aLogText);
    std::size_t first = lines.size() > aLastLines ? lines.size() - aLastLines : 0;
    std::ostringstream text;
    long long origin = -1;
    for (std::size_t i = first; i < lines.size(); ++i) {
        std::istringstream fields(lines[i]);
        long long micros = 0;
        std::string direction;
        fields >> micros >> direction;
        if (origin < 0) origin = micros;
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%+9.3f ms ", static_cast<double>(micros - origin) / 1000.0);
        text << "    " << stamp << direction << " \"";
        std::string hex;
        while (fields >> hex) {
            int byte = std::stoi(hex, nullptr, 16);
            if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
                text << static_cast<char>(byte);
            } else if (byte == '\n') {
                text << "\\n";
            } else if (byte == '\r') {
                text << "\\r";
            } else {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(byte));
                text << escape;
            }
        }
        text << "\"\n";
    }
    return text.str();
}

bool SplitExchanges(const std::string& aBytes, std::vector<std::string>& aCommands, int& aLoneFeeds,
                    std::string& aProblem) {
    aCommands.clear();
    aLoneFeeds = 0;
    std::string::size_type at = 0;
    while (at < aBytes.size()) {
        if (aBytes[at] == '\n') {
            ++aLoneFeeds;
            ++at;
        }
        if (at + 3 <= aBytes.size() && aBytes[at] == 'G' && aBytes[at + 1] != '\n' && aBytes[at + 2] == '\n') {
            aCommands.push_back(aBytes.substr(at, 2));
            at += 3;
            continue;
        }
        if (at == aBytes.size()) break;
        std::ostringstream problem;
        problem << "unexpected byte 0x" << std::hex << (static_cast<unsigned>(aBytes[at]) & 0xFFu) << " at offset "
                << std::dec << at << " after " << aCommands.size() << " command(s)";
        aProblem = problem.str();
        return false;
    }
    return true;
}

std::map<std::string, std::string> ParseReportLine(const std::string& aLine) {
    std::map<std::string, std::string> fields;
    std::istringstream words(aLine);
    std::string word;
    words >> word;
    fields["command"] = word;
    while (words >> word) {
        std::string::size_type equals = word.find('=');
        if (equals == std::string::npos) continue;
        fields[word.substr(0, equals)] = word.substr(equals + 1);
    }
    return fields;
}

std::string Visible(const std::string& aBytes, bool aLineBreaks) {
    std::string text;
    for (char c : aBytes) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte == '\n') {
            text += aLineBreaks ? "\\n\n" : "\\n";
        } else if (byte == '\\') {
            text += "\\\\";
        } else if (byte < 0x20 || byte >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned>(byte));
            text += hex;
        } else {
            text += static_cast<char>(byte);
        }
    }
    return text;
}
