// The DCB record to and from a terminal's settings, without the terminal:
// the translation ReadLineSettings and ApplyLineSettings make around their
// system calls.
#ifndef TARNEL_PLATFORM_LINE_SETTINGS_H
#define TARNEL_PLATFORM_LINE_SETTINGS_H

#include <termios.h>

#include <cstdint>

#include "comm.h"

// Raw mode and what the record asks, over the terminal's current settings.
// False when the record asks for what a UART cannot do. A rate without a
// speed code is left for the arbitrary-rate interface (baud.h), which
// *aArbitraryRate then says.
bool TermiosFromDcb(const DCB& aDcb, termios* aSettings, bool* aArbitraryRate);

// The record of the settings, the rate the line runs at and the modem lines
// (TIOCM_* bits) that are raised.
void DcbFromTermios(const termios& aSettings, std::uint32_t aRate, int aModemLines, DCB* aDcb);

// The rate of a classic speed code; 0 when the code has none, as for a rate
// set through the arbitrary-rate interface.
std::uint32_t RateOfSpeedCode(speed_t aCode);

// tcsetattr succeeds when any part of the settings was taken: whether the
// terminal carries the format and rate that were asked.
bool TerminalTookSettings(const termios& aAsked, std::uint32_t aAskedRate, const termios& aApplied,
                          std::uint32_t aAppliedRate);

#endif
