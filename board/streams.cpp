#include "board/streams.h"

#include <cmath>

#include "app/text_format.h"

namespace streams {

namespace {

void SetLow(std::vector<uint8_t>& out, uint8_t value) {
    out.insert(out.end(), {kSetLowByte, value, kLowDirection});
}

void SetHigh(std::vector<uint8_t>& out, uint8_t value) {
    out.insert(out.end(), {kSetHighByte, value, kHighDirection});
}

// Divisor 3: 12 MHz / ((1 + 3) x 2) = 1.5 MHz.
void Divisor(std::vector<uint8_t>& out) { out.insert(out.end(), {kSetDivisor, 0x03, 0x00}); }

// Truncation toward zero, kept inside the converter's range so that nothing out of range
// is cut down to its low 12 bits (4096 would otherwise go out as 0).
int ClampCode(double product) {
    if (std::isnan(product) || product <= 0.0) return 0;
    if (product >= kMaxDacCode) return kMaxDacCode;
    return static_cast<int>(product);
}

}  // namespace

Stream LineInitStream() {
    Stream s;
    SetHigh(s.bytes, kHighAtEnable);
    SetLow(s.bytes, kLowAtEnable);
    s.low = kLowAtEnable;
    s.high = kHighAtEnable;
    return s;
}

Stream ClockDivisorStream(uint8_t low, uint8_t high) {
    Stream s;
    Divisor(s.bytes);
    s.low = low;
    s.high = high;
    return s;
}

int HvDacCode(double volts, double counts, double vref) { return ClampCode((counts / vref) * volts); }

int UaDacCode(double volts, double vref, double counts) { return ClampCode((volts / vref) * counts); }

Stream DacStream(uint8_t low, uint8_t high, DacChannel channel, int code) {
    const uint8_t selected = static_cast<uint8_t>((low & ~kSetpointSelect) | kClock);
    const uint8_t released = static_cast<uint8_t>(selected | kSetpointSelect);
    const uint16_t c = static_cast<uint16_t>(code & 0x0FFF);
    Stream s;
    SetLow(s.bytes, selected);
    s.bytes.insert(s.bytes.end(), {kBytesOutRising, 0x02, 0x00});
    s.bytes.push_back(channel == DacChannel::HighVoltage ? 0x18 : 0x19);
    s.bytes.push_back(static_cast<uint8_t>(c >> 4));
    s.bytes.push_back(static_cast<uint8_t>((c & 0x0F) << 4));
    SetLow(s.bytes, released);
    s.low = released;
    s.high = high;
    return s;
}

Band HvDacBand(double kvPerVolt, double kvMin, double kvMax, bool trimWrite) {
    Band b{(1.0 / kvPerVolt) * kvMin, (1.0 / kvPerVolt) * kvMax};
    if (trimWrite) {
        b.high *= 1.025;
        b.low *= 0.975;
    }
    return b;
}

Band UaDacBand(double uaPerVolt, double uaMin, double uaMax) {
    return Band{(1.0 / uaPerVolt) * uaMin, (1.0 / uaPerVolt) * uaMax};
}

Stream AdcStream(uint8_t low, uint8_t high, AdcChannel channel) {
    // Clock idle low: the command bits change on the falling edge and the answer is sampled
    // on the rising one.
    const uint8_t selected = static_cast<uint8_t>(low & ~(kClock | kMonitorSelect));
    const uint8_t released = static_cast<uint8_t>(selected | kMonitorSelect);
    // start 1, single-ended 1, channel, MSB first 1
    const uint8_t command = channel == AdcChannel::HighVoltage ? 0xD0 : 0xF0;
    Stream s;
    Divisor(s.bytes);
    SetLow(s.bytes, selected);
    s.bytes.insert(s.bytes.end(), {kBitsOutFalling, 0x03, command});
    SetLow(s.bytes, selected);
    s.bytes.insert(s.bytes.end(), {kBytesInRising, 0x01, 0x00});
    SetLow(s.bytes, released);
    s.low = released;
    s.high = high;
    return s;
}

int AdcCode(uint8_t first, uint8_t second) { return ((first << 8) | second) >> 3; }

double AdcVolts(int code, double vref, double counts) { return (vref / counts) * code; }

std::string AdcVoltsText(double volts) { return Format("%.4fV", volts); }

std::string CodeText(int code) { return Format("0x%.4X", static_cast<unsigned>(code)); }

namespace {

// Both sensor streams open the same way: clock low, select, the clock held low for two more
// commands, then clock high before the first data bit.
void TempPreamble(std::vector<uint8_t>& out, uint8_t clockLow, uint8_t clockHigh, uint8_t selected) {
    Divisor(out);
    SetLow(out, clockLow);
    SetHigh(out, selected);
    SetLow(out, clockLow);
    SetLow(out, clockLow);
    SetLow(out, clockHigh);
}

}  // namespace

Stream TempSetupStream(uint8_t low, uint8_t high) {
    const uint8_t a = static_cast<uint8_t>(low & ~kClock);
    const uint8_t c = static_cast<uint8_t>(a | kClock);
    const uint8_t selected = static_cast<uint8_t>(high | kTempSelect);
    const uint8_t released = static_cast<uint8_t>(high & ~kTempSelect);
    Stream s;
    TempPreamble(s.bytes, a, c, selected);
    // configuration register 0x80, value 0xE8
    s.bytes.insert(s.bytes.end(), {kBytesOutRising, 0x01, 0x00, 0x80, 0xE8});
    SetHigh(s.bytes, released);
    s.low = c;
    s.high = released;
    return s;
}

Stream TempReadStream(uint8_t low, uint8_t high) {
    const uint8_t a = static_cast<uint8_t>(low & ~(kClock | kDataOut));
    const uint8_t c = static_cast<uint8_t>(a | kClock);
    const uint8_t selected = static_cast<uint8_t>(high | kTempSelect);
    const uint8_t released = static_cast<uint8_t>(high & ~kTempSelect);
    Stream s;
    TempPreamble(s.bytes, a, c, selected);
    // temperature register 0x01, then two bytes in
    s.bytes.insert(s.bytes.end(), {kBitsOutRising, 0x07, 0x01});
    SetLow(s.bytes, c);
    s.bytes.insert(s.bytes.end(), {kBytesInRising, 0x01, 0x00});
    SetHigh(s.bytes, released);
    s.low = c;
    s.high = released;
    return s;
}

double TempCelsius(uint8_t lowByte, uint8_t highByte) {
    const int upper = highByte < 0x80 ? highByte : highByte - 256;
    const int raw = upper * 16 + (lowByte >> 4);
    return raw * 0.0625;
}

std::string TempText(double celsius) { return Format("%.0f", celsius); }

std::string TempRawText(uint8_t lowByte, uint8_t highByte) {
    return Format("0x%.2X%.2X", static_cast<unsigned>(highByte), static_cast<unsigned>(lowByte));
}

Stream PortReadStream(uint8_t low, uint8_t high, int portSelector) {
    Stream s;
    s.bytes.push_back(static_cast<uint8_t>(kReadLowByte + portSelector));
    s.low = low;
    s.high = high;
    return s;
}

Stream HvEnableStream(uint8_t low, uint8_t high, bool on) {
    const uint8_t value = static_cast<uint8_t>(on ? (low | kHvEnables) : (low & ~kHvEnables));
    Stream s;
    SetLow(s.bytes, value);
    s.low = value;
    s.high = high;
    return s;
}

}  // namespace streams
