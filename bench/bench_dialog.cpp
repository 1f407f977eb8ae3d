#include "bench/bench_dialog.h"

#include <QApplication>
#include <QWindow>
#include <unistd.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>

namespace bench {

long ResidentKb() {
    std::ifstream in("/proc/self/status");
    std::string key;
    while (in >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            in >> kb;
            return kb;
        }
        in.ignore(1 << 16, '\n');
    }
    return 0;
}

BenchDialog::BenchDialog(const char* serialDigits) {
    ::EnsureApplication();
    char tmpl[] = "/tmp/ravlen-bench-XXXXXX";
    if (char* dir = mkdtemp(tmpl))
        m_dir = dir;
    m_previousDir = std::filesystem::current_path().string();
    if (!m_dir.empty())
        std::filesystem::current_path(m_dir);

    platform::InstallClock(&m_clock);
    ravlen_sim_reset();
    ravlen_sim_set_controller(0, nullptr, serialDigits);
    ravlen_sim_set_noise(0, 0, 1);
    ravlen_sim_set_clock(platform::ClockNowUs, platform::ClockSleepUs, nullptr);
    platform::SetMessageBoxResponder([](const platform::MessageBoxRequest& request) {
        return (request.type & 0xF) == platform::MB_YESNO ? platform::IDYES : platform::IDOK;
    });

    m_dlg = std::make_unique<CTubeControlDlg>();
    m_dlg->Create();
    // Until the platform reports the window exposed, every paint request is dropped, and
    // the figures would leave out all painting.
    for (int i = 0; i < 200 && !(m_dlg->windowHandle() && m_dlg->windowHandle()->isExposed()); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!(m_dlg->windowHandle() && m_dlg->windowHandle()->isExposed()))
            usleep(1000);
    }
    QCoreApplication::processEvents();
}

bool BenchDialog::Exposed() const { return m_dlg->windowHandle() && m_dlg->windowHandle()->isExposed(); }

void BenchDialog::Flush() { QCoreApplication::processEvents(); }

void BenchDialog::HoldMonitorTimer() { m_dlg->KillTimer(1); }

BenchDialog::~BenchDialog() {
    m_dlg->Destroy();
    m_dlg.reset();
    ravlen_sim_set_read_latency_ms(0);
    ravlen_sim_set_clock(nullptr, nullptr, nullptr);
    platform::SetMessageBoxResponder(nullptr);
    platform::InstallClock(nullptr);
    std::error_code ec;
    std::filesystem::current_path(m_previousDir, ec);
    if (!m_dir.empty())
        std::filesystem::remove_all(m_dir, ec);
}

bool BenchDialog::Connect() {
    m_dlg->ClickControl(IDC_START);
    for (int i = 0; i < 10 && !m_dlg->IsControlEnabled(IDC_HV_ON); ++i)
        Tick();
    return m_dlg->IsControlEnabled(IDC_HV_ON);
}

bool BenchDialog::ConnectWithHighVoltage(const char* kv, const char* ua) {
    if (!Connect())
        return false;
    SetEdits(kv, ua);
    m_dlg->OnHvOn();
    for (int i = 0; i < 5; ++i)
        Tick();
    return m_dlg->m_hvOn;
}

void BenchDialog::SetEdits(const char* kv, const char* ua) {
    m_dlg->SetDlgItemText(IDC_KV_EDIT, kv);
    m_dlg->SetDlgItemText(IDC_UA_EDIT, ua);
}

void BenchDialog::Tick() {
    m_clock.Advance(static_cast<uint64_t>(m_dlg->m_timerPeriodMs) * 1000);
    m_dlg->OnTimer(1);
}

void BenchDialog::UseRealClock(unsigned latencyMs) {
    ravlen_sim_set_clock(nullptr, nullptr, nullptr);
    platform::InstallClock(nullptr);
    ravlen_sim_set_read_latency_ms(latencyMs);
}

uint64_t BenchDialog::PauseTotalMs() const {
    const auto& p = m_clock.Pauses();
    return std::accumulate(p.begin(), p.end(), uint64_t{0});
}

CallCounts CountCalls() {
    CallCounts counts;
    const size_t n = ravlen_sim_call_count();
    for (size_t i = 0; i < n; ++i) {
        ravlen_sim_call c{};
        if (!ravlen_sim_get_call(i, &c))
            break;
        const char* entry = c.entry ? c.entry : "";
        if (std::strcmp(entry, "FT_Write") == 0) {
            ++counts.writes;
        } else if (std::strcmp(entry, "FT_Read") == 0) {
            ++counts.reads;
        } else if (std::strcmp(entry, "FT_SetTimeouts") == 0) {
            ++counts.timeouts;
        } else {
            ++counts.others;
            if (!counts.otherNames.empty())
                counts.otherNames += ",";
            counts.otherNames += entry;
        }
    }
    return counts;
}

}  // namespace bench
