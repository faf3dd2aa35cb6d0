// State of the front end, shared by its files: the run settings filled from
// the command line and the tool's one serial port.
#ifndef TARNEL_SETTINGS_H
#define TARNEL_SETTINGS_H

#include <cstdint>

#include "serial.h"

extern std::uint8_t gReadTemperature;
extern std::uint8_t gReadHumidity;
extern std::uint8_t gReadPressure;
extern std::uint8_t gReadName;
extern std::uint8_t gJsonFormat;
extern std::int32_t gVerbose;
extern const char* gDevice;

extern std::int32_t gArgCnt;
extern char** gArgList;

extern CSerial gSerial;

#endif
