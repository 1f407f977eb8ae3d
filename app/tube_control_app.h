// The application object: one copy per machine, one modal run of the main dialog.
#pragma once

#include <cstdint>

#include "platform/system.h"

class CTubeControlApp {
public:
    CTubeControlApp() = default;
    // Runs the program; always false, so that the caller ends the process afterwards.
    bool InitInstance();
};

extern CTubeControlApp theApp;
extern platform::SingleInstanceMarker instanceMutex;
extern uint32_t instanceMutexError;

// The machine-wide marker of a running copy.
extern const char* const kInstanceMarkerName;
