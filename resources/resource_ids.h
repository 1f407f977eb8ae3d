// Identifiers of the program's templates, icons, bitmaps and strings.
#pragma once

enum : int {
    IDD_ABOUTBOX = 100,
    IDD_MAIN = 102,

    IDR_MAINFRAME = 128,      // program icon: radiation trefoil
    IDI_STOP = 137,           // HV OFF
    IDI_XRAY = 138,           // HV ON, X-ray-on symbol
    IDI_EXIT = 139,           // Exit
    IDI_LOGO = 141,           // About box
    IDI_LOCK_OPEN = 142,      // interlock open
    IDI_LOCK_CLOSED = 143,    // interlock restored

    IDB_CURVE_40KV4W = 133,
    IDB_LOGO_LEFT = 134,
    IDB_LOGO_RIGHT = 135,
    IDB_TUBE = 136,
    IDB_TUBE_1UA = 145,
    IDB_CURVE_50KV4W = 146,
    IDB_CURVE_TELVO = 147,
    IDB_CURVE_50KV10W = 148,
    IDB_CURVE_70KV10W = 149,
    IDB_TUBE_TELVO = 150,
    IDB_TUBE_ORRIN = 151,
    IDB_TUBE_SARPA = 152,
};

namespace platform {
struct DialogTemplate;
}

const platform::DialogTemplate& MainDialogTemplate();
const platform::DialogTemplate& AboutDialogTemplate();
