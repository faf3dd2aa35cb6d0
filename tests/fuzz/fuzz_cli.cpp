// The whole command line through option parsing and the run, with a port
// that never opens. What the run prints is checked exactly: the help screen,
// or the missing values of one of the seven selections the options reach,
// after the banner and the failure line in verbose mode.
//
// Input: one mode byte (its lowest bit sets POSIXLY_CORRECT), then the
// argument vector, element 0 included, its texts separated by zero bytes.

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "comm_stub.h"
#include "frontend.h"
#include "fuzz_check.h"
#include "port_name_check.h"
#include "settings.h"

namespace {

const std::size_t KMaxArguments = 256;

// Standard output goes to a scratch file that each run reads back.
class TCapture {
public:
    TCapture() {
        iFile = std::tmpfile();
        FUZZ_CHECK(iFile != nullptr, "no scratch file");
        std::fflush(stdout);
        dup2(fileno(iFile), 1);
        std::setvbuf(stdout, nullptr, _IONBF, 0);  // as main does
    }

    void Start() {
        std::fflush(stdout);
        FUZZ_CHECK(ftruncate(fileno(iFile), 0) == 0 && lseek(1, 0, SEEK_SET) == 0, "scratch file");
    }

    std::string Take() {
        std::fflush(stdout);
        std::string text;
        char buffer[4096];
        off_t at = 0;
        ssize_t n;
        while ((n = pread(fileno(iFile), buffer, sizeof buffer, at)) > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
            at += n;
        }
        return text;
    }

private:
    std::FILE* iFile = nullptr;
};

TCapture& Capture() {
    static TCapture capture;
    return capture;
}

std::string Printed(void (*aPrint)()) {
    Capture().Start();
    aPrint();
    return Capture().Take();
}

std::string Upper63(const char* aDevice) {
    std::string device = std::string(aDevice).substr(0, 63);
    for (char& c : device) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return device;
}

// What a run whose port did not open prints after the open: every selected
// quantity missing. Empty when the flags are none of the seven selections.
std::string MissingValues() {
    const int selection = gReadTemperature * 8 + gReadHumidity * 4 + gReadPressure * 2 + gReadName;
    switch (selection) {
        case 8: return gJsonFormat ? "{ \"temperature\": null }\n" : "NaN\n";
        case 4: return gJsonFormat ? "{ \"humidity\": null }\n" : "NaN\n";
        case 5: return gJsonFormat ? "{ \"humidity\": null, \"name\": \"UNKNOWN\" }\n" : "NaN\nUNKNOWN\n";
        case 2: return gJsonFormat ? "{ \"pressure\": null }\n" : "NaN\n";
        case 3: return gJsonFormat ? "{ \"pressure\": null, \"name\": \"UNKNOWN\" }\n" : "NaN\nUNKNOWN\n";
        case 1: return gJsonFormat ? "{ \"name\": \"UNKNOWN\" }\n" : "UNKNOWN\n";
        case 15:
            return gJsonFormat ? "{ \"temperature\": null, \"humidity\": null, \"pressure\": null, \"name\": \"UNKNOWN\" }\n"
                               : "NaN\nNaN\nNaN\nUNKNOWN\n";
        default: return "";
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
    if (aSize == 0) return 0;
    if (aData[0] & 1) {
        setenv("POSIXLY_CORRECT", "1", 1);
    } else {
        unsetenv("POSIXLY_CORRECT");
    }
    std::vector<std::string> texts(1);
    for (std::size_t i = 1; i < aSize; ++i) {
        if (aData[i] != 0) {
            texts.back() += static_cast<char>(aData[i]);
        } else if (texts.size() == KMaxArguments) {
            break;
        } else {
            texts.emplace_back();
        }
    }
    std::vector<char*> arguments;
    for (std::string& text : texts) arguments.push_back(&text[0]);
    arguments.push_back(nullptr);
    const std::vector<char*> given = arguments;  // the parser may reorder them
    std::string commandLine;
    for (const std::string& text : texts) commandLine += Quoted(text) + " ";

    ResetRunSettings();
    gCommStub = TCommStub();
    gArgCnt = static_cast<std::int32_t>(texts.size());
    gArgList = arguments.data();

    Capture().Start();
    const int status = Go();
    const std::string output = Capture().Take();

    const std::string banner = Printed(ShowProgramInfo);
    const std::string help = Printed(ShowHelp);
    const std::string context = "command line " + commandLine + "status " + std::to_string(status);

    FUZZ_CHECK(gVerbose == 0 || gVerbose == 1, context);
    if (status == EExitHelp) {
        FUZZ_CHECK(output == banner + help, context + ": printed " + Quoted(output));
        FUZZ_CHECK(gCommStub.iCreateCalls == 0, context + ": opened a port");
    } else {
        FUZZ_CHECK(status == EExitMissing && gDevice != nullptr, context);
        FUZZ_CHECK(gCommStub.iCreateCalls == 1, context);
        const std::string device = IsDevicePath(gDevice) ? std::string(gDevice) : Upper63(gDevice);
        CheckPortName(device, gCommStub.iCreateName.c_str(), context);
        const std::string values = MissingValues();
        FUZZ_CHECK(!values.empty(), context + ": selection " + std::to_string(gReadTemperature) +
                                        std::to_string(gReadHumidity) + std::to_string(gReadPressure) +
                                        std::to_string(gReadName));
        const std::string expected = gVerbose ? banner + device + ": Error: Open Port\n" + values : values;
        FUZZ_CHECK(output == expected, context + ": printed " + Quoted(output) + ", expected " + Quoted(expected));
    }
    // The device text is taken from the arguments, never copied.
    bool pointsIntoArguments = gDevice == nullptr;
    const std::uintptr_t device = reinterpret_cast<std::uintptr_t>(gDevice);
    for (std::size_t i = 0; i + 1 < given.size() && !pointsIntoArguments; ++i) {
        const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(given[i]);
        pointsIntoArguments = device >= start && device <= start + texts[i].size();
    }
    FUZZ_CHECK(pointsIntoArguments, context);
    return 0;
}
