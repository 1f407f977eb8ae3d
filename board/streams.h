// Byte streams of the board transactions and the decoding of their answers.
//
// Everything here is pure: a builder takes the line shadows (and the value to send) and
// returns the whole command stream together with the shadow values that the stream leaves
// on the lines; a decoder takes the answer bytes. The dialog operations compose these with
// the bus and the controls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace streams {

// MPSSE opcodes used on this board.
constexpr uint8_t kSetLowByte = 0x80;
constexpr uint8_t kReadLowByte = 0x81;
constexpr uint8_t kSetHighByte = 0x82;
constexpr uint8_t kReadHighByte = 0x83;
constexpr uint8_t kSetDivisor = 0x86;
constexpr uint8_t kBytesOutRising = 0x10;
constexpr uint8_t kBitsOutRising = 0x12;
constexpr uint8_t kBitsOutFalling = 0x13;
constexpr uint8_t kBytesInRising = 0x20;

// Line directions, always sent with the line values.
constexpr uint8_t kLowDirection = 0x7B;
constexpr uint8_t kHighDirection = 0x08;

// Line values the engine starts from.
constexpr uint8_t kLowAtEnable = 0x9B;
constexpr uint8_t kHighAtEnable = 0x00;

// Low-byte lines.
constexpr uint8_t kClock = 0x01;
constexpr uint8_t kDataOut = 0x02;
constexpr uint8_t kMonitorSelect = 0x08;   // active low
constexpr uint8_t kSetpointSelect = 0x10;  // active low
constexpr uint8_t kHvEnables = 0x60;
// High-byte line.
constexpr uint8_t kTempSelect = 0x08;  // active high

// Converter codes are 12 bits.
constexpr int kMaxDacCode = 4095;

struct Stream {
    std::vector<uint8_t> bytes;
    uint8_t low = 0;   // low-byte shadow after the stream
    uint8_t high = 0;  // high-byte shadow after the stream
};

// Engine.
Stream LineInitStream();
Stream ClockDivisorStream(uint8_t low, uint8_t high);

// Setpoint converter.
enum class DacChannel { HighVoltage, Current };
// Codes are clamped into 0..4095: a value past either end of the converter's range goes out
// as that end, never wrapped into 12 bits. Not-a-number gives 0. The two channels keep
// their own evaluation order, which differs by one count for some inputs.
int HvDacCode(double volts, double counts, double vref);
int UaDacCode(double volts, double vref, double counts);
Stream DacStream(uint8_t low, uint8_t high, DacChannel channel, int code);

// The band of converter volts a setpoint must lie in while the high voltage is on.
struct Band {
    double low;
    double high;
    bool Contains(double volts) const { return !(volts > high || volts < low); }
};
Band HvDacBand(double kvPerVolt, double kvMin, double kvMax, bool trimWrite);
Band UaDacBand(double uaPerVolt, double uaMin, double uaMax);

// Monitor converter.
enum class AdcChannel { HighVoltage, Current };
constexpr int kAdcAnswerBytes = 2;
Stream AdcStream(uint8_t low, uint8_t high, AdcChannel channel);
// The 16 bits after the command, shifted past the three trailing bits; the leading null bit
// stays in as bit 12.
int AdcCode(uint8_t first, uint8_t second);
double AdcVolts(int code, double vref, double counts);
std::string AdcVoltsText(double volts);  // "%.4fV"

// "0x%.4X", the converter code shown in the hidden code texts.
std::string CodeText(int code);

// Temperature sensor.
constexpr int kTempAnswerBytes = 2;
Stream TempSetupStream(uint8_t low, uint8_t high);
Stream TempReadStream(uint8_t low, uint8_t high);
// The sensor answers the low byte first; the top 12 bits count sixteenths of a degree.
double TempCelsius(uint8_t lowByte, uint8_t highByte);
std::string TempText(double celsius);                       // "%.0f"
std::string TempRawText(uint8_t lowByte, uint8_t highByte);  // "0x%.2X%.2X", high byte first

// Ports: selector 0 reads the low byte, 2 the high byte.
Stream PortReadStream(uint8_t low, uint8_t high, int portSelector);

// The high-voltage enable lines, both set or both cleared, nothing else changed.
Stream HvEnableStream(uint8_t low, uint8_t high, bool on);

}  // namespace streams
