// What the program spends of its own around the board transactions: the monitor tick, the
// connection and setpoint sequences above their fixed pauses, the immediate repaints, the
// transfers per tick, memory over an hour and the accuracy of real-time pauses.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "bench/bench_dialog.h"
#include "bench/figures.h"

namespace {

using bench::HostNowNs;
using bench::BenchDialog;

// The chip holds back a short answer until its latency timer runs out: five reads a tick
// at 4 ms each is the floor no host work can beat.
constexpr double kTickFloorMs = 20.0;

const char* const kStagedSerial = "00012345";  // 10000 or more: staged order
const char* const kSimpleSerial = "00005000";  // below 10000: simple order with correction

const char* OrderName(bool staged) { return staged ? "staged" : "simple"; }

// Paint events delivered to any widget while it is installed.
class PaintCounter : public QObject {
public:
    PaintCounter() { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType())
            ++count;
        return false;
    }
};

int VisibleWidgets(QWidget& top) {
    int n = top.isVisible() ? 1 : 0;
    for (QWidget* w : top.findChildren<QWidget*>())
        if (w->isVisible())
            ++n;
    return n;
}

// The benchmark delivers the ticks itself, on a window that really paints.
// Connects (with the high voltage on when asked), holds the monitor timer so that only the
// benchmark ticks, and makes sure the window is exposed so that painting is real.
bool ConnectForTicks(benchmark::State& state, BenchDialog& s, bool hvOn = false) {
    if (!(hvOn ? s.ConnectWithHighVoltage("30", "100") : s.Connect())) {
        state.SkipWithError("the dialog did not connect");
        return false;
    }
    s.HoldMonitorTimer();
    s.Flush();
    if (!s.Exposed()) {
        state.SkipWithError("the window was never exposed, so nothing would be painted");
        return false;
    }
    return true;
}

void MonitorTick(benchmark::State& state) {
    const bool hvOn = state.range(0) != 0;
    BenchDialog s;
    if (!ConnectForTicks(state, s, hvOn))
        return;
    uint64_t totalNs = 0;
    uint64_t handlerNs = 0;
    uint64_t worstNs = 0;
    for (auto _ : state) {
        s.Clock().Advance(static_cast<uint64_t>(s.Dlg().m_timerPeriodMs) * 1000);
        const uint64_t t0 = HostNowNs();
        s.Dlg().OnTimer(1);
        const uint64_t t1 = HostNowNs();
        s.Flush();
        const uint64_t dt = HostNowNs() - t0;
        state.SetIterationTime(static_cast<double>(dt) * 1e-9);
        totalNs += dt;
        handlerNs += t1 - t0;
        worstNs = std::max(worstNs, dt);
    }
    const double n = static_cast<double>(state.iterations());
    const double meanMs = static_cast<double>(totalNs) / n / 1e6;
    state.counters["handler_us"] = static_cast<double>(handlerNs) / n / 1e3;
    state.counters["worst_us"] = static_cast<double>(worstNs) / 1e3;
    const std::string what = hvOn ? "high voltage on" : "high voltage off";
    bench::PublishAtMost("host time per tick, " + what, meanMs, "ms", 1.0, "<= 1 ms (repaints included)");
}
BENCHMARK(MonitorTick)->ArgName("hv")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMicrosecond);

void MonitorTickRealClock(benchmark::State& state) {
    BenchDialog s;
    if (!ConnectForTicks(state, s))
        return;
    s.UseRealClock(static_cast<unsigned>(state.range(0)));
    uint64_t totalNs = 0;
    for (auto _ : state) {
        const uint64_t t0 = HostNowNs();
        s.Dlg().OnTimer(1);
        s.Flush();
        const uint64_t dt = HostNowNs() - t0;
        state.SetIterationTime(static_cast<double>(dt) * 1e-9);
        totalNs += dt;
    }
    const double meanMs = static_cast<double>(totalNs) / static_cast<double>(state.iterations()) / 1e6;
    state.counters["x_floor"] = meanMs / kTickFloorMs;
    bench::PublishAtMost("tick with 4 ms read latency, real clock", meanMs, "ms", 1.1 * kTickFloorMs,
                         "<= 1.1 x 20 ms floor (22 ms)");
    bench::PublishInfo("tick with 4 ms read latency / 20 ms floor", meanMs / kTickFloorMs, "x", "ratio");
}
BENCHMARK(MonitorTickRealClock)->ArgName("latency_ms")->Arg(4)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);

