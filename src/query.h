// The exchange with the sensor: one command, its reply, one result.
#ifndef TARNEL_QUERY_H
#define TARNEL_QUERY_H

#include <cstdint>

#include "reading.h"
#include "results.h"

// Sends the command and reads the reply into the buffer, terminated: the
// bytes up to a line feed, 127 bytes, or what came within 1000 ms of the
// command. Returns the number of bytes received (1 to 127), or -1 after a
// write failure, a read failure or no response. When the reply before was
// cut short of its line feed, first waits out its rest (up to its line feed
// or 1000 ms) and drops it.
int QuerySensor(const char* aCommand, char (&aReply)[KReplySize]);

// Whether the last reply ended short of its line feed, its rest still to
// come; the next QuerySensor waits that out before its command.
extern bool gReplyCut;

// The reading of one quantity; the missing value when the exchange failed.
float QueryReading(TQuantity aQuantity);

// Fills the name, "UNKNOWN" when the exchange failed. Returns whether the
// sensor answered.
bool QueryName(char (&aName)[KNameSize]);

#endif
