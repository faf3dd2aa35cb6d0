// The one place that knows how the tool under test finds its ports and how it
// names itself. TARNEL_PORT_MAP chooses:
//   env              COMn is the device in TARNEL_COMn (the native build; default)
//   wine-dosdevices  COMn is the link $WINEPREFIX/dosdevices/comn (not done yet)
#ifndef TARNEL_E2E_PORT_MAP_H
#define TARNEL_E2E_PORT_MAP_H

#include "process.h"

#include <string>

class CPortMap {
public:
    explicit CPortMap(const std::string& aToolPath);

    // False, with the reason, when this way of mapping cannot be used here.
    bool Supported(std::string& aWhy) const;
    // Whether TARNEL_PORT_MAP names a way at all (a typo must not skip the suite).
    bool Known() const { return iMode != EMode::Unknown; }

    // Leaves out every mapping inherited from the environment, so that a run
    // reaches only the devices a test chose.
    void Isolate(ProcessOptions& aOptions) const;

    // From now on COMn of runs with these options reaches the device.
    bool Map(int aNumber, const std::string& aDevice, ProcessOptions& aOptions, std::string& aError);

    // Takes back what Map did outside the options.
    void Clear();

    // The program name in the help's usage line.
    std::string UsageName() const;

private:
    enum class EMode { Env, WineDosdevices, Unknown };
    EMode iMode;
    std::string iModeText;
    std::string iToolPath;
};

#endif
