// Reading what the simulated sensor wrote with --log and --report.
#ifndef TARNEL_TESTS_SENSOR_FILES_H
#define TARNEL_TESTS_SENSOR_FILES_H

#include <cstddef>
#include <map>
#include <string>
#include <vector>

std::string ReadWholeFile(const std::string& aPath);

// One line of the sensor's log: a chunk of bytes received or sent.
struct TSensorChunk {
    long long iMicros;  // on the monotonic clock
    bool iSent;         // tx; rx otherwise
    std::string iBytes;
};

// The log's lines (one chunk per line: microseconds, rx or tx, then the
// bytes in hex).
std::vector<TSensorChunk> SensorChunks(const std::string& aLogText);

// Every byte the sensor received, in order.
std::string SensorReceivedBytes(const std::string& aLogText);

// The last lines of the log as a readable timeline (milliseconds relative to
// the first of them, direction, bytes), to show in a failure message.
std::string SensorTimeline(const std::string& aLogText, std::size_t aLastLines);

// The tool's exchanges in the received bytes: each is an optional lone line
// feed (the purge right after it may discard it before the sensor sees it),
// then a two-letter command and a line feed. False, with the first byte that
// does not fit, when anything else was sent.
bool SplitExchanges(const std::string& aBytes, std::vector<std::string>& aCommands, int& aLoneFeeds,
                    std::string& aProblem);

// One report line: the command under "command", then its key=value fields.
std::map<std::string, std::string> ParseReportLine(const std::string& aLine);

std::vector<std::string> SplitLines(const std::string& aText);

// Printable form of bytes for failure messages: control bytes, bytes above
// 0x7E and the backslash escaped. With aLineBreaks a line feed also ends the
// line, so that a whole output stays readable.
std::string Visible(const std::string& aBytes, bool aLineBreaks = false);

#endif
