// The C control interface of sim/ravlen_sim.h over the simulator instance.
#include <cmath>
#include <string>

#include "sim/ravlen_sim.h"
#include "sim/simulator.h"

using ravlen::sim::Board;
using ravlen::sim::Controller;
using ravlen::sim::Simulator;

namespace {

// Runs f with the lock held and the physics brought up to now.
template <typename F>
auto Locked(F f) {
    Simulator& s = Simulator::Instance();
    std::lock_guard lock(s.mutex);
    s.AdvanceAll();
    return f(s);
}

template <typename F>
void OnController(int index, F f) {
    Locked([&](Simulator& s) {
        if (Controller* c = s.ControllerAt(index))
            f(*c);
    });
}

template <typename T, typename F>
T OnObserved(T none, F f) {
    return Locked([&](Simulator& s) -> T {
        Controller* c = s.Observed();
        return c ? f(*c) : none;
    });
}

}  // namespace

extern "C" {

void ravlen_sim_reset(void) {
    Locked([](Simulator& s) { s.Reset(); });
}

void ravlen_sim_set_controller_count(int n) {
    Locked([n](Simulator& s) { s.SetControllerCount(n); });
}

int ravlen_sim_controller_count(void) {
    return Locked([](Simulator& s) {
        int n = 0;
        while (s.ControllerAt(n))
            ++n;
        return n;
    });
}

void ravlen_sim_set_controller(int index, const char* description, const char* serialDigits) {
    OnController(index, [&](Controller& c) {
        if (description)
            c.description = description;
        if (serialDigits)
            c.SetSerialDigits(serialDigits);
    });
}

void ravlen_sim_set_model_code(int index, int code) {
    OnController(index, [code](Controller& c) { c.board.SetModelCode(code); });
}

void ravlen_sim_set_interlock(int index, int closed) {
    OnController(index, [closed](Controller& c) { c.board.SetInterlockClosed(closed != 0); });
}

void ravlen_sim_set_gain(int index, double gain) {
    OnController(index, [gain](Controller& c) { c.board.SetGain(gain); });
}

void ravlen_sim_set_noise(double kvSigma, double uaSigma, unsigned seed) {
    Locked([&](Simulator& s) {
        s.supply.kvSigma = kvSigma > 0 ? kvSigma : 0.0;
        s.supply.uaSigma = uaSigma > 0 ? uaSigma : 0.0;
        s.supply.noise.Seed(seed);
    });
}

void ravlen_sim_set_single_interface(int index, int single) {
    OnController(index, [single](Controller& c) { c.single = single != 0; });
}

void ravlen_sim_unplug(int index) {
    Locked([index](Simulator& s) { s.Unplug(index); });
}

void ravlen_sim_replug(int index) {
    Locked([index](Simulator& s) { s.Replug(index); });
}

void ravlen_sim_set_supply_fault(int index, int faulted) {
    OnController(index, [faulted](Controller& c) { c.board.SetFault(faulted != 0); });
}

void ravlen_sim_observe(int index) {
    Locked([index](Simulator& s) { s.observed = index; });
}

void ravlen_sim_set_raw_listing(unsigned count, const unsigned char (*desc)[64],
                                const unsigned char (*serial)[64]) {
    Locked([&](Simulator& s) { s.SetRawListing(count, desc, serial); });
}

void ravlen_sim_set_chaos(unsigned seed, unsigned what) {
    Locked([&](Simulator& s) { s.SetChaos(seed, what); });
}

unsigned ravlen_sim_listing_count(void) {
    return Locked([](Simulator& s) { return s.ListingCount(); });
}

void ravlen_sim_fail_call(const char* entry, unsigned nth, uint32_t status) {
    if (!entry)
        return;
    Locked([&](Simulator& s) { s.AddFailRule(entry, nth, status); });
}

void ravlen_sim_short_read(unsigned nth, unsigned bytes) {
    Locked([&](Simulator& s) { s.AddShortRead(nth, bytes); });
}

void ravlen_sim_clear_faults(void) {
    Locked([](Simulator& s) { s.ClearFaults(); });
}

void ravlen_sim_set_monitor_volts(int channel, double volts) {
    if (channel != 0 && channel != 1)
        return;
    OnObserved(0, [&](Controller& c) {
        c.board.SetMonitorOverride(channel, volts);
        return 0;
    });
}

void ravlen_sim_set_temperature(double celsius) {
    OnObserved(0, [&](Controller& c) {
        c.board.SetTemperatureOverride(celsius);
        return 0;
    });
}

void ravlen_sim_set_port1_inputs(int value) {
    OnObserved(0, [&](Controller& c) {
        c.board.SetPort1Override(value < 0 ? -1 : value & 0xFF);
        return 0;
    });
}

void ravlen_sim_set_status_input(int value) {
    OnObserved(0, [&](Controller& c) {
        c.board.SetStatusOverride(value < 0 ? -1 : (value ? 1 : 0));
        return 0;
    });
}

void ravlen_sim_set_clock(uint64_t (*now_us)(void* ctx), void (*sleep_us)(void* ctx, uint64_t us),
                          void* ctx) {
    Locked([&](Simulator& s) { s.SetClock(now_us, sleep_us, ctx); });
}

void ravlen_sim_set_read_latency_ms(unsigned ms) {
    Locked([ms](Simulator& s) { s.readLatencyMs = ms; });
}

size_t ravlen_sim_call_count(void) {
    return Locked([](Simulator& s) { return s.CallCount(); });
}

int ravlen_sim_get_call(size_t i, ravlen_sim_call* out) {
    return Locked([&](Simulator& s) { return s.GetCall(i, out) ? 1 : 0; });
}

void ravlen_sim_clear_record(void) {
    Locked([](Simulator& s) { s.ClearRecord(); });
}

double ravlen_sim_dac_volts(int channel) {
    return OnObserved(0.0, [&](Controller& c) { return c.board.DacVolts(channel & 1); });
}

unsigned ravlen_sim_dac_code(int channel) {
    return OnObserved(0u, [&](Controller& c) { return c.board.DacCode(channel & 1); });
}

double ravlen_sim_output_kv(void) {
    return OnObserved(0.0, [](Controller& c) { return c.board.OutputKv(); });
}

double ravlen_sim_output_ua(void) {
    return OnObserved(0.0, [](Controller& c) { return c.board.OutputUa(); });
}

int ravlen_sim_supply_enabled(void) {
    return OnObserved(0, [](Controller& c) { return c.board.SupplyEnabled() ? 1 : 0; });
}

unsigned char ravlen_sim_low_lines(void) {
    return OnObserved<unsigned char>(0, [](Controller& c) { return c.chipA.LowLevels(); });
}

unsigned char ravlen_sim_high_lines(void) {
    return OnObserved<unsigned char>(0, [](Controller& c) { return c.chipA.HighLevels(); });
}

int ravlen_sim_bit_mode(void) {
    return OnObserved(0, [](Controller& c) { return static_cast<int>(c.chipA.BitMode()); });
}

unsigned ravlen_sim_latency_ms(void) {
    return OnObserved(0u, [](Controller& c) { return static_cast<unsigned>(c.chipA.latencyMs); });
}

unsigned ravlen_sim_protocol_errors(void) {
    return Locked([](Simulator& s) { return s.protocolErrors; });
}

const char* ravlen_sim_last_protocol_error(void) {
    // Copied per thread so the text stays valid while the simulator goes on.
    thread_local std::string copy;
    copy = Locked([](Simulator& s) { return s.lastProtocolError; });
    return copy.c_str();
}

double ravlen_sim_temperature(void) {
    return OnObserved(NAN, [](Controller& c) { return c.board.SensedTemperature(); });
}

unsigned char ravlen_sim_temp_config(void) {
    return OnObserved<unsigned char>(0, [](Controller& c) { return c.board.TempConfig(); });
}

int ravlen_sim_open_handles(void) {
    return Locked([](Simulator& s) { return s.OpenHandles(); });
}

double ravlen_sim_clock_hz(void) {
    return OnObserved(0.0, [](Controller& c) { return c.chipA.ClockHz(); });
}

}  // extern "C"
