#include "frontend.h"

#include <getopt.h>

#include <cstring>

#include "console.h"
#include "output.h"
#include "query.h"
#include "settings.h"
#include "utils.h"

std::uint8_t gReadTemperature = 0;
std::uint8_t gReadHumidity = 0;
std::uint8_t gReadPressure = 1;
std::uint8_t gReadName = 0;
std::uint8_t gJsonFormat = 0;
std::int32_t gVerbose = 0;
const char* gDevice = nullptr;

std::int32_t gArgCnt = 0;
char** gArgList = nullptr;

CSerial gSerial;

namespace {

const option KLongOptions[] = {
    {"help", no_argument, nullptr, '?'},
    {"verbose", no_argument, nullptr, 'v'},
    {"device", required_argument, nullptr, 'd'},
    {"temperature", no_argument, nullptr, 't'},
    {"humidity", no_argument, nullptr, 'h'},
    {"pressure", no_argument, nullptr, 'p'},
    {"name", no_argument, nullptr, 'n'},
    {"all", no_argument, nullptr, 'a'},
    {"json", no_argument, nullptr, 'j'},
    {nullptr, 0, nullptr, 0},
};

const char KShortOptions[] = "vd:thpajn";

const char KHelpText[] =
    "Options:\n"
    "  --help                          Show this help.\n"
    "  -v, --verbose                   Verbose mode.\n"
    "  -d DEVICE, --device=DEVICE      Set device / port.\n"
    "  -t, --temperature               Read Temperature (default)\n"
    "  -h, --humidity                  Read Humidity\n"
    "  -p, --pressure                  Read Pressure\n"
    "  -n, --name                      Read Sensor name\n"
    "  -a, --all                       Read Temperature, Humidity and Pressure\n"
    "  -j, --json                      Result in JSON string";

void Select(std::uint8_t aTemperature, std::uint8_t aHumidity, std::uint8_t aPressure) {
    gReadTemperature = aTemperature;
    gReadHumidity = aHumidity;
    gReadPressure = aPressure;
}

// False when the run must end with the help.
bool ParseOptions() {
    int value;
    while ((value = getopt_long(gArgCnt, gArgList, KShortOptions, KLongOptions, nullptr)) != -1) {
        switch (value) {
            case 't': Select(1, 0, 0); gReadName = 0; break;
            case 'h': Select(0, 1, 0); break;
            case 'p': Select(0, 0, 1); break;
            case 'n': Select(0, 0, 0); gReadName = 1; break;
            case 'a': Select(1, 1, 1); gReadName = 1; break;
            case 'j': gJsonFormat = 1; break;
            case 'v': gVerbose = 1; break;
            case 'd': gDevice = optarg; break;
            default: return false;
        }
    }
    return true;
}

void ShowBannerAndHelp() {
    ShowProgramInfo();
    ShowHelp();
}

}  // namespace

void ShowProgramInfo() {
    OutText("tarnel V1.00.00");
    OutText(" (build on " __DATE__ " " __TIME__ ")");
    OutText(" Reads an environmental sensor on a serial port.\n");
}

void ShowHelp() {
    OutText("\n");
    OutFormat("Usage: %s [options]\n", FileNameOnly(gArgList[0] != nullptr ? gArgList[0] : ""));
    OutText(KHelpText);
    OutText("\n\n\n");
}

void ResetRunSettings() {
    gReadTemperature = 0;
    gReadHumidity = 0;
    gReadPressure = 1;
    gReadName = 0;
    gJsonFormat = 0;
    gVerbose = 0;
    gDevice = nullptr;
    optind = 0;  // makes the parser start afresh, environment included
}

int Go() {
    if (!ParseOptions() || gDevice == nullptr) {
        ShowBannerAndHelp();
        return EExitHelp;
    }
    if (gVerbose) ShowProgramInfo();

    // A COM text is cut and upper-cased (com3 is COM3); a device's path is
    // used as typed, whatever its length.
    char buffer[64];
    const char* device = gDevice;
    if (!IsDevicePath(gDevice)) {
        std::strncpy(buffer, gDevice, sizeof buffer);
        buffer[sizeof buffer - 1] = '\0';
        for (char* c = buffer; *c != '\0'; ++c) {
            if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
        }
        device = buffer;
    }

    const bool portOpen = gSerial.Open(device, "115200 N81") >= 0;
    if (!portOpen && gVerbose) OutFormat("%s: %s\n", device, MessageText(gSerial.iLastError));

    bool allObtained = portOpen;
    if (gJsonFormat) PrintJsonOpening();
    const TQuantity readings[] = {ETemperature, EHumidity, EPressure};
    for (TQuantity quantity : readings) {
        if (!IsSelected(quantity)) continue;
        const float reading = portOpen ? QueryReading(quantity) : KMissingReading;
        allObtained = allObtained && !IsMissing(reading);
        PrintReading(quantity, reading);
    }
    if (gReadName) {
        char name[64] = {};
        bool obtained = false;
        if (portOpen) {
            obtained = QueryName(name);
        } else {
            std::strncpy(name, KMissingName, sizeof name - 1);
        }
        allObtained = allObtained && obtained;
        PrintName(name);
    }
    if (gJsonFormat) PrintJsonClosing();
    return allObtained ? EExitAllRead : EExitMissing;
}