// Every tick must cost exactly the transfers of its five transactions; anything beyond them
// waits on the chip's latency timer too and so lengthens every tick.
void D2xxCallsPerTick(benchmark::State& state) {
    const bool hvOn = state.range(0) != 0;
    BenchDialog s;
    if (!ConnectForTicks(state, s, hvOn))
        return;
    bool met = true;
    std::string broken;
    double calls = 0;
    for (auto _ : state) {
        ravlen_sim_clear_record();
        s.Tick();
        s.Flush();
        const bench::CallCounts c = bench::CountCalls();
        calls = c.writes + c.reads + c.timeouts + c.others;
        if (met && (c.writes != 5 || c.reads != 5 || c.timeouts != 3 || c.others != 0)) {
            met = false;
            char buf[256];
            std::snprintf(buf, sizeof buf, "tick %lld: %u FT_Write, %u FT_Read, %u FT_SetTimeouts, other: %s",
                          static_cast<long long>(state.iterations()), c.writes, c.reads, c.timeouts,
                          c.otherNames.empty() ? "none" : c.otherNames.c_str());
            broken = buf;
        }
    }
    const std::string what = hvOn ? "high voltage on" : "high voltage off";
    bench::PublishExact("D2XX calls per tick, " + what, calls, "calls", met,
                        "exactly 5 Write + 5 Read + 3 SetTimeouts");
    if (!met)
        state.SkipWithError(("extra or missing transfers: " + broken).c_str());
}
BENCHMARK(D2xxCallsPerTick)->ArgName("hv")->Arg(0)->Arg(1)->Iterations(200);

void Connection(benchmark::State& state) {
    const bool staged = state.range(0) != 0;
    uint64_t hostNs = 0;
    uint64_t pauseMs = 0;
    for (auto _ : state) {
        auto s = std::make_unique<BenchDialog>(staged ? kStagedSerial : kSimpleSerial);
        s->Clock().ClearPauses();
        const uint64_t t0 = HostNowNs();
        s->Dlg().ClickControl(IDC_START);
        s->Flush();
        const uint64_t dt = HostNowNs() - t0;
        state.SetIterationTime(static_cast<double>(dt) * 1e-9);
        hostNs += dt;
        pauseMs += s->PauseTotalMs();
        if (!s->Dlg().m_monitorRunning) {
            state.SkipWithError("the connection did not start the monitor");
            return;
        }
    }
    const double n = static_cast<double>(state.iterations());
    const double hostMs = static_cast<double>(hostNs) / n / 1e6;
    const double budgetMs = static_cast<double>(pauseMs) / n;
    state.counters["pauses_ms"] = budgetMs;
    const std::string order = OrderName(staged);
    bench::PublishInfo("connection pauses, serial " + std::string(staged ? ">= 10000" : "< 10000"), budgetMs, "ms",
                       "recorded by the virtual clock");
    bench::PublishAtMost("connection host work / pauses, serial " + std::string(staged ? ">= 10000" : "< 10000"),
                         100.0 * hostMs / budgetMs, "%", 2.0, "<= 2 % of the pause budget");
    bench::PublishInfo("connection host work, serial " + std::string(staged ? ">= 10000" : "< 10000"), hostMs, "ms",
                       "above the pauses");
}
BENCHMARK(Connection)->ArgName("staged")->Arg(1)->Arg(0)->Iterations(15)->UseManualTime()->Unit(benchmark::kMillisecond);

void SetpointApplication(benchmark::State& state) {
    const bool staged = state.range(0) != 0;
    BenchDialog s(staged ? kStagedSerial : kSimpleSerial);
    if (!s.ConnectWithHighVoltage("25", "40")) {
        state.SkipWithError("the high voltage did not come on");
        return;
    }
    // Alternating between a rise and a fall runs both write orders of the sequence.
    const char* const setpoints[2][2] = {{"35", "80"}, {"25", "40"}};
    uint64_t hostNs = 0;
    uint64_t pauseMs = 0;
    int i = 0;
    for (auto _ : state) {
        s.SetEdits(setpoints[i % 2][0], setpoints[i % 2][1]);
        ++i;
        s.Clock().ClearPauses();
        const uint64_t t0 = HostNowNs();
        s.Dlg().OnSetHighVoltageAndCurrent();
        s.Flush();
        const uint64_t dt = HostNowNs() - t0;
        state.SetIterationTime(static_cast<double>(dt) * 1e-9);
        hostNs += dt;
        pauseMs += s.PauseTotalMs();
    }
    const double n = static_cast<double>(state.iterations());
    const double hostMs = static_cast<double>(hostNs) / n / 1e6;
    const double budgetMs = static_cast<double>(pauseMs) / n;
    state.counters["pauses_ms"] = budgetMs;
    const std::string order = OrderName(staged);
    bench::PublishInfo("setpoint application pauses, " + order + " order", budgetMs, "ms",
                       "mean, recorded by the virtual clock");
    bench::PublishAtMost("setpoint application host work / pauses, " + order + " order", 100.0 * hostMs / budgetMs,
                         "%", 2.0, "<= 2 % of the pause budget");
    bench::PublishInfo("setpoint application host work, " + order + " order", hostMs, "ms", "above the pauses");
}
BENCHMARK(SetpointApplication)->ArgName("staged")->Arg(1)->Arg(0)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

