// The tool on the kernel's real serial drivers: one virtual machine for all
// cases (driver_cases.cpp), booted once; each case on each driver it names,
// in order, with a fresh sensor.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "driver_cases.h"
#include "guest_vm.h"
#include "process.h"
#include "sensor_files.h"
#include "sensor_sim.h"

namespace {

using Clock = std::chrono::steady_clock;

// The guest runs a case's line for at most this long (guest/init.sh).
constexpr int KLineLimitMs = 60000;
constexpr int KBootLimitMs = 120000;

double SecondsSince(Clock::time_point aStart) {
    return std::chrono::duration<double>(Clock::now() - aStart).count();
}

std::string Replace(std::string aText, const std::string& aFrom, const std::string& aTo) {
    for (std::string::size_type at = aText.find(aFrom); at != std::string::npos; at = aText.find(aFrom, at + aTo.size())) {
        aText.replace(at, aFrom.size(), aTo);
    }
    return aText;
}

std::string Join(const std::vector<std::string>& aWords) {
    std::string text;
    for (const std::string& word : aWords) text += (text.empty() ? "" : " ") + word;
    return text;
}

// The verbose banner carries the build's date.
std::string WithoutBanner(const std::string& aOutput) {
    std::istringstream lines(aOutput);
    std::string line;
    std::string out;
    while (std::getline(lines, line)) {
        const bool banner = line.rfind("tarnel V1.00.00 (build on ", 0) == 0 &&
                            line.find(") Reads an environmental sensor on a serial port.") != std::string::npos;
        out += (banner ? "[banner]" : line) + "\n";
    }
    if (!aOutput.empty() && aOutput.back() != '\n' && !out.empty()) out.pop_back();
    return out;
}

std::string Indented(const std::string& aText) {
    std::string out = "    ";
    for (char c : aText) {
        out += c;
        if (c == '\n') out += "    ";
    }
    return out;
}

// What the guest answered for one case.
struct TAnswer {
    bool iComplete = false;
    std::string iOutput;
    int iStatus = -1;
    std::string iNotes;
    std::string iGuestSensorLog;
    double iSeconds = 0;
};

// The machine and the two host lines, for the whole run.
class CMachine {
public:
    // Builds the initramfs and boots; false with everything known about why
    // not in Problem().
    bool Boot();
    void PowerOff();

    bool Up() const { return iUp; }
    // A guest that stopped answering answers no later case either.
    void Lost(const std::string& aWhy) {
        iUp = false;
        iProblem = aWhy;
    }
    const std::string& Problem() const { return iProblem; }
    const CHostLine& Line(TDriver aDriver) const { return aDriver == KUart ? iUart : iUsb; }
    CGuest& Guest() { return iGuest; }
    const std::string& Work() const { return iWork; }

    // Hands a case to the guest, and collects what it answered. The gadget's
    // sensor is "-" for none, or "+" and its options.
    bool Send(const std::string& aId, const std::string& aGadgetSensor, const std::string& aLine);
    TAnswer Collect(const std::string& aId);

