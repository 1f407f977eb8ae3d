// The controller board behind interface A: the three serial-bus devices, the
// high-voltage supply and the input lines. The bus devices are fed pin levels
// and decode the bits from the clock edges, as the real parts do.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>

namespace ravlen::sim {

using ErrorSink = std::function<void(const std::string&)>;

// Gaussian numbers from a seeded generator of our own, so that a seed gives
// the same sequence with every standard library.
class NoiseSource {
public:
    void Seed(unsigned seed);
    double Gaussian();

private:
    uint64_t Next();
    uint64_t m_state = 0;
    bool m_haveSpare = false;
    double m_spare = 0.0;
};

// Two-channel 12-bit setpoint converter: 24-bit frames taken on the falling
// clock edge; byte 1 = command (bits 5..3) and channel (bits 2..0), then the
// code left-justified in 16 bits. The frame takes effect when the select rises.
class SetpointConverter {
public:
    void Select(bool asserted, const ErrorSink& error);
    void Edge(bool rising, bool dataIn);
    void PowerDown();
    uint16_t Output(int channel) const { return m_output[channel & 1]; }

private:
    void Apply(uint32_t frame, const ErrorSink& error);
    uint32_t m_shift = 0;
    int m_bits = 0;
    std::array<uint16_t, 2> m_input{};
    std::array<uint16_t, 2> m_output{};
};

// Two-channel 12-bit monitor converter: after the select falls it waits for a
// start bit, takes single-ended, channel and MSB-first bits on rising edges,
// samples, then shifts out a null bit and the result on falling edges.
class MonitorConverter {
public:
    using Sampler = std::function<uint16_t(bool singleEnded, bool odd)>;
    void Select(bool asserted);
    void Edge(bool rising, bool dataIn, const Sampler& sample);
    bool DataOut() const { return m_dataOut; }

private:
    enum class Phase { Idle, WaitStart, Command, Output };
    Phase m_phase = Phase::Idle;
    unsigned m_command = 0;
    int m_commandBits = 0;
    int m_outIndex = 0;
    uint16_t m_code = 0;
    bool m_msbFirstOnly = true;
    bool m_dataOut = false;
};

// Temperature sensor with an active-high select. It takes the clock level at
// select as the idle level and acts on the edges that return to it: an address
// byte (bit 7 = write), then data bytes, auto-incrementing the register.
class TemperatureSensor {
public:
    using Reader = std::function<int16_t()>;  // 12-bit two's complement, 1/16 degree
    void Select(bool asserted, bool clockLevel);
    void Edge(bool rising, bool dataIn, const Reader& read);
    void PowerDown();
    bool DataOut() const { return m_dataOut; }
    uint8_t Config() const { return m_config; }

private:
    uint8_t ReadRegister(uint8_t reg) const;
    bool m_selected = false;
    bool m_idleClock = false;
    int m_bits = 0;
    uint8_t m_address = 0;
    bool m_write = false;
    uint8_t m_register = 0;
    uint8_t m_byte = 0;
    int m_bitInByte = 0;
    uint8_t m_config = 0x01;
    uint16_t m_latched = 0;
    bool m_dataOut = false;
};

struct SupplySettings {
    double kvSigma = 0.0;
    double uaSigma = 0.0;
    NoiseSource noise;
};

class Board {
public:
    Board(SupplySettings& settings, ErrorSink error);

    // Physics on demand: brings voltage, current and temperature up to now.
    void Advance(uint64_t nowUs);
    void RestartTime(uint64_t nowUs) { m_lastUs = nowUs; }

    // Pin side of the chip: levels of the lines the chip does not drive, and
    // the new levels after every change.
    uint8_t LowInputs() const;
    uint8_t HighInputs() const;
    void Drive(uint8_t low, uint8_t high);

    // Loss of USB power: the converters and the sensor forget their state.
    void PowerDown();
    void SetPowered(bool powered) { m_powered = powered; }

    // Configuration.
    void SetModelCode(int code) { m_modelCode = code & 3; }
    int ModelCode() const { return m_modelCode; }
    void SetInterlockClosed(bool closed) { m_interlockClosed = closed; }
    bool InterlockClosed() const { return m_interlockClosed; }
    void SetSerialValue(long value) { m_serialValue = value; }
    void SetGain(double gain) {
        m_gain = gain;
        m_gainSet = true;
    }
    double Gain() const;
    void SetFault(bool fault) { m_fault = fault; }
    bool Fault() const { return m_fault; }
    void SetMonitorOverride(int channel, double volts) { m_monitorOverride[channel & 1] = volts; }
    void SetTemperatureOverride(double celsius) { m_temperatureOverride = celsius; }
    void SetPort1Override(int value) { m_port1Override = value; }
    void SetStatusOverride(int value) { m_statusOverride = value; }

    // Tube scales the model-code lines name, as the program's limit sets use them.
    double KvPerVolt() const;
    double UaPerVolt() const { return 50.0; }

    // Truth.
    double DacVolts(int channel) const { return DacCode(channel) * (4.096 / 4096.0); }
    unsigned DacCode(int channel) const { return m_dac.Output(channel); }
    double OutputKv() const { return m_kv; }
    double OutputUa() const { return m_ua; }
    double BoardTemperature() const { return m_temperature; }
    double SensedTemperature() const;
    uint8_t TempConfig() const { return m_sensor.Config(); }
    bool SupplyEnabled() const;
    bool EnableLinesHigh() const { return m_enableLines; }
    bool Ready() const { return m_powered && !m_fault; }

private:
    void Step(double seconds);
    uint16_t Sample(bool singleEnded, bool odd);
    double MonitorVolts(int channel);
    int16_t SensorReading() const;

    SupplySettings& m_settings;
    ErrorSink m_error;
    SetpointConverter m_dac;
    MonitorConverter m_adc;
    TemperatureSensor m_sensor;

    // Last pin levels seen.
    bool m_clock = false;
    bool m_dacSelected = false;
    bool m_adcSelected = false;
    bool m_sensorSelected = false;
    bool m_contentionReported = false;
    bool m_enableLines = false;

    int m_modelCode = 3;
    bool m_interlockClosed = true;
    long m_serialValue = 0;
    double m_gain = 1.0;
    bool m_gainSet = false;
    bool m_fault = false;
    bool m_powered = true;
    double m_monitorOverride[2] = {NAN, NAN};
    double m_temperatureOverride = NAN;
    int m_port1Override = -1;
    int m_statusOverride = -1;

    uint64_t m_lastUs = 0;
    double m_kv = 0.0;
    double m_ua = 0.0;
    double m_temperature = 25.0;
};

}  // namespace ravlen::sim
