#include "app/tube_control_dlg.h"

void CTubeControlDlg::HideModelPictures() {
    for (int id : {IDC_PICTURE_CURVE_40KV, IDC_PICTURE_CURVE_50KV, IDC_PICTURE_TUBE, IDC_PICTURE_TUBE_1UA,
                   IDC_PICTURE_TELVO, IDC_PICTURE_ORRIN, IDC_PICTURE_SARPA, IDC_PICTURE_CURVE_TELVO,
                   IDC_PICTURE_CURVE_50KV10W, IDC_PICTURE_CURVE_70KV}) {
        ShowControl(id, false);
    }
}

void CTubeControlDlg::ShowModelPictures(int32_t modelIndex) {
    HideModelPictures();
    // The pictures of one side share a place, so exactly one per side is shown. The labelled
    // tube picture (1093) belongs to no model and stays hidden.
    switch (modelIndex) {
        case 0:  // Sarpa
            ShowControl(IDC_PICTURE_SARPA, true);
            ShowControl(IDC_PICTURE_CURVE_70KV, true);
            break;
        case 1:  // Telvo
            ShowControl(IDC_PICTURE_TELVO, true);
            ShowControl(IDC_PICTURE_CURVE_TELVO, true);
            break;
        case 2:  // Orrin
            ShowControl(IDC_PICTURE_ORRIN, true);
            ShowControl(IDC_PICTURE_CURVE_50KV10W, true);
            break;
        default:  // the generic tube, whose curve follows the serial number's limit set
            ShowControl(m_highSerial ? IDC_PICTURE_CURVE_50KV : IDC_PICTURE_CURVE_40KV, true);
            ShowControl(IDC_PICTURE_TUBE, true);
            break;
    }
}
