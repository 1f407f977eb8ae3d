// Tube models and their operating limits.
#pragma once

#include <string>

enum class LimitSet { Kv40W4, Kv50W4, Kv50W10, Kv70W10 };

struct LimitSetValues {
    const char* modelName;
    double defaultKv;
    double kvMin;
    double kvMax;
    double kvPerVolt;
    double defaultUa;
    double uaMin;
    double uaMax;
    double uaPerVolt;
    double converterVref;
    double converterCounts;
    double powerMaxW;
    double powerMarginW;
    double setpointPowerLimitMw;
};

const LimitSetValues& LimitSetData(LimitSet set);

// Model index 0..3; any other value counts as 3.
std::string GetModelName(unsigned modelIndex, bool usbDescription);

// The set that the serial number class selects, if any.
enum class SerialClass { Old, NewGeneration, HighSerial };
SerialClass ClassifySerial(int serialNumber);

// The decimal value of the first eight characters by the C library's rule. Reads at most
// `length` bytes, so an unterminated buffer is safe.
int SerialNumberValue(const char* text, size_t length);