// An immediate repaint of the window: with nothing changed, after one text changed (what a
// status change or a converter reading asks), and with the whole window invalidated.
void RepaintWindow(benchmark::State& state) {
    const int change = static_cast<int>(state.range(0));
    BenchDialog s;
    if (!ConnectForTicks(state, s))
        return;
    uint64_t totalNs = 0;
    int i = 0;
    for (auto _ : state) {
        if (change == 1)
            s.Dlg().SetDlgItemText(IDC_POWER, (++i & 1) ? "1234" : "4321");
        else if (change == 2)
            s.Dlg().update();
        const uint64_t t0 = HostNowNs();
        s.Dlg().RepaintNow();
        const uint64_t dt = HostNowNs() - t0;
        state.SetIterationTime(static_cast<double>(dt) * 1e-9);
        totalNs += dt;
    }
    const double meanMs = static_cast<double>(totalNs) / static_cast<double>(state.iterations()) / 1e6;
    const char* const what[] = {"nothing changed", "one text changed", "whole window invalid"};
    bench::PublishInfo(std::string("RepaintNow, ") + what[change], meanMs, "ms", "part of the tick budget");
    if (change != 0)
        return;

    // Which widgets an immediate repaint paints: with nothing changed, and after one text.
    const int visible = VisibleWidgets(s.Dlg());
    int unchanged = 0;
    int oneChanged = 0;
    {
        PaintCounter counter;
        s.Dlg().RepaintNow();
        unchanged = counter.count;
    }
    {
        s.Dlg().SetDlgItemText(IDC_POWER, "12345");
        PaintCounter counter;
        s.Dlg().RepaintNow();
        oneChanged = counter.count;
    }
    char note[96];
    std::snprintf(note, sizeof note, "of %d visible; %s", visible,
                  unchanged == 0 ? "paints only what changed" : "paints everything");
    bench::PublishInfo("widgets painted by RepaintNow, nothing changed", unchanged, "widgets", note);
    std::snprintf(note, sizeof note, "of %d visible (the text and its parent)", visible);
    bench::PublishInfo("widgets painted by RepaintNow, one text changed", oneChanged, "widgets", note);
    state.counters["painted_unchanged"] = unchanged;
    state.counters["painted_one_change"] = oneChanged;
}
BENCHMARK(RepaintWindow)->ArgName("change")->Arg(0)->Arg(1)->Arg(2)->UseManualTime()->Unit(benchmark::kMicrosecond);

void RepaintControl(benchmark::State& state) {
    BenchDialog s;
    if (!ConnectForTicks(state, s))
        return;
    uint64_t totalNs = 0;
    for (auto _ : state) {
        const uint64_t t0 = HostNowNs();
        s.Dlg().m_powerReadout.RedrawNow();
        const uint64_t dt = HostNowNs() - t0;
        state.SetIterationTime(static_cast<double>(dt) * 1e-9);
        totalNs += dt;
    }
    const double meanMs = static_cast<double>(totalNs) / static_cast<double>(state.iterations()) / 1e6;
    bench::PublishInfo("RedrawNow of one control (power readout)", meanMs, "ms", "part of the tick budget");
}
BENCHMARK(RepaintControl)->UseManualTime()->Unit(benchmark::kMicrosecond);

// One hour connected in virtual time. tools/bench runs it in a process of its own so that
// nothing else the benchmarks did is counted.
void ResidentMemoryHour(benchmark::State& state) {
    double startMb = 0;
    double endMb = 0;
    for (auto _ : state) {
        BenchDialog s;
        if (!ConnectForTicks(state, s))
            return;
        // The simulator keeps a record of every call; it is the board's memory, not the
        // program's, so it is emptied as the hour goes by.
        ravlen_sim_clear_record();
        startMb = static_cast<double>(bench::ResidentKb()) / 1024.0;
        for (int i = 0; i < 3600; ++i) {
            s.Tick();
            s.Flush();
            ravlen_sim_clear_record();
        }
        endMb = static_cast<double>(bench::ResidentKb()) / 1024.0;
    }
    state.counters["rss_mb"] = endMb;
    bench::PublishAtMost("resident memory after 1 h connected (offscreen)", endMb, "MB", 60.0, "<= 60 MB");
    bench::PublishInfo("resident memory growth over that hour", endMb - startMb, "MB", "from just connected");
}
BENCHMARK(ResidentMemoryHour)->Iterations(1)->Unit(benchmark::kMillisecond);

void RealClockPause(benchmark::State& state) {
    const unsigned ms = static_cast<unsigned>(state.range(0));
    BenchDialog s;
    s.UseRealClock(0);
    double worst = 0;
    for (auto _ : state) {
        const uint64_t t0 = HostNowNs();
        platform::Pause(ms);
        const uint64_t dt = HostNowNs() - t0;
        state.SetIterationTime(static_cast<double>(dt) * 1e-9);
        worst = std::max(worst, std::fabs(static_cast<double>(dt) / 1e6 - ms) / ms * 100.0);
    }
    state.counters["worst_error_pct"] = worst;
    bench::PublishAtMost("real-clock Pause(" + std::to_string(ms) + ") worst error", worst, "%", 5.0,
                         "<= 5 % of nominal");
}
BENCHMARK(RealClockPause)->ArgName("ms")->Arg(20)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(RealClockPause)->ArgName("ms")->Arg(200)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(RealClockPause)->ArgName("ms")->Arg(500)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(RealClockPause)->ArgName("ms")->Arg(2000)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
