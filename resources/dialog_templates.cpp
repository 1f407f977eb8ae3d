#include "platform/dialog_template.h"
#include "resources/resource_ids.h"

using namespace platform;

namespace {
constexpr uint32_t kTab = TabStop;
}

const DialogTemplate& MainDialogTemplate() {
    using K = ControlKind;
    static const DialogTemplate tmpl{
        IDD_MAIN,
        "Corvane Ravlen Controller",
        "MS Sans Serif",
        8,
        301,
        238,
        {
            {1, K::OwnerDrawButton, "E&xit", 177, 124, 106, 28, kTab, true, 0},
            {1002, K::Edit, "", 7, 217, 285, 14, ReadOnly | AlignCenter | AutoHScroll | Border | kTab, true, 0},
            {1042, K::DefPushButton, "Start Corvane Ravlen", 82, 7, 134, 17, StyleNone, true, 0},
            {1054, K::GroupBox, "Set/Monitor High Voltage and Current", 7, 64, 285, 92, StyleNone, true, 0},
            {1043, K::PushButton, "Set High Voltage", 75, 211, 60, 9, MultiLine | kTab, false, 0},
            {1044, K::Text, "", 107, 125, 46, 13, AlignLeft | Sunken, true, 0},
            {1045, K::Text, "", 107, 140, 46, 13, AlignLeft | Sunken, true, 0},
            {1050, K::Text, "High Voltage Monitor", 21, 125, 71, 13, AlignRight, true, 0},
            {1051, K::Text, "Current Monitor", 19, 140, 73, 13, AlignRight, true, 0},
            {1046, K::PushButton, "Set Current", 174, 211, 46, 9, MultiLine | kTab, false, 0},
            {1047, K::Edit, "", 107, 88, 45, 14, AutoHScroll | Border | kTab, true, 0},
            {1048, K::Edit, "", 107, 105, 45, 14, AutoHScroll | Border | kTab, true, 0},
            {1049, K::PushButton, "Start Monitor", 69, 24, 48, 11, kTab, false, 0},
            {1052, K::Text, "kV", 202, 88, 20, 13, AlignLeft, true, 0},
            {1053, K::Text, "uA", 202, 105, 20, 13, AlignLeft, true, 0},
            {1055, K::PushButton, "Stop Monitor", 179, 24, 47, 11, kTab, false, 0},
            {1056, K::OwnerDrawButton, "HV OFF", 218, 72, 65, 22, kTab, true, 0},
            {1057, K::OwnerDrawButton, "HV ON", 217, 99, 66, 22, kTab, true, 0},
            {1058, K::Text, "MIN", 158, 75, 22, 13, AlignCenter, true, 0},
            {1059, K::Text, "MAX", 177, 75, 22, 13, AlignCenter, true, 0},
            {1060, K::Text, "0", 158, 88, 22, 13, AlignCenter, true, 0},
            {1061, K::Text, "40", 177, 88, 22, 13, AlignCenter, true, 0},
            {1062, K::Text, "0", 158, 105, 22, 13, AlignCenter, true, 0},
            {1063, K::Text, "50", 177, 105, 22, 13, AlignCenter, true, 0},
            {1041, K::Text, "Static", 7, 48, 120, 14, AlignLeft | Border, false, 0},
            {1066, K::Text, "Static", 7, 35, 111, 27, AlignCenter | Border, false, 0},
            {1068, K::Text, "Static", 7, 36, 120, 27, AlignCenter | Border, false, 0},
            {1092, K::Picture, "", 7, 156, 127, 57, StyleNone, true, IDB_TUBE},
            {1093, K::Picture, "", 7, 156, 127, 57, StyleNone, false, IDB_TUBE_1UA},
            {1098, K::Picture, "", 7, 156, 127, 57, StyleNone, false, IDB_TUBE_TELVO},
            {1099, K::Picture, "", 7, 156, 127, 57, StyleNone, false, IDB_TUBE_ORRIN},
            {1100, K::Picture, "", 7, 156, 127, 57, StyleNone, false, IDB_TUBE_SARPA},
            {1094, K::Picture, "", 177, 156, 115, 57, Transparent, true, IDB_CURVE_40KV4W},
            {1095, K::Picture, "", 177, 157, 115, 57, Transparent, false, IDB_CURVE_50KV4W},
            {1101, K::Picture, "", 177, 157, 115, 57, Transparent, false, IDB_CURVE_TELVO},
            {1102, K::Picture, "", 177, 157, 115, 57, Transparent, false, IDB_CURVE_50KV10W},
            {1103, K::Picture, "", 177, 157, 115, 57, Transparent, false, IDB_CURVE_70KV10W},
            {-1, K::Picture, "", 7, 7, 61, 28, StyleNone, true, IDB_LOGO_LEFT},
            {-1, K::Picture, "", 227, 7, 65, 28, StyleNone, true, IDB_LOGO_RIGHT},
            {1069, K::PushButton, "Set High Voltage and Current", 29, 90, 71, 28, MultiLine | kTab, true, 0},
            {1071, K::Text, "", 143, 177, 27, 9, AlignCenter, true, 0},
            {-1, K::Text, "Board\rTemp.", 137, 159, 38, 16, AlignCenter | Transparent, true, 0},
            {1073, K::Text, "", 82, 25, 134, 9, AlignCenter, true, 0},
            {1074, K::Text, "", 7, 79, 27, 10, AlignLeft | ClientEdge, false, 0},
            {1075, K::Text, "", 7, 93, 27, 10, AlignLeft | ClientEdge, false, 0},
            {1076, K::Text, "", 7, 105, 27, 10, AlignLeft | ClientEdge, false, 0},
            {1077, K::Text, "", 7, 119, 27, 10, AlignLeft | ClientEdge, false, 0},
            {1078, K::Text, "", 7, 132, 27, 10, AlignLeft | ClientEdge, false, 0},
            {1079, K::Text, "", 142, 203, 28, 12, AlignCenter | VCenter | StaticEdge | Transparent, true, 0},
            {1080, K::Icon, "", 136, 36, 21, 20, Transparent, false, IDI_XRAY},
            {1081, K::Text, "X-RAY ON", 129, 56, 40, 8, AlignCenter | Transparent, false, 0},
            {1082, K::Text, "Static", 30, 73, 124, 13, AlignCenter | VCenter | Border | ClientEdge, true, 0},
            {-1, K::Text, "Power mW", 136, 193, 39, 10, AlignCenter | Transparent, true, 0},
            {1083, K::Icon, "", 261, 41, 20, 20, CenterImage | Transparent, false, IDI_LOCK_OPEN},
            {1084, K::Icon, "", 261, 41, 20, 20, CenterImage | Transparent, false, IDI_LOCK_CLOSED},
            {1085, K::Text, "INTERLOCK OPEN", 170, 41, 86, 9, AlignCenter | Transparent, false, 0},
            {1086, K::Text, "INTERLOCK RESTORED", 170, 53, 86, 9, AlignCenter | Transparent, false, 0},
            {1097, K::Text, "", 152, 126, 25, 10, AlignLeft | ClientEdge, false, 0},
        }};
    return tmpl;
}