    std::string ConsoleTail() const { return iGuest.ConsoleTail(40); }

private:
    CHostLine iUart;
    CHostLine iUsb;
    CGuest iGuest;
    std::string iWork;
    std::string iProblem;
    bool iUp = false;
    Clock::time_point iSent;
};

bool CMachine::Boot() {
    const auto start = Clock::now();
    iWork = TARNEL_DRIVERS_WORK;
    mkdir(iWork.c_str(), 0755);

    const ProcessResult where = RunProcess({TARNEL_GUEST_KERNEL_SCRIPT, "--path"});
    const std::string tree = where.iOut.substr(0, where.iOut.find('\n'));
    const ProcessResult images = RunProcess({"/bin/sh", "-c", "ls \"$0\"/boot/vmlinuz-*", tree});
    const std::string kernel = images.iOut.substr(0, images.iOut.find('\n'));
    if (images.iStatus != 0 || kernel.empty()) {
        iProblem = "no kernel in " + tree + ": run tools/install-deps.sh (as root), which fetches it";
        return false;
    }

    const std::string initramfs = iWork + "/initramfs.cpio";
    const ProcessResult made = RunProcess({TARNEL_DRIVERS_DIR "/make-initramfs.sh", tree, initramfs,
                                           TARNEL_TOOL_PATH, CSensorSim::ProgramPath(),
                                           TARNEL_GUEST_HELPER, TARNEL_UART_TESTS});
    if (made.iStatus != 0) {
        iProblem = "make-initramfs.sh failed:\n" + made.iOut + made.iErr;
        return false;
    }
    if (!iUart.Open(&iProblem) || !iUsb.Open(&iProblem)) return false;

    TGuestConfig config;
    config.iKernel = kernel;
    config.iInitramfs = initramfs;
    config.iQmpSocket = iWork + "/qmp.socket";
    config.iQemuLog = iWork + "/qemu.log";
    config.iUart = &iUart;
    config.iUsb = &iUsb;
    if (!iGuest.Start(config, &iProblem)) return false;

    const auto deadline = Clock::now() + std::chrono::milliseconds(KBootLimitMs);
    std::string line;
    std::string problems;
    while (iGuest.ReadLine(deadline, &line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "@@ ready") {
            if (!problems.empty()) break;
            iUp = true;
            std::printf("guest ready after %.1f s\n", SecondsSince(start));
            return true;
        }
        if (line.rfind("@@ ", 0) == 0) problems += line.substr(3) + "\n";
    }
    iProblem = "the guest did not come up" + (problems.empty() ? "" : ":\n" + problems) +
              "\nconsole:\n" + iGuest.ConsoleTail(60) + "\nQEMU: " + ReadWholeFile(config.iQemuLog);
    iGuest.Kill();
    return false;
}

void CMachine::PowerOff() {
    if (!iGuest.Running()) return;
    iGuest.Send("quit");
    if (!iGuest.WaitForExit(20000)) {
        std::printf("the guest did not power off by itself; killed\n");
    }
}

bool CMachine::Send(const std::string& aId, const std::string& aGadgetSensor, const std::string& aLine) {
    iSent = Clock::now();
    return iGuest.Send(aId + "\t" + aGadgetSensor + "\t" + aLine);
}

TAnswer CMachine::Collect(const std::string& aId) {
    TAnswer answer;
    const auto start = iSent;
    const auto deadline = start + std::chrono::milliseconds(KLineLimitMs + 30000);
    std::string line;
    std::string* section = nullptr;
    bool inOutput = false;
    while (iGuest.ReadLine(deadline, &line)) {
        std::string bare = line;
        if (!bare.empty() && bare.back() == '\r') bare.pop_back();
        if (bare == "@@begin " + aId) {
            section = &answer.iOutput;
            inOutput = true;
            continue;
        }
        if (bare.rfind("@@status " + aId + " ", 0) == 0) {
            answer.iStatus = std::atoi(bare.c_str() + 10 + aId.size());
            // The guest adds one line feed after the output.
            if (inOutput && !answer.iOutput.empty()) answer.iOutput.pop_back();
            inOutput = false;
            section = nullptr;
            continue;
        }
        if (bare == "@@notes " + aId) {
            section = &answer.iNotes;
            continue;
        }
        if (bare == "@@sensor " + aId) {
            section = &answer.iGuestSensorLog;
            continue;
        }
        if (bare == "@@end " + aId) {
            answer.iComplete = true;
            break;
        }
        if (section != nullptr) *section += line + "\n";
    }
    answer.iSeconds = SecondsSince(start);
    return answer;
}

CMachine* gMachine = nullptr;

class MachineEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        gMachine = new CMachine;
        iStart = Clock::now();
        if (!gMachine->Boot()) std::printf("%s\n", gMachine->Problem().c_str());
    }
    void TearDown() override {
        gMachine->PowerOff();
        std::printf("driver test: %.1f s in all\n", SecondsSince(iStart));
        delete gMachine;
        gMachine = nullptr;
    }

private:
    Clock::time_point iStart;
};

struct TRun {
    const TDriverCase* iCase;
    TDriver iDriver;
};

void PrintTo(const TRun& aRun, std::ostream* aOut) {
    *aOut << aRun.iCase->iName << " on " << DriverInfo(aRun.iDriver).iDevice;
}

std::vector<TRun> AllRuns() {
    std::vector<TRun> runs;
    for (const TDriverCase& c : DriverCases()) {
        for (TDriver driver : {KUart, KFtdi, KAcm}) {
            if ((c.iDrivers & driver) != 0) runs.push_back(TRun{&c, driver});
        }
    }
    return runs;
}

class Drivers : public ::testing::TestWithParam<TRun> {
protected:
    // Waits until the sensor has sent the first bytes of its reply, and a
    // moment more for the guest to take them; then pulls the adapter.
    void UnplugWhenReplyBegins(const std::string& aLog) {
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < deadline) {
            if (ReadWholeFile(aLog).find(" tx ") != std::string::npos) break;
            usleep(1000);
        }
        usleep(50000);
        std::string error;
        iUnplugged = Clock::now();
        if (!gMachine->Guest().Monitor(R"({"execute": "device_del", "arguments": {"id": "ftdi"}})", &error)) {
            ADD_FAILURE() << "the adapter could not be pulled: " << error;
        }
    }

    Clock::time_point iUnplugged{};
};

