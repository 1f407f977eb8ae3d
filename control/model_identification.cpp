#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/tube_control_dlg.h"
#include "control/limit_set.h"

namespace {

constexpr size_t kSerialDigits = 8;

// The first eight characters of a listed serial number. The library need not terminate
// the text within its buffer, so nothing past `length` is read.
std::string SerialPrefix(const char* text, size_t length) {
    const size_t n = strnlen(text, length);
    return std::string(text, n < kSerialDigits ? n : kSerialDigits);
}

}  // namespace

int SerialNumberValue(const char* text, size_t length) {
    const std::string prefix = SerialPrefix(text, length);
    // Eight characters cannot overflow a 32-bit value.
    return static_cast<int>(std::strtol(prefix.c_str(), nullptr, 10));
}

SerialClass ClassifySerial(int serialNumber) {
    if (serialNumber >= 1118880) return SerialClass::HighSerial;
    if (serialNumber >= 10000) return SerialClass::NewGeneration;
    return SerialClass::Old;
}

void CTubeControlDlg::ReadSerialNumber(int deviceIndex) {
    char serial[FT_LIST_STRING_BYTES] = {};
    FT_STATUS status = 1;
    if (m_d2xx.FT_ListDevices == nullptr) {
        FailAndClose(NotValidMessage("FT_ListDevices"));
    } else {
        // Listing by index takes the index itself in the pointer argument.
        status = m_d2xx.FT_ListDevices(reinterpret_cast<PVOID>(static_cast<intptr_t>(deviceIndex)),
                                       serial, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER);
    }
    if (status != FT_OK) {
        m_serialNumber = 0;
        m_newGeneration = false;
        SetDlgItemText(IDC_SERIAL_TEXT, "");
        return;
    }

    const std::string prefix = SerialPrefix(serial, sizeof serial);
    m_serialNumber = SerialNumberValue(serial, sizeof serial);
    m_highSerial = false;
    switch (ClassifySerial(m_serialNumber)) {
    case SerialClass::Old:
        m_newGeneration = false;
        break;
    case SerialClass::NewGeneration:
        m_newGeneration = true;
        ApplyLimitSet(LimitSet::Kv40W4);
        break;
    case SerialClass::HighSerial:
        m_newGeneration = true;
        m_highSerial = true;
        ApplyLimitSet(LimitSet::Kv50W4);
        break;
    }
    SetDlgItemText(IDC_SERIAL_TEXT, "Ravlen Serial Number " + prefix);
}

void CTubeControlDlg::DetectModelFromPorts() {
    unsigned char port1 = 0;
    ReadPort(port1, 2);
    m_modelIndex = (port1 >> 1) & 3;
    switch (m_modelIndex) {
    case 0:
        ApplyLimitSet(LimitSet::Kv70W10);
        break;
    case 1:
        ApplyLimitSet(LimitSet::Kv50W4);
        break;
    case 2:
        ApplyLimitSet(LimitSet::Kv50W10);
        break;
    default:
        // Model 3: the set the serial number chose (or the start-up set) stays in force.
        break;
    }
    SetDlgItemText(IDC_MODEL_NAME, GetModelName(static_cast<unsigned>(m_modelIndex), false));
}
