#include "app/tube_control_app.h"

#include "app/tube_control_dlg.h"

const char* const kInstanceMarkerName = "Global\\{4573F231-88FD-4320-94A4-57ECC4CEE51C}";

// Static initialisation, in this order: the application object, then the marker with the
// error code read right after its creation. A marker that could not be made at all leaves
// the program unprotected against a second copy, but running.
CTubeControlApp theApp;
platform::SingleInstanceMarker instanceMutex;
uint32_t instanceMutexError = [] {
    instanceMutex.Create(kInstanceMarkerName);
    return instanceMutex.LastError();
}();

bool CTubeControlApp::InitInstance() {
    if (instanceMutexError == platform::kErrorAlreadyExists)
        return false;
    {
        CTubeControlDlg dlg;
        dlg.DoModal();
    }
    return false;
}
