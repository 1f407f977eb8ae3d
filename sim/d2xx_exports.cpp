// The D2XX entry points the program resolves. A variant of the library leaves
// some out (RAVLEN_SIM_WITHOUT_<NAME>) so that the missing-entry paths can run.
#include "device/d2xx_api.h"
#include "sim/simulator.h"

#define RAVLEN_D2XX_EXPORT extern "C" __attribute__((visibility("default")))

using ravlen::sim::Simulator;

#ifndef RAVLEN_SIM_WITHOUT_FT_OPEN
RAVLEN_D2XX_EXPORT FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) {
    return Simulator::Instance().Open(deviceNumber, handle);
}
#endif

#ifndef RAVLEN_SIM_WITHOUT_FT_OPENEX
RAVLEN_D2XX_EXPORT FT_STATUS FT_OpenEx(PVOID arg1, DWORD flags, FT_HANDLE* handle) {
    return Simulator::Instance().OpenEx(arg1, flags, handle);
}
#endif

#ifndef RAVLEN_SIM_WITHOUT_FT_CLOSE
RAVLEN_D2XX_EXPORT FT_STATUS FT_Close(FT_HANDLE handle) {
    return Simulator::Instance().Close(handle);
}
#endif

#ifndef RAVLEN_SIM_WITHOUT_FT_READ
RAVLEN_D2XX_EXPORT FT_STATUS FT_Read(FT_HANDLE handle, LPVOID buffer, DWORD bytesToRead,
                                     LPDWORD bytesReturned) {
    return Simulator::Instance().Read(handle, buffer, bytesToRead, bytesReturned);
}
#endif

#ifndef RAVLEN_SIM_WITHOUT_FT_WRITE
RAVLEN_D2XX_EXPORT FT_STATUS FT_Write(FT_HANDLE handle, LPVOID buffer, DWORD bytesToWrite,
                                      LPDWORD bytesWritten) {
    return Simulator::Instance().Write(handle, buffer, bytesToWrite, bytesWritten);
}
#endif

#ifndef RAVLEN_SIM_WITHOUT_FT_RESETDEVICE
RAVLEN_D2XX_EXPORT FT_STATUS FT_ResetDevice(FT_HANDLE handle) {
    return Simulator::Instance().ResetDevice(handle);
}
#endif

#ifndef RAVLEN_SIM_WITHOUT_FT_LISTDEVICES
RAVLEN_D2XX_EXPORT FT_STATUS FT_ListDevices(PVOID arg1, PVOID arg2, DWORD flags) {
    return Simulator::Instance().ListDevices(arg1, arg2, flags);
}
#endif

#ifndef RAVLEN_SIM_WITHOUT_FT_PURGE
RAVLEN_D2XX_EXPORT FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask) {
    return Simulator::Instance().Purge(handle, mask);
}
#endif

#ifndef RAVLEN_SIM_WITHOUT_FT_SETTIMEOUTS
RAVLEN_D2XX_EXPORT FT_STATUS FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeout, ULONG writeTimeout) {
    return Simulator::Instance().SetTimeouts(handle, readTimeout, writeTimeout);
}
#endif

#ifndef RAVLEN_SIM_WITHOUT_FT_GETQUEUESTATUS
RAVLEN_D2XX_EXPORT FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) {
    return Simulator::Instance().GetQueueStatus(handle, rxBytes);
}
#endif

#ifndef RAVLEN_SIM_WITHOUT_FT_SETBITMODE
RAVLEN_D2XX_EXPORT FT_STATUS FT_SetBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode) {
    return Simulator::Instance().SetBitMode(handle, mask, mode);
}
#endif

#ifndef RAVLEN_SIM_WITHOUT_FT_SETLATENCYTIMER
RAVLEN_D2XX_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR latency) {
    return Simulator::Instance().SetLatencyTimer(handle, latency);
}
#endif

#ifndef RAVLEN_SIM_WITHOUT_FT_GETLATENCYTIMER
RAVLEN_D2XX_EXPORT FT_STATUS FT_GetLatencyTimer(FT_HANDLE handle, UCHAR* latency) {
    return Simulator::Instance().GetLatencyTimer(handle, latency);
}
#endif

#ifndef RAVLEN_SIM_WITHOUT_FT_EE_PROGRAM
RAVLEN_D2XX_EXPORT FT_STATUS FT_EE_Program(FT_HANDLE handle, PFT_PROGRAM_DATA data) {
    return Simulator::Instance().EeProgram(handle, data);
}
#endif

#ifndef RAVLEN_SIM_WITHOUT_FT_EE_READ
RAVLEN_D2XX_EXPORT FT_STATUS FT_EE_Read(FT_HANDLE handle, PFT_PROGRAM_DATA data) {
    return Simulator::Instance().EeRead(handle, data);
}
#endif

namespace {

// The board is set up from the environment as soon as the library is loaded,
// so the control socket serves before the program makes its first call.
__attribute__((constructor)) void LoadSimulator() {
    Simulator::Instance();
}

__attribute__((destructor)) void UnloadSimulator() {
    Simulator::Instance().StopServer();
}

}  // namespace
