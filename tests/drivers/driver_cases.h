// The driver test's cases: what runs in the guest, against which sensor,
// and exactly what it must print.
#ifndef TARNEL_TESTS_DRIVERS_DRIVER_CASES_H
#define TARNEL_TESTS_DRIVERS_DRIVER_CASES_H

#include <string>
#include <vector>

enum TDriver : unsigned {
    KUart = 1u,  // /dev/ttyS1: the 8250 driver on an ISA 16550; the sensor on the host
    KFtdi = 2u,  // /dev/ttyUSB0: ftdi_sio on an FT232 behind xHCI; the sensor on the host
    KAcm = 4u,   // /dev/ttyACM0: cdc_acm on g_serial over dummy_hcd; the sensor in the guest on ttyGS0
    KAllDrivers = KUart | KFtdi | KAcm,
};

enum TNeeds : unsigned {
    KNoNeeds = 0u,
    KHostUnplug = 1u,  // the host pulls the USB adapter once the sensor's reply has begun
    KNoSensor = 2u,    // nothing serves the line
};

struct TDriverCase {
    std::string iName;  // letters only: part of the test's name
    unsigned iDrivers;  // TDriver bits
    // The simulated sensor's options besides its defaults (readings 23.4,
    // 45.6, 1013.2 and AB-1) and the driver's own (TDriverInfo).
    std::vector<std::string> iSensor;
    // Run by the guest's shell. {dev} is the driver's device; {unplug} the
    // command that pulls the USB gadget during a reply (nothing for the
    // adapter, which the host pulls: KHostUnplug).
    std::string iLine;
    int iStatus;
    // Everything the line prints, standard error included; {dev} as above,
    // [banner] for the verbose banner line.
    std::string iOutput;
    // A text every line of the sensor's report must hold: the line settings
    // it saw for each command. Checked where the sensor runs on the host.
    std::string iSensorSaw;
    unsigned iNeeds;
};

struct TDriverInfo {
    TDriver iDriver;
    const char* iName;
    const char* iDevice;
    std::vector<std::string> iSensor;  // options every sensor of this driver gets
    bool iHostSensor;                  // the sensor runs on the host, else in the guest
    const char* iUnplug;               // what {unplug} stands for
};

const std::vector<TDriverCase>& DriverCases();
const TDriverInfo& DriverInfo(TDriver aDriver);

#endif
