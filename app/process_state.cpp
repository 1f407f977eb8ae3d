// Process-wide state that the dialog's initialisation sets and the monitor cycle keeps.
#include "app/tube_control_dlg.h"

double kvHistory[7] = {};
double uaHistory[7] = {};
bool averageRestart = true;
QColor activeTileBack;
QColor idleTileBack;
QColor activeTileText;
QColor idleTileText;
int32_t restoredCountdown = 3;
bool lastInterlockClosed = false;
bool lastMonitorReadyBit = false;
bool lastHvOnShown = false;
int32_t driversLoaded = 1;
