#include "device/discovery.h"

#include <cstring>
#include <memory>

#include "app/text_format.h"
#include "app/tube_control_dlg.h"

uint32_t deviceCount = 0;
std::vector<char*> deviceDescriptions;
std::string selectedDescription;

namespace {

// The buffers behind deviceDescriptions; they never outlive one discovery run.
std::vector<std::unique_ptr<char[]>> descriptionBuffers;

void AllocateDescriptions(uint32_t count) {
    descriptionBuffers.clear();
    deviceDescriptions.clear();
    for (uint32_t i = 0; i < count; ++i) {
        descriptionBuffers.push_back(std::make_unique<char[]>(FT_LIST_STRING_BYTES));
        deviceDescriptions.push_back(descriptionBuffers.back().get());
    }
    deviceDescriptions.push_back(nullptr);
}

void ReleaseDescriptions() {
    deviceDescriptions.clear();
    descriptionBuffers.clear();
}

}  // namespace

std::string ShownDeviceName(const std::string& description) {
    if (description.size() > 5) return description.substr(0, description.size() - 2);
    return description;
}

void CTubeControlDlg::DiscoverAndOpen() {
    m_deviceOpen = false;
    if (driversLoaded == 0) {
        platform::MessageBox("No drivers loaded!  Please install Ravlen drivers.", platform::MB_OK);
        return;
    }

    // Close whatever is held, even when nothing was opened: a second run reopens afresh.
    if (m_d2xx.FT_Close == nullptr) {
        FailAndClose(NotValidMessage("FT_Close"));
    } else {
        m_d2xx.FT_Close(m_ftHandle);
    }
    m_ftHandle = nullptr;
    SetStatusText("Port CLOSED");

    if (m_d2xx.FT_ListDevices == nullptr) {
        FailAndClose(NotValidMessage("FT_ListDevices"));
        FailAndClose("List Devices command failed.");
        return;
    }
    if (m_d2xx.FT_ListDevices(&deviceCount, nullptr, FT_LIST_NUMBER_ONLY) != FT_OK) {
        FailAndClose("List Devices command failed.");
        return;
    }
    if (deviceCount == 0) {
        SetStatusText("No devices attached");
        return;
    }

    if (m_d2xx.FT_ListDevices == nullptr) {
        FailAndClose(NotValidMessage("FT_ListDevices"));
        return;
    }
    if (m_d2xx.FT_ListDevices(&deviceCount, nullptr, FT_LIST_NUMBER_ONLY) != FT_OK) return;

    AllocateDescriptions(deviceCount);
    if (m_d2xx.FT_ListDevices == nullptr) {
        FailAndClose(NotValidMessage("FT_ListDevices"));
        FailAndClose("Device selection List Devices command failed.");
        ReleaseDescriptions();
        return;
    }
    if (m_d2xx.FT_ListDevices(deviceDescriptions.data(), &deviceCount,
                              FT_LIST_ALL | FT_OPEN_BY_DESCRIPTION) != FT_OK) {
        FailAndClose("Device selection List Devices command failed.");
        ReleaseDescriptions();
        return;
    }
    // The controller's chip lists two interfaces; a single one is some other device. The
    // buffer check covers a library whose count grew between the two calls.
    if (deviceCount <= 1 || descriptionBuffers.empty()) {
        ReleaseDescriptions();
        return;
    }

    UpdateData(true);
    // A description that fills its buffer has no terminator there.
    const char* first = deviceDescriptions[0];
    selectedDescription.assign(first, strnlen(first, FT_LIST_STRING_BYTES));

    ReadSerialNumber(0);

    const std::string shown = ShownDeviceName(selectedDescription);
    m_statusText = Format("%s selected", shown.c_str());
    UpdateData(false);
    RepaintNow();

    const FT_STATUS status = D2xxOpenEx(selectedDescription.c_str(), FT_OPEN_BY_DESCRIPTION);
    UpdateData(true);
    if (status == FT_OK) {
        m_statusText = Format(m_newGeneration ? "%s Ready..." : "%s ready", shown.c_str());
        UpdateData(false);
        m_deviceOpen = true;
        RepaintNow();
    } else {
        m_statusText = Format("%s failed to open", shown.c_str());
        UpdateData(false);
        RepaintNow();
    }
    ReleaseDescriptions();
}