TEST_P(Drivers, Case) {
    const TDriverCase& c = *GetParam().iCase;
    const TDriverInfo& driver = DriverInfo(GetParam().iDriver);
    ASSERT_TRUE(gMachine->Up()) << gMachine->Problem();

    const std::string id = c.iName + "." + driver.iName;
    std::vector<std::string> sensor = driver.iSensor;
    sensor.insert(sensor.end(), c.iSensor.begin(), c.iSensor.end());
    const bool sensorRuns = (c.iNeeds & KNoSensor) == 0;
    const std::string log = gMachine->Work() + "/" + id + ".log";
    const std::string report = gMachine->Work() + "/" + id + ".report";
    unlink(log.c_str());
    unlink(report.c_str());
    CSensorSim host;
    if (sensorRuns && driver.iHostSensor) {
        std::vector<std::string> args = {"--terminal=" + gMachine->Line(driver.iDriver).FarEnd(), "--log=" + log,
                                         "--report=" + report};
        args.insert(args.end(), sensor.begin(), sensor.end());
        std::string error;
        ASSERT_TRUE(host.Start(args, &error)) << error;
    }
    // The guest starts the gadget's sensor when this is not "-".
    const std::string gadgetSensor = sensorRuns && !driver.iHostSensor ? "+" + Join(sensor) : "-";
    const std::string line = Replace(Replace(c.iLine, "{dev}", driver.iDevice), "{unplug}", driver.iUnplug);

    ASSERT_TRUE(gMachine->Send(id, gadgetSensor, line)) << "the guest's console is gone";
    if ((c.iNeeds & KHostUnplug) != 0 && driver.iDriver == KFtdi) UnplugWhenReplyBegins(log);
    const TAnswer answer = gMachine->Collect(id);
    host.Stop();
    if (!answer.iComplete) gMachine->Lost("the guest stopped answering at " + id);
    if (iUnplugged != Clock::time_point{}) {
        std::printf("%s: the answer came %.0f ms after the adapter was pulled\n", id.c_str(),
                    std::chrono::duration<double, std::milli>(Clock::now() - iUnplugged).count());
    }

    const std::string expected = Replace(c.iOutput, "{dev}", driver.iDevice);
    const std::string output = WithoutBanner(answer.iOutput);
    std::string saw;
    if (!c.iSensorSaw.empty() && sensorRuns && driver.iHostSensor) {
        for (const std::string& entry : SplitLines(ReadWholeFile(report))) {
            if (entry.find(c.iSensorSaw) == std::string::npos) saw += entry + "\n";
        }
        if (ReadWholeFile(report).empty()) saw = "(no command reached the sensor)\n";
    }
    if (!answer.iNotes.empty()) std::printf("%s: %s", id.c_str(), answer.iNotes.c_str());

    const bool good = answer.iComplete && answer.iStatus == c.iStatus && output == expected && saw.empty();
    if (good) return;
    std::ostringstream why;
    why << "case " << id << " (" << answer.iSeconds << " s)\n  guest line: " << line << "\n";
    if (!sensor.empty() || sensorRuns) why << "  sensor options: " << Join(sensor) << "\n";
    if (!answer.iComplete) why << "  the guest gave no complete answer\n";
    why << "  status " << answer.iStatus << ", expected " << c.iStatus << "\n";
    if (output != expected) {
        why << "  printed:\n" << Indented(Visible(output, true)) << "\n  expected:\n" << Indented(Visible(expected, true)) << "\n";
    }
    if (!saw.empty()) why << "  sensor report lines without \"" << c.iSensorSaw << "\":\n" << Indented(saw) << "\n";
    if (!answer.iNotes.empty()) why << "  notes:\n" << Indented(answer.iNotes) << "\n";
    const std::string sensorLog = driver.iHostSensor ? ReadWholeFile(log) : answer.iGuestSensorLog;
    if (sensorRuns) why << "  the sensor's log:\n" << Indented(SensorTimeline(sensorLog, 40)) << "\n";
    if (!answer.iComplete) why << "  console:\n" << Indented(gMachine->ConsoleTail()) << "\n";
    ADD_FAILURE() << why.str();
}

std::string RunName(const ::testing::TestParamInfo<TRun>& aInfo) {
    return aInfo.param.iCase->iName + "_" + DriverInfo(aInfo.param.iDriver).iName;
}

INSTANTIATE_TEST_SUITE_P(Guest, Drivers, ::testing::ValuesIn(AllRuns()), RunName);

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new MachineEnvironment);
    return RUN_ALL_TESTS();
}
