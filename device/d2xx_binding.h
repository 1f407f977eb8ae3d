// The D2XX driver library, loaded at run time by name, and its fifteen entry points.
#pragma once

#include <string>

#include "device/d2xx_api.h"

// Platform name of the driver library.
#ifdef _WIN32
constexpr const char* kD2xxLibraryName = "Ftd2xx.dll";
#else
constexpr const char* kD2xxLibraryName = "libftd2xx.so";
#endif

struct D2xxBinding {
    PtrToOpen FT_Open = nullptr;
    PtrToOpenEx FT_OpenEx = nullptr;
    PtrToClose FT_Close = nullptr;
    PtrToRead FT_Read = nullptr;
    PtrToWrite FT_Write = nullptr;
    PtrToResetDevice FT_ResetDevice = nullptr;
    PtrToListDevices FT_ListDevices = nullptr;
    PtrToPurge FT_Purge = nullptr;
    PtrToSetTimeouts FT_SetTimeouts = nullptr;
    PtrToGetQueueStatus FT_GetQueueStatus = nullptr;
    PtrToSetBitMode FT_SetBitMode = nullptr;
    PtrToSetLatencyTimer FT_SetLatencyTimer = nullptr;
    PtrToGetLatencyTimer FT_GetLatencyTimer = nullptr;
    PtrToEE_Program FT_EE_Program = nullptr;
    PtrToEE_Read FT_EE_Read = nullptr;
};

// The fifteen names in the order they are resolved, and the message logged when the
// library lacks one.
constexpr int kD2xxEntryCount = 15;
extern const char* const kD2xxEntryNames[kD2xxEntryCount];
extern const char* const kD2xxMissingMessages[kD2xxEntryCount];

// Text used at a call site whose entry point is unresolved: the name + " is not valid!".
std::string NotValidMessage(const char* entryName);
