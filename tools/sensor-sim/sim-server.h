// The serving loop of the simulated sensor on the master side of its terminal.
#ifndef TARNEL_SENSOR_SIM_SERVER_H
#define TARNEL_SENSOR_SIM_SERVER_H

#include "line-writer.h"
#include "sim-options.h"

#include <signal.h>

struct ServerFiles {
    int iMaster = -1;                // read and written by the sensor
    int iSlave = -1;                 // the sensor's own descriptor of the far end, for its settings
    CLineWriter* iLog = nullptr;     // not open when not wanted
    CLineWriter* iReport = nullptr;  // likewise
};

enum class ServeEnd { Stopped, HangUp, Failed };

// Serves until a stop signal arrives (they are unblocked only while waiting,
// with aWaitMask) or a hang-up fault fires.
ServeEnd Serve(const SimOptions& aOptions, const ServerFiles& aFiles, const sigset_t& aWaitMask);

// Set from the signal handler.
void RequestStop(int aSignal);

#endif
