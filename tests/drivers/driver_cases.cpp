#include "driver_cases.h"

namespace {

const std::string KJson = R"({ "temperature": 23.4, "humidity": 45.6, "pressure": 1013.2, "name": "AB-1" })";
const std::string KLongName = "Sensor-with-a-name-of-sixty-three-characters-the-most-it-takes.";
const std::string KOpenPortFails = "[banner]\n{dev}: Error: Open Port\nNaN\n";
const std::string KEightNOne = "ispeed=115200 ospeed=115200 bits=8 parity=none stop=1";

}  // namespace

const TDriverInfo& DriverInfo(TDriver aDriver) {
    // An FT232's latency timer holds short replies for 16 ms; QEMU's model
    // of it keeps the timer's value but does not apply it, so the sensor
    // does. The gadget's sensor paces its bytes as a 115200 baud line would.
    static const TDriverInfo KInfo[] = {
        {KUart, "Uart", "/dev/ttyS1", {}, true, ""},
        {KFtdi, "Ftdi", "/dev/ttyUSB0", {"--latency=16"}, true, ""},
        {KAcm, "Acm", "/dev/ttyACM0", {}, false, "unplug-gadget-during-reply "},
    };
    for (const TDriverInfo& info : KInfo) {
        if (info.iDriver == aDriver) return info;
    }
    return KInfo[0];
}

// In the order they run: the unplug comes last, as the device is gone after it.
const std::vector<TDriverCase>& DriverCases() {
    static const std::vector<TDriverCase> KCases = {
        {"JsonManyTimes", KAllDrivers, {},
         "guest-helper repeat 50 tarnel -d {dev} -a -j",
         0, "50 runs, exit 0: " + KJson + "\n", "", KNoNeeds},

        {"PlainForm", KAllDrivers, {},
         "tarnel -d {dev} -a && tarnel -d {dev}",
         0, "23.4\n45.6\n1013.2\nAB-1\n1013.2\n", KEightNOne, KNoNeeds},

        {"NameOfSixtyThreeCharacters", KAllDrivers, {"--name=" + KLongName},
         "tarnel -d {dev} -a -j",
         0, R"({ "temperature": 23.4, "humidity": 45.6, "pressure": 1013.2, "name": ")" + KLongName + "\" }\n",
         "", KNoNeeds},

        // "23", 30 ms, ".4\r\n".
        {"SplitReply", KAllDrivers, {"--split=GT:2:30000"},
         "tarnel -d {dev} -a -j",
         0, KJson + "\n", "", KNoNeeds},

        {"SensorThreeMsLate", KAllDrivers, {"--delay=3000"},
         "tarnel -d {dev} -a -j",
         0, KJson + "\n", "", KNoNeeds},

        {"SensorHundredFiftyMsLate", KAllDrivers, {"--sequential", "--delay=150000"},
         "tarnel -d {dev} -a -j",
         0, KJson + "\n", "", KNoNeeds},

        {"SensorSevenHundredFiftyMsLate", KAllDrivers, {"--sequential", "--delay=750000"},
         "tarnel -d {dev} -a -j",
         0, KJson + "\n", "", KNoNeeds},

        {"TwoRunsAtOnce", KAllDrivers, {},
         "guest-helper together 2 tarnel -d {dev} -a -j",
         0, "2 runs, exit 0: " + KJson + "\n", "", KNoNeeds},

        // Another program holds the port: for 0.3 s the tool waits (a run
        // that does not wait takes some 50 ms; the tool starts a little
        // after the hold)...
        {"PortHeldBriefly", KAllDrivers, {},
         "guest-helper hold {dev} 300 guest-helper within 200 2000 tarnel -d {dev} -a -j",
         0, KJson + "\n", "", KNoNeeds},

        // ...for 2 s it gives up after one. The bound above leaves room for
        // the emulated machine's stalls on a busy host: a run that waited
        // for the port would have printed readings.
        {"PortHeldTooLong", KAllDrivers, {},
         "guest-helper hold {dev} 2000 guest-helper within 1000 1800 tarnel -v -d {dev} -t",
         2, KOpenPortFails, "", KNoNeeds},

        // The termios layer's own tests on the UART; one of them talks to the
        // sensor at 9600 7E2. The host's pseudo-terminal takes the rate from
        // QEMU but carries neither data bits nor parity.
        {"TermiosLayerOnTheUart", KUart, {},
         "TARNEL_TEST_UART={dev} uart_tests >/tmp/uart.out 2>&1"
         " && sed -n 's/^\\[       OK \\] \\([^ ]*\\).*/\\1/p' /tmp/uart.out || { cat /tmp/uart.out; exit 1; }",
         0,
         "Uart.LineSettingsReadBackAsSet\n"
         "Uart.RatesTheUartCannotTakeAreRefused\n"
         "Uart.DtrAndRtsAreRaisedAndCleared\n"
         "Uart.PurgeDiscardsWhatArrived\n"
         "Uart.AnExchangeAtNineThousandSixHundredSevenE2\n",
         "GT ispeed=9600 ospeed=9600", KNoNeeds},

        // A ttyS node without a UART behind it: what the driver says, and the
        // message a missing COM port gives on Windows, by path and by COM name.
        {"NodeWithoutUart", KUart, {},
         "guest-helper probe /dev/ttyS3; tarnel -v -d /dev/ttyS3 -t; tarnel -v -d COM4 -t",
         2,
         "open: ok\ntcgetattr: EIO\nTIOCGSERIAL: type 0\nTIOCMGET: EIO\n"
         "[banner]\n/dev/ttyS3: Error: Open Port\nNaN\n"
         "[banner]\nCOM4: Error: Open Port\nNaN\n",
         "", KNoSensor},

        // "23.4" and then a pause of 3 s before "\r\n", in which the device
        // goes: the adapter pulled by the host, the gadget unloaded. The
        // sensor answers nothing else meanwhile, as real firmware would not.
        {"UnplugDuringReply", KFtdi | KAcm, {"--sequential", "--split=GT:4:3000000"},
         "{unplug}guest-helper within 0 1500 tarnel -d {dev} -a -j",
         2, R"({ "temperature": 23.4, "humidity": null, "pressure": null, "name": "UNKNOWN" })" "\n",
         "", KHostUnplug},

        {"VanishedNode", KFtdi | KAcm, {},
         "tarnel -v -d {dev} -t",
         2, KOpenPortFails, "", KNoSensor},
    };
    return KCases;
}
