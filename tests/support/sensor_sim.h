// The simulated sensor as a background process of a test.
#ifndef TARNEL_TESTS_SENSOR_SIM_H
#define TARNEL_TESTS_SENSOR_SIM_H

#include <sys/types.h>

#include <string>
#include <vector>

class CSensorSim {
public:
    CSensorSim() = default;
    ~CSensorSim();
    CSensorSim(const CSensorSim&) = delete;
    CSensorSim& operator=(const CSensorSim&) = delete;

    // Starts the sensor with these options and waits until it has printed the
    // path of its terminal. False with a reason when it did not come up.
    bool Start(const std::vector<std::string>& aArgs, std::string* aError = nullptr);

    // Asks the sensor to stop and reaps it: its exit status, -1 when it had to
    // be killed or was not running. The log and report are complete afterwards.
    int Stop(int aTimeoutMs = 5000);

    // Waits for a sensor that ends by itself (a hang-up fault): its exit
    // status, or -1 when it is still running after the time.
    int WaitForExit(int aTimeoutMs);

    bool Running();
    const std::string& TerminalPath() const { return iPath; }

    // TARNEL_SENSOR_SIM when set, otherwise the program built with the tests.
    static std::string ProgramPath();

private:
    int Reap(bool aBlock);

    pid_t iPid = -1;
    int iStatus = -1;
    std::string iPath;
};

#endif
