#include "sim/board.h"

#include <algorithm>
#include <cstdio>

namespace ravlen::sim {

namespace {

// Line assignment of the board (low byte = ADBUS, high byte = ACBUS).
constexpr uint8_t kClock = 0x01;
constexpr uint8_t kDataOut = 0x02;
constexpr uint8_t kDataIn = 0x04;
constexpr uint8_t kMonitorSelect = 0x08;   // active low
constexpr uint8_t kSetpointSelect = 0x10;  // active low
constexpr uint8_t kEnables = 0x60;
constexpr uint8_t kStatus = 0x80;
constexpr uint8_t kInterlock = 0x01;
constexpr uint8_t kSensorSelect = 0x08;  // active high, high byte

// The board pulls both active-low selects up, so an undriven line deselects.
constexpr uint8_t kLowPullUps = kMonitorSelect | kSetpointSelect;

// Supply behaviour: the output slews over the converter's full range in about
// a second, bleeds off when disabled, and the tube draws current only once
// some kilovolts are up.
constexpr double kSlewSecondsFullScale = 1.0;
constexpr double kDecaySeconds = 0.2;
constexpr double kCurrentLagSeconds = 0.05;
constexpr double kEmissionKneeKv = 5.0;
constexpr double kAmbientC = 25.0;
constexpr double kDegreesPerWatt = 2.5;
constexpr double kThermalSeconds = 40.0;
constexpr double kFineStepSeconds = 0.005;
constexpr double kFineSpanSeconds = 3.0;

}  // namespace

void NoiseSource::Seed(unsigned seed) {
    m_state = seed;
    m_haveSpare = false;
}

uint64_t NoiseSource::Next() {
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double NoiseSource::Gaussian() {
    if (m_haveSpare) {
        m_haveSpare = false;
        return m_spare;
    }
    // Box-Muller on two uniforms in (0, 1].
    double u1 = (static_cast<double>(Next() >> 11) + 1.0) / 9007199254740992.0;
    double u2 = static_cast<double>(Next() >> 11) / 9007199254740992.0;
    double r = std::sqrt(-2.0 * std::log(u1));
    m_spare = r * std::sin(2.0 * M_PI * u2);
    m_haveSpare = true;
    return r * std::cos(2.0 * M_PI * u2);
}

// ---- Setpoint converter ------------------------------------------------------

void SetpointConverter::Select(bool asserted, const ErrorSink& error) {
    if (asserted) {
        m_shift = 0;
        m_bits = 0;
        return;
    }
    if (m_bits == 0)
        return;
    if (m_bits != 24) {
        error("setpoint converter: " + std::to_string(m_bits) + "-bit frame ignored");
        return;
    }
    Apply(m_shift, error);
}

void SetpointConverter::Edge(bool rising, bool dataIn) {
    if (rising)
        return;
    m_shift = ((m_shift << 1) | (dataIn ? 1u : 0u)) & 0xFFFFFFu;
    ++m_bits;
}

void SetpointConverter::PowerDown() {
    m_shift = 0;
    m_bits = 0;
    m_input = {};
    m_output = {};
}

void SetpointConverter::Apply(uint32_t frame, const ErrorSink& error) {
    unsigned command = (frame >> 19) & 7u;
    unsigned address = (frame >> 16) & 7u;
    auto code = static_cast<uint16_t>((frame >> 4) & 0xFFFu);
    bool channelA = address == 0 || address == 7;
    bool channelB = address == 1 || address == 7;
    if (!channelA && !channelB) {
        char text[80];
        std::snprintf(text, sizeof text, "setpoint converter: frame 0x%06X names no channel",
                      static_cast<unsigned>(frame));
        error(text);
        return;
    }
    switch (command) {
        case 0:  // write input register
        case 2:  // write input register, update all outputs
        case 3:  // write and update
            if (channelA)
                m_input[0] = code;
            if (channelB)
                m_input[1] = code;
            if (command == 2) {
                m_output = m_input;
            } else if (command == 3) {
                if (channelA)
                    m_output[0] = code;
                if (channelB)
                    m_output[1] = code;
            }
            break;
        case 1:  // update output from input register
            if (channelA)
                m_output[0] = m_input[0];
            if (channelB)
                m_output[1] = m_input[1];
            break;
        default: {
            char text[80];
            std::snprintf(text, sizeof text, "setpoint converter: command %u in frame 0x%06X not supported",
                          command, static_cast<unsigned>(frame));
            error(text);
        }
    }
}

// ---- Monitor converter -------------------------------------------------------

void MonitorConverter::Select(bool asserted) {
    m_phase = asserted ? Phase::WaitStart : Phase::Idle;
    m_command = 0;
    m_commandBits = 0;
    m_outIndex = 0;
    m_dataOut = false;
}

void MonitorConverter::Edge(bool rising, bool dataIn, const Sampler& sample) {
    switch (m_phase) {
        case Phase::Idle:
            return;
        case Phase::WaitStart:
            // Leading zeros before the start bit are ignored.
            if (rising && dataIn)
                m_phase = Phase::Command;
            return;
        case Phase::Command:
            if (!rising)
                return;
            m_command = (m_command << 1) | (dataIn ? 1u : 0u);
            if (++m_commandBits == 3) {
                bool singleEnded = m_command & 4u;
                bool odd = m_command & 2u;
                m_msbFirstOnly = m_command & 1u;
                m_code = sample(singleEnded, odd);
                m_phase = Phase::Output;
                m_outIndex = 0;
            }
            return;
        case Phase::Output:
            if (rising)
                return;
            // Null bit, B11..B0, then (LSB-first request) B1..B11, then zeros.
            if (m_outIndex == 0) {
                m_dataOut = false;
            } else if (m_outIndex <= 12) {
                m_dataOut = (m_code >> (12 - m_outIndex)) & 1u;
            } else if (!m_msbFirstOnly && m_outIndex <= 23) {
                m_dataOut = (m_code >> (m_outIndex - 12)) & 1u;
            } else {
                m_dataOut = false;
            }
            ++m_outIndex;
            return;
    }
}

// ---- Temperature sensor -------------------------------------------------------

void TemperatureSensor::Select(bool asserted, bool clockLevel) {
    m_selected = asserted;
    m_idleClock = clockLevel;
    m_bits = 0;
    m_address = 0;
    m_bitInByte = 0;
    m_dataOut = false;
}

void TemperatureSensor::PowerDown() {
    Select(false, false);
    m_config = 0x01;
}

uint8_t TemperatureSensor::ReadRegister(uint8_t reg) const {
    switch (reg) {
        case 0x00:
            return m_config;
        case 0x01:
            return static_cast<uint8_t>(m_latched & 0xFF);
        case 0x02:
            return static_cast<uint8_t>(m_latched >> 8);
        default:
            return 0x00;
    }
}

void TemperatureSensor::Edge(bool rising, bool dataIn, const Reader& read) {
    if (!m_selected || rising != m_idleClock)
        return;
    if (m_bits < 8) {
        m_address = static_cast<uint8_t>((m_address << 1) | (dataIn ? 1 : 0));
        if (++m_bits == 8) {
            m_write = m_address & 0x80;
            m_register = m_address & 0x7F;
            m_bitInByte = 0;
            m_byte = 0;
            if (!m_write) {
                // One conversion result for both bytes, so they always agree.
                int16_t value = read();
                int resolution = 8 + std::min((m_config >> 1) & 7, 4);
                int dropped = 12 - resolution;
                value = static_cast<int16_t>(value & ~((1 << dropped) - 1));
                m_latched = static_cast<uint16_t>(static_cast<uint16_t>(value) << 4);
            }
        }
        return;
    }
    if (m_write) {
        m_byte = static_cast<uint8_t>((m_byte << 1) | (dataIn ? 1 : 0));
        if (++m_bitInByte == 8) {
            if (m_register == 0x00)
                m_config = m_byte;
            ++m_register;
            m_bitInByte = 0;
            m_byte = 0;
        }
        return;
    }
    if (m_bitInByte == 0)
        m_byte = ReadRegister(m_register);
    m_dataOut = (m_byte >> (7 - m_bitInByte)) & 1;
    if (++m_bitInByte == 8) {
        m_bitInByte = 0;
        ++m_register;
    }
}

// ---- Board -----------------------------------------------------------------

Board::Board(SupplySettings& settings, ErrorSink error) : m_settings(settings), m_error(std::move(error)) {}

double Board::Gain() const {
    if (m_gainSet)
        return m_gain;
    return m_serialValue < 10000 ? 0.98 : 1.0;
}

double Board::KvPerVolt() const {
    switch (m_modelCode) {
        case 0:
            return 20.0;
        case 1:
        case 2:
            return 12.5;
        default:
            return m_serialValue >= 1118880 ? 12.5 : 10.0;
    }
}

bool Board::SupplyEnabled() const {
    return m_enableLines && m_interlockClosed && Ready();
}

uint8_t Board::LowInputs() const {
    uint8_t v = kLowPullUps;
    bool data = (m_adcSelected && m_adc.DataOut()) || (m_sensorSelected && m_sensor.DataOut());
    if (data)
        v |= kDataIn;
    bool status = m_statusOverride >= 0 ? m_statusOverride != 0 : Ready();
    if (status)
        v |= kStatus;
    return v;
}

uint8_t Board::HighInputs() const {
    if (m_port1Override >= 0)
        return static_cast<uint8_t>(m_port1Override & ~kSensorSelect);
    uint8_t v = static_cast<uint8_t>((m_modelCode & 3) << 1);
    if (m_interlockClosed)
        v |= kInterlock;
    return v;
}

void Board::Drive(uint8_t low, uint8_t high) {
    bool clock = low & kClock;
    bool dataOut = low & kDataOut;
    bool dacSel = !(low & kSetpointSelect);
    bool adcSel = !(low & kMonitorSelect);
    bool sensorSel = high & kSensorSelect;

    if (clock != m_clock) {
        // An edge reaches the devices selected on both sides of it.
        bool toDac = m_dacSelected && dacSel;
        bool toAdc = m_adcSelected && adcSel;
        bool toSensor = m_sensorSelected && sensorSel;
        if (toDac + toAdc + toSensor > 1 && !m_contentionReported) {
            std::string names;
            if (toDac)
                names += "setpoint converter";
            if (toAdc)
                names += std::string(names.empty() ? "" : ", ") + "monitor converter";
            if (toSensor)
                names += std::string(names.empty() ? "" : ", ") + "temperature sensor";
            m_error("bits clocked with several devices selected: " + names);
            m_contentionReported = true;
        }
        if (toDac)
            m_dac.Edge(clock, dataOut);
        if (toAdc)
            m_adc.Edge(clock, dataOut, [this](bool s, bool o) { return Sample(s, o); });
        if (toSensor)
            m_sensor.Edge(clock, dataOut, [this] { return SensorReading(); });
    }
    if (dacSel != m_dacSelected) {
        m_dac.Select(dacSel, m_error);
        m_contentionReported = false;
    }
    if (adcSel != m_adcSelected) {
        m_adc.Select(adcSel);
        m_contentionReported = false;
    }
    if (sensorSel != m_sensorSelected) {
        m_sensor.Select(sensorSel, clock);
        m_contentionReported = false;
    }
    m_clock = clock;
    m_dacSelected = dacSel;
    m_adcSelected = adcSel;
    m_sensorSelected = sensorSel;
    m_enableLines = (low & kEnables) == kEnables;
}

void Board::PowerDown() {
    m_dac.PowerDown();
    m_adc.Select(false);
    m_sensor.PowerDown();
    m_clock = false;
    m_dacSelected = m_adcSelected = m_sensorSelected = false;
    m_contentionReported = false;
    m_enableLines = false;
}

double Board::MonitorVolts(int channel) {
    if (!std::isnan(m_monitorOverride[channel]))
        return m_monitorOverride[channel];
    double volts = channel == 0 ? m_kv / KvPerVolt() : m_ua / UaPerVolt();
    // Ripple exists only while the supply runs.
    if (SupplyEnabled()) {
        double sigma = channel == 0 ? m_settings.kvSigma / KvPerVolt() : m_settings.uaSigma / UaPerVolt();
        if (sigma > 0.0)
            volts += sigma * m_settings.noise.Gaussian();
    }
    return volts;
}

uint16_t Board::Sample(bool singleEnded, bool odd) {
    double volts;
    if (singleEnded) {
        volts = MonitorVolts(odd ? 1 : 0);
    } else {
        double v0 = MonitorVolts(0);
        double v1 = MonitorVolts(1);
        volts = odd ? v1 - v0 : v0 - v1;
    }
    // 4.096 V reference over 4096 counts: one count per millivolt.
    double code = std::round(volts * 1000.0);
    return static_cast<uint16_t>(std::clamp(code, 0.0, 4095.0));
}

double Board::SensedTemperature() const {
    return std::isnan(m_temperatureOverride) ? m_temperature : m_temperatureOverride;
}

int16_t Board::SensorReading() const {
    double sixteenths = std::floor(SensedTemperature() * 16.0);
    return static_cast<int16_t>(std::clamp(sixteenths, -2048.0, 2047.0));
}

void Board::Advance(uint64_t nowUs) {
    if (nowUs <= m_lastUs)
        return;
    double left = static_cast<double>(nowUs - m_lastUs) * 1e-6;
    m_lastUs = nowUs;
    // Fine steps while the ramps can still be moving, then one step for the
    // remainder, in which only the slow thermal lag matters.
    double done = 0.0;
    while (left > 0.0) {
        double h = done < kFineSpanSeconds ? std::min(left, kFineStepSeconds) : left;
        Step(h);
        left -= h;
        done += h;
    }
}

void Board::Step(double h) {
    bool on = SupplyEnabled();
    if (on) {
        double target = DacVolts(0) * KvPerVolt() * Gain();
        double maxStep = 4.096 * KvPerVolt() / kSlewSecondsFullScale * h;
        m_kv += std::clamp(target - m_kv, -maxStep, maxStep);
    } else {
        m_kv *= std::exp(-h / kDecaySeconds);
        if (m_kv < 1e-4)
            m_kv = 0.0;
    }
    double uaTarget = 0.0;
    if (on)
        uaTarget = DacVolts(1) * UaPerVolt() * Gain() * std::clamp(m_kv / kEmissionKneeKv, 0.0, 1.0);
    m_ua += (uaTarget - m_ua) * (1.0 - std::exp(-h / kCurrentLagSeconds));
    if (uaTarget == 0.0 && m_ua < 1e-4)
        m_ua = 0.0;
    double watts = m_kv * m_ua / 1000.0;
    double target = kAmbientC + kDegreesPerWatt * watts;
    m_temperature += (target - m_temperature) * (1.0 - std::exp(-h / kThermalSeconds));
}

}  // namespace ravlen::sim