const DialogTemplate& AboutDialogTemplate() {
    using K = ControlKind;
    static const DialogTemplate tmpl{
        IDD_ABOUTBOX,
        "About Corvane Ravlen",
        "MS Sans Serif",
        8,
        202,
        79,
        {
            {-1, K::Icon, "", 7, 10, 21, 20, StyleNone, true, IDR_MAINFRAME},
            {1, K::DefPushButton, "OK", 76, 57, 50, 14, kTab, true, 0},
            {-1, K::Icon, "", 7, 32, 21, 20, StyleNone, true, IDI_LOGO},
            {1084, K::Text, "Corvane Ravlen Version 1.0", 35, 11, 148, 8, AlignLeft | NoPrefix, true, 0},
            {1085, K::Text, "Copyright (C) Corvane", 35, 31, 130, 8, AlignLeft, true, 0},
            {1086, K::Text, "Static", 75, 41, 45, 8, AlignLeft, true, 0},
            {1087, K::Text, "Static", 120, 41, 55, 8, AlignLeft, true, 0},
            {-1, K::Text, "Build Date:", 35, 41, 40, 8, AlignLeft, true, 0},
            {1088, K::Text, "Version ", 35, 21, 31, 8, AlignLeft | NoPrefix, true, 0},
            {1089, K::Text, "Version ", 70, 21, 52, 8, AlignLeft | NoPrefix, true, 0},
        }};
    return tmpl;
}
