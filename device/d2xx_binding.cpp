#include "device/d2xx_binding.h"

#include "app/tube_control_dlg.h"

const char* const kD2xxEntryNames[kD2xxEntryCount] = {
    "FT_Write",          "FT_Read",         "FT_Open",           "FT_OpenEx",          "FT_ListDevices",
    "FT_Close",          "FT_ResetDevice",  "FT_Purge",          "FT_SetTimeouts",     "FT_GetQueueStatus",
    "FT_SetBitMode",     "FT_SetLatencyTimer", "FT_GetLatencyTimer", "FT_EE_Program",  "FT_EE_Read",
};

const char* const kD2xxMissingMessages[kD2xxEntryCount] = {
    "Error: Can't Find FT_Write",
    "Error: Can't Find FT_Read",
    "Error: Can't Find FT_Open",
    "Error: Can't Find FT_OpenEx",
    "Error: Can't Find FT_ListDevices",
    "Error: Can't Find FT_Close",
    "Error: Can't Find FT_ResetDevice",
    "Error: Can't Find FT_Purge",
    "Error: Can't Find FT_SetTimeouts",
    "Error: Can't Find FT_GetQueueStatus",
    "Error: Can't Find FT_SetBitMode",
    "Error: Can't Find FT_SetLatencyTimer.  ",
    "Error: Can't Find FT_GetLatencyTimer.  ",
    "Error: Can't Find FT_EE_Program",
    "Error: Can't Find FT_EE_Read",
};

std::string NotValidMessage(const char* entryName) { return std::string(entryName) + " is not valid!"; }

namespace {

template <class Fn>
bool ResolveInto(const platform::SharedLibrary& library, const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(library.Resolve(name));
    return slot != nullptr;
}

}  // namespace

int CTubeControlDlg::LoadD2xxBinding() {
    if (!m_d2xxModule.Load(kD2xxLibraryName))
        return 1;
    D2xxBinding& b = m_d2xx;
    // Each slot is stored as soon as it is resolved; the first missing name stops the load
    // and leaves the later slots empty.
    int missing = -1;
    auto step = [&](int index, auto& slot) {
        if (missing >= 0)
            return;
        if (!ResolveInto(m_d2xxModule, kD2xxEntryNames[index], slot))
            missing = index;
    };
    step(0, b.FT_Write);
    step(1, b.FT_Read);
    step(2, b.FT_Open);
    step(3, b.FT_OpenEx);
    step(4, b.FT_ListDevices);
    step(5, b.FT_Close);
    step(6, b.FT_ResetDevice);
    step(7, b.FT_Purge);
    step(8, b.FT_SetTimeouts);
    step(9, b.FT_GetQueueStatus);
    step(10, b.FT_SetBitMode);
    step(11, b.FT_SetLatencyTimer);
    step(12, b.FT_GetLatencyTimer);
    step(13, b.FT_EE_Program);
    step(14, b.FT_EE_Read);
    if (missing >= 0) {
        FailAndClose(kD2xxMissingMessages[missing]);
        return 1;
    }
    return 0;
}

FT_STATUS CTubeControlDlg::D2xxWrite(void* buffer, DWORD bytesToWrite, DWORD* bytesWritten) {
    if (!m_d2xx.FT_Write) {
        FailAndClose(NotValidMessage("FT_Write"));
        return 1;
    }
    return m_d2xx.FT_Write(m_ftHandle, buffer, bytesToWrite, bytesWritten);
}

FT_STATUS CTubeControlDlg::D2xxOpenEx(const char* description, DWORD flags) {
    if (!m_d2xx.FT_OpenEx) {
        FailAndClose(NotValidMessage("FT_OpenEx"));
        return 1;
    }
    return m_d2xx.FT_OpenEx(const_cast<char*>(description), flags, &m_ftHandle);
}
