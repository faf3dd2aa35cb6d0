// The exchange with the sensor: one command, one read, one result.
#ifndef TARNEL_QUERY_H
#define TARNEL_QUERY_H

#include <cstdint>

#include "reading.h"
#include "results.h"

// Sends the command and reads the reply into the buffer, terminated.
// Returns the number of bytes received (1 to 127), or -1 after a write
// failure, a read failure or no response.
int QuerySensor(const char* aCommand, char (&aReply)[KReplySize]);

// The reading of one quantity; the missing value when the exchange failed.
float QueryReading(TQuantity aQuantity);

// Fills the name, "UNKNOWN" when the exchange failed. Returns whether the
// sensor answered.
bool QueryName(char (&aName)[KNameSize]);

#endif
