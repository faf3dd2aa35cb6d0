// The one place that knows how the tool under test finds its ports, how it
// names itself, and where its platform really behaves differently.
// TARNEL_PORT_MAP chooses:
//   env              COMn is the device in TARNEL_COMn (the native build; default)
//   wine-dosdevices  COMn is the link $WINEPREFIX/dosdevices/comn, for
//                    tarnel.exe under Wine
#ifndef TARNEL_E2E_PORT_MAP_H
#define TARNEL_E2E_PORT_MAP_H

#include "process.h"

#include <cstddef>
#include <set>
#include <string>

class CPortMap {
public:
    explicit CPortMap(const std::string& aToolPath);
    ~CPortMap() { Clear(); }
    CPortMap(const CPortMap&) = delete;
    CPortMap& operator=(const CPortMap&) = delete;

    // False, with the reason, when this way of mapping cannot be used here.
    bool Supported(std::string& aWhy) const;
    // Whether TARNEL_PORT_MAP names a way at all (a typo must not skip the suite).
    bool Known() const { return iMode != EMode::Unknown; }

    // Leaves out every mapping inherited from the environment or left in the
    // Wine prefix, so that a run reaches only the devices a test chose.
    void Isolate(ProcessOptions& aOptions);

    // From now on COMn of runs with these options reaches the device.
    bool Map(int aNumber, const std::string& aDevice, ProcessOptions& aOptions, std::string& aError);

    // Takes back what Map did outside the options.
    void Clear();

    // The program name in the help's usage line.
    std::string UsageName() const;

    // A run's output as the tests compare it: the Windows runtime writes
    // standard output and error in text mode, every "\n" as "\r\n".
    void Normalize(ProcessResult& aRun) const;

    // The platform differences, each with the reason it exists.

    // Whether a port that another process holds is refused. Linux: the
    // advisory lock of the termios layer. Wine does not enforce share mode 0
    // on serial devices, so there is nothing to test.
    bool RefusesHeldPorts(std::string& aWhy) const;

    // Whether a device text that begins with "/" is the device's path. The
    // termios layer opens it as typed; Windows has no such texts, and there
    // a text without "COM" names COM1.
    bool OpensDevicePaths(std::string& aWhy) const;

    // Whether writing to a pipe that nobody reads ends the program by a
    // signal (SIGPIPE, on POSIX) rather than by a failed write.
    bool BrokenPipeIsASignal() const;

    // The verbose message of a read from a device whose far end has hung up.
    // The termios layer reports the hang-up as a failed read; Wine's ReadFile
    // succeeds with 0 bytes after 16 to 44 ms, which the tool takes for
    // silence. The write of the next quantity fails on both.
    std::string HungUpReadError() const;

    // The longest single argument a run can be given. Linux: 128 KiB per
    // argument. Windows: 32,767 characters for the whole command line, of
    // which the Windows path of the program and the other arguments of a
    // test take well under 1,000.
    std::size_t LongestArgument() const;

private:
    enum class EMode { Env, WineDosdevices, Unknown };
    std::string LinkPath(int aNumber) const;

    EMode iMode;
    std::string iModeText;
    std::string iToolPath;
    std::string iDosDevices;  // $WINEPREFIX/dosdevices
    std::set<int> iLinked;    // ports with a link made by Map
};

#endif
