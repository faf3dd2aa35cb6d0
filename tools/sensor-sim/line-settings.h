// The terminal's line settings, as the simulated sensor sets and reports them.
#ifndef TARNEL_SENSOR_SIM_LINE_SETTINGS_H
#define TARNEL_SENSOR_SIM_LINE_SETTINGS_H

#include "sim-options.h"

#include <chrono>
#include <string>

bool IsSupportedStartSpeed(unsigned long aSpeed);

// Applies the start settings through a descriptor of the terminal itself.
bool ApplyStartLine(int aFd, const StartLine& aLine, std::string& aError);

// One line of "key=value" fields without line end: speeds as numbers,
// character format, and the flags that make up raw mode and flow control.
std::string DescribeLine(int aFd);

// The rates in bits per second; false when the terminal cannot tell them.
bool ReadLineSpeeds(int aFd, unsigned long& aInput, unsigned long& aOutput);

// How long one byte takes on the line with the terminal's settings: a start
// bit, the data bits, the parity bit and the stop bits at the output rate.
// Zero when the terminal tells no rate.
std::chrono::nanoseconds FrameTime(int aFd);

#endif
