#include "control/limit_set.h"

#include "app/text_format.h"
#include "app/tube_control_dlg.h"

namespace {

// The minima sit just below the whole number, so that a whole-number entry equal to the
// minimum passes the clamp unchanged.
constexpr LimitSetValues kSets[] = {
    {"Generic X-Ray Tube", 15, 9.999999, 40, 10, 15, 4.999999, 200, 50, 4.096, 4096, 4.0, 0.05, 3950},
    {"Generic X-Ray Tube", 15, 9.999999, 50, 12.5, 15, 4.999999, 200, 50, 4.096, 4096, 4.0, 0.05, 3950},
    {"Generic X-Ray Tube", 15, 9.999999, 50, 12.5, 15, 4.999999, 200, 50, 4.096, 4096, 10.0, 0.05, 9950},
    {"Generic X-Ray Tube", 45, 34.999999, 70, 20, 15, 9.999999, 143, 50, 4.096, 4096, 10.0, 0.05, 9950},
};

struct ModelEntry {
    const char* shortName;
    const char* usbDescription;
};

constexpr ModelEntry kModels[] = {
    {"Sarpa", "Sarpa USB Controller"},
    {"Telvo", "Telvo USB Controller"},
    {"Orrin", "Orrin USB Controller"},
    {"Ravlen", "Ravlen Controller"},
};

}  // namespace

const LimitSetValues& LimitSetData(LimitSet set) { return kSets[static_cast<int>(set)]; }

std::string GetModelName(unsigned modelIndex, bool usbDescription) {
    const ModelEntry& m = kModels[modelIndex > 3 ? 3 : modelIndex];
    return usbDescription ? m.usbDescription : m.shortName;
}

void CTubeControlDlg::ApplyLimitSet(LimitSet set) {
    const LimitSetValues& v = LimitSetData(set);
    m_modelName = v.modelName;
    m_defaultKv = v.defaultKv;
    SetDlgItemText(IDC_KV_EDIT, Format("%.0f", m_defaultKv));
    m_kvMin = v.kvMin;
    SetDlgItemText(IDC_KV_MIN, Format("%.0f", m_kvMin));
    m_kvMax = v.kvMax;
    SetDlgItemText(IDC_KV_MAX, Format("%.0f", m_kvMax));
    m_kvPerVolt = v.kvPerVolt;
    m_defaultUa = v.defaultUa;
    SetDlgItemText(IDC_UA_EDIT, Format("%.0f", m_defaultUa));
    m_uaMin = v.uaMin;
    SetDlgItemText(IDC_UA_MIN, Format("%.0f", m_uaMin));
    m_uaMax = v.uaMax;
    SetDlgItemText(IDC_UA_MAX, Format("%.0f", m_uaMax));
    m_uaPerVolt = v.uaPerVolt;
    m_kvSetpoint = 0;
    m_converterVref = v.converterVref;
    m_uaSetpoint = 0;
    m_converterCounts = v.converterCounts;
    m_powerMaxW = v.powerMaxW;
    m_powerMarginW = v.powerMarginW;
    m_setpointPowerLimitMw = v.setpointPowerLimitMw;
}
