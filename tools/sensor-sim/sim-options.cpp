#include "sim-options.h"

#include "line-settings.h"

#include <getopt.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

namespace {

const char* const KCommandTexts[KCommandCount] = {"GT", "GH", "GP", "GN"};

enum OptionId {
    OptTemperature = 256,
    OptHumidity,
    OptPressure,
    OptName,
    OptSilent,
    OptReply,
    OptSplit,
    OptDelay,
    OptHangup,
    OptHangupAfter,
    OptLink,
    OptReport,
    OptLog,
    OptRealtime,
    OptNoPacing,
    OptSequential,
    OptLatency,
    OptStartLine,
    OptTerminal,
    OptHelp,
};

const struct option KSimLongOptions[] = {
    {"temperature", required_argument, nullptr, OptTemperature},
    {"humidity", required_argument, nullptr, OptHumidity},
    {"pressure", required_argument, nullptr, OptPressure},
    {"name", required_argument, nullptr, OptName},
    {"silent", required_argument, nullptr, OptSilent},
    {"reply", required_argument, nullptr, OptReply},
    {"split", required_argument, nullptr, OptSplit},
    {"delay", required_argument, nullptr, OptDelay},
    {"hangup", required_argument, nullptr, OptHangup},
    {"hangup-after", required_argument, nullptr, OptHangupAfter},
    {"link", required_argument, nullptr, OptLink},
    {"report", required_argument, nullptr, OptReport},
    {"log", required_argument, nullptr, OptLog},
    {"realtime", no_argument, nullptr, OptRealtime},
    {"no-pacing", no_argument, nullptr, OptNoPacing},
    {"sequential", no_argument, nullptr, OptSequential},
    {"latency", required_argument, nullptr, OptLatency},
    {"start-line", required_argument, nullptr, OptStartLine},
    {"terminal", required_argument, nullptr, OptTerminal},
    {"help", no_argument, nullptr, OptHelp},
    {nullptr, 0, nullptr, 0},
};

// A whole decimal number in [aMin, aMax]; nothing else is accepted.
bool ParseNumber(const std::string& aText, long aMin, long aMax, long& aValue) {
    if (aText.empty() || aText[0] == ' ' || aText[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(aText.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0') return false;
    if (value < aMin || value > aMax) return false;
    aValue = value;
    return true;
}

// Splits "CMD:rest" and resolves CMD.
bool SplitCommand(const std::string& aText, SimCommand& aCommand, std::string& aRest, bool aNeedRest) {
    std::string::size_type colon = aText.find(':');
    std::string name = aText.substr(0, colon);
    if (!CommandFromText(name, aCommand)) return false;
    if (colon == std::string::npos) {
        aRest.clear();
        return !aNeedRest;
    }
    if (!aNeedRest) return false;
    aRest = aText.substr(colon + 1);
    return true;
}

int HexDigit(char aChar) {
    if (aChar >= '0' && aChar <= '9') return aChar - '0';
    if (aChar >= 'a' && aChar <= 'f') return aChar - 'a' + 10;
    if (aChar >= 'A' && aChar <= 'F') return aChar - 'A' + 10;
    return -1;
}

bool ParseHex(const std::string& aText, std::string& aBytes) {
    if (aText.size() % 2 != 0) return false;
    aBytes.clear();
    for (std::string::size_type i = 0; i < aText.size(); i += 2) {
        int high = HexDigit(aText[i]);
        int low = HexDigit(aText[i + 1]);
        if (high < 0 || low < 0) return false;
        aBytes.push_back(static_cast<char>(static_cast<unsigned char>(high * 16 + low)));
    }
    return true;
}

// SPEED,FORMAT[,rtscts][,xonxoff] with FORMAT as in 7E2.
bool ParseStartLine(const std::string& aText, StartLine& aLine) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type comma = aText.find(',', start);
        fields.push_back(aText.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (fields.size() < 2) return false;
    long speed = 0;
    if (!ParseNumber(fields[0], 1, LONG_MAX, speed) || !IsSupportedStartSpeed(static_cast<unsigned long>(speed))) {
        return false;
    }
    const std::string& format = fields[1];
    if (format.size() != 3 || format[0] < '5' || format[0] > '8') return false;
    if (format[1] != 'N' && format[1] != 'E' && format[1] != 'O') return false;
    if (format[2] != '1' && format[2] != '2') return false;
    StartLine line;
    line.iSet = true;
    line.iSpeed = static_cast<unsigned>(speed);
    line.iDataBits = format[0] - '0';
    line.iParity = format[1];
    line.iStopBits = format[2] - '0';
    for (std::size_t i = 2; i < fields.size(); ++i) {
        if (fields[i] == "rtscts") {
            line.iRtsCts = true;
        } else if (fields[i] == "xonxoff") {
            line.iXonXoff = true;
        } else {
            return false;
        }
    }
    aLine = line;
    return true;
}

}  // namespace

const char* CommandText(SimCommand aCommand) {
    return KCommandTexts[static_cast<int>(aCommand)];
}

bool CommandFromText(const std::string& aText, SimCommand& aCommand) {
    for (int i = 0; i < KCommandCount; ++i) {
        if (aText == KCommandTexts[i]) {
            aCommand = static_cast<SimCommand>(i);
            return true;
        }
    }
    return false;
}

void PrintSimHelp(std::FILE* aOut, const char* aProgram) {
    std::fprintf(aOut,
        "Usage: %s [options]\n"
        "\n"
        "A simulated environmental sensor on a pseudo-terminal. Prints the path of the\n"
        "terminal's far end and a line feed, then answers until SIGTERM or SIGINT, or\n"
        "until its parent process ends. Input is split at line feeds; the lines GT, GH,\n"
        "GP and GN are answered with the reading's text and \"\\r\\n\", empty and unknown\n"
        "lines are ignored. CMD below is one of GT, GH, GP, GN; a fault option given\n"
        "again for the same command replaces the earlier one.\n"
        "\n"
        "Readings (sent verbatim, so malformed texts such as -1.-25 can be given):\n"
        "  --temperature=TEXT         reply to GT (default 23.4)\n"
        "  --humidity=TEXT            reply to GH (default 45.6)\n"
        "  --pressure=TEXT            reply to GP (default 1013.2)\n"
        "  --name=TEXT                reply to GN (default AB-1)\n"
        "\n"
        "Faults:\n"
        "  --silent=CMD               never answer CMD\n"
        "  --reply=CMD:HEX            answer CMD with exactly these bytes (hex pairs,\n"
        "                             no line end added; empty sends nothing)\n"
        "  --delay=[CMD:]MICROS       pause before answering CMD (every command\n"
        "                             without CMD)\n"
        "  --split=CMD:N:MICROS       send the first N bytes, pause, then the rest\n"
        "  --hangup=CMD               on CMD close the terminal (the other side sees a\n"
        "                             hang-up) and exit, without answering\n"
        "  --hangup-after=CMD         answer CMD, then hang up and exit as soon as\n"
        "                             anything more arrives (a device lost between two\n"
        "                             queries)\n"
        "\n"
        "\n"
        "The line:\n"
        "  Bytes take their time on the line, as on a real serial line: a frame of a\n"
        "  start bit, the data bits, the parity bit and the stop bits at the rate the\n"
        "  other side set on the terminal (86.8 us a byte at 115200 8N1). A command is\n"
        "  answered when its line feed has arrived; a byte of a reply reaches the\n"
        "  other side when its frame is complete. Replies go out in the order they are\n"
        "  due, one byte at a time; a reply once begun goes out whole, and a pause\n"
        "  inside one (--split) leaves the line to what falls due meanwhile.\n"
        "  --no-pacing                bytes take no time on the line\n"
        "  --sequential               answer one command at a time, as firmware does: a\n"
        "                             command that arrives while an earlier one is\n"
        "                             measured (--delay) or answered waits in the\n"
        "                             sensor's input until that reply is out; by\n"
        "                             default each command is answered when its own\n"
        "                             reply falls due, and late replies overlap\n"
        "                             (hang-up faults act on receipt either way)\n"
        "  --latency=MS               a USB adapter between line and terminal: bytes\n"
        "                             are held until MS ms after the first held byte,\n"
        "                             or until 62 are held\n"
        "\n"
        "Other:\n"
        "  --start-line=SPEED,FMT[,rtscts][,xonxoff]\n"
        "                             line settings to put on the terminal at start,\n"
        "                             e.g. 9600,7E2,rtscts (the pseudo-terminal itself\n"
        "                             always keeps 8 data bits and no parity)\n"
        "  --terminal=PATH            serve this existing terminal instead of a\n"
        "                             pseudo-terminal of its own (a gadget's ttyGS0, the\n"
        "                             far end of a pseudo-terminal a test holds): made\n"
        "                             raw, its line settings left to the other side;\n"
        "                             the sensor ends when it hangs up\n"
        "  --link=PATH                make PATH a symbolic link to the terminal (an\n"
        "                             existing link is put back at exit)\n"
        "  --report=FILE              for every command, append one line with the\n"
        "                             terminal's line settings as the other side set them\n"
        "  --log=FILE                 append one line per chunk of bytes received or\n"
        "                             sent: monotonic-clock microseconds, rx or tx, and\n"
        "                             the bytes in hex\n"
        "  --realtime                 ask for real-time scheduling (ignored if refused);\n"
        "                             hardware needs none, nor does the tool\n"
        "  --help                     show this help\n"
        "\n"
        "Exit status: 0 after a stop or a hang-up, 1 for a usage error, 2 when the\n"
        "terminal or a file could not be set up.\n",
        aProgram);
}

ParseOutcome ParseSimOptions(int aArgc, char** aArgv, SimOptions& aOptions, std::string& aError) {
    aOptions = SimOptions();
    aOptions.iCommands[static_cast<int>(SimCommand::Temperature)].iReply = "23.4\r\n";
    aOptions.iCommands[static_cast<int>(SimCommand::Humidity)].iReply = "45.6\r\n";
    aOptions.iCommands[static_cast<int>(SimCommand::Pressure)].iReply = "1013.2\r\n";
    aOptions.iCommands[static_cast<int>(SimCommand::Name)].iReply = "AB-1\r\n";
    bool exact[KCommandCount] = {false, false, false, false};

    opterr = 0;
    optind = 1;
    for (;;) {
        int id = getopt_long(aArgc, aArgv, "", KSimLongOptions, nullptr);
        if (id == -1) break;
        std::string value = optarg != nullptr ? optarg : "";
        SimCommand command = SimCommand::Temperature;
        std::string rest;
        switch (id) {
            case OptTemperature:
            case OptHumidity:
            case OptPressure:
            case OptName: {
                int index = id - OptTemperature;
                if (!exact[index]) aOptions.iCommands[index].iReply = value + "\r\n";
                break;
            }
            case OptSilent:
            case OptHangup:
            case OptHangupAfter:
                if (!SplitCommand(value, command, rest, false)) {
                    aError = "bad command in '" + value + "' (want GT, GH, GP or GN)";
                    return ParseOutcome::Error;
                }
                if (id == OptSilent) aOptions.iCommands[static_cast<int>(command)].iSilent = true;
                if (id == OptHangup) aOptions.iCommands[static_cast<int>(command)].iHangup = true;
                if (id == OptHangupAfter) aOptions.iCommands[static_cast<int>(command)].iHangupAfter = true;
                break;
            case OptReply: {
                std::string bytes;
                if (!SplitCommand(value, command, rest, true) || !ParseHex(rest, bytes)) {
                    aError = "bad --reply '" + value + "' (want CMD:HEXBYTES)";
                    return ParseOutcome::Error;
                }
                aOptions.iCommands[static_cast<int>(command)].iReply = bytes;
                exact[static_cast<int>(command)] = true;
                break;
            }
            case OptDelay: {
                long micros = 0;
                const bool every = value.find(':') == std::string::npos;
                const bool ok = every ? ParseNumber(value, 0, 60000000L, micros)
                                      : SplitCommand(value, command, rest, true) && ParseNumber(rest, 0, 60000000L, micros);
                if (!ok) {
                    aError = "bad --delay '" + value + "' (want [CMD:]MICROS, at most 60 s)";
                    return ParseOutcome::Error;
                }
                for (int i = 0; i < KCommandCount; ++i) {
                    if (every || i == static_cast<int>(command)) aOptions.iCommands[i].iDelayUs = micros;
                }
                break;
            }
            case OptSplit: {
                long bytes = 0;
                long micros = 0;
                std::string::size_type colon = std::string::npos;
                bool ok = SplitCommand(value, command, rest, true);
                if (ok) colon = rest.find(':');
                ok = ok && colon != std::string::npos && ParseNumber(rest.substr(0, colon), 0, 4096, bytes) &&
                     ParseNumber(rest.substr(colon + 1), 0, 60000000L, micros);
                if (!ok) {
                    aError = "bad --split '" + value + "' (want CMD:NBYTES:MICROS)";
                    return ParseOutcome::Error;
                }
                CommandBehaviour& behaviour = aOptions.iCommands[static_cast<int>(command)];
                behaviour.iSplit = true;
                behaviour.iSplitBytes = static_cast<std::size_t>(bytes);
                behaviour.iSplitUs = micros;
                break;
            }
            case OptLink:
                if (value.empty()) {
                    aError = "--link needs a path";
                    return ParseOutcome::Error;
                }
                aOptions.iLinkPath = value;
                break;
            case OptReport:
                aOptions.iReportPath = value;
                break;
            case OptLog:
                aOptions.iLogPath = value;
                break;
            case OptRealtime:
                aOptions.iRealtime = true;
                break;
            case OptNoPacing:
                aOptions.iPacing = false;
                break;
            case OptSequential:
                aOptions.iSequential = true;
                break;
            case OptLatency: {
                long millis = 0;
                if (!ParseNumber(value, 0, 10000, millis)) {
                    aError = "bad --latency '" + value + "' (want MS, at most 10000)";
                    return ParseOutcome::Error;
                }
                aOptions.iLatencyUs = millis * 1000;
                break;
            }
            case OptStartLine:
                if (!ParseStartLine(value, aOptions.iStartLine)) {
                    aError = "bad --start-line '" + value + "' (want SPEED,FMT[,rtscts][,xonxoff], e.g. 9600,7E2)";
                    return ParseOutcome::Error;
                }
                break;
            case OptTerminal:
                if (value.empty()) {
                    aError = "--terminal needs a path";
                    return ParseOutcome::Error;
                }
                aOptions.iTerminalPath = value;
                break;
            case OptHelp:
                return ParseOutcome::Help;
            default:
                aError = std::string("unknown option or missing value: ") +
                         (optind > 0 && optind <= aArgc ? aArgv[optind - 1] : "?");
                return ParseOutcome::Error;
        }
    }
    if (optind < aArgc) {
        aError = std::string("unexpected argument: ") + aArgv[optind];
        return ParseOutcome::Error;
    }
    return ParseOutcome::Run;
}
