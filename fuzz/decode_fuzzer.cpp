// Feeds arbitrary bytes to every parser and decoder that meets text or answers from outside:
// the operator's edits, the volts texts read back, listed serial numbers and descriptions,
// converter and sensor answers, and the setpoint code conversion. Beyond the sanitizers'
// own checks it asserts the properties the rest of the program relies on.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "board/streams.h"
#include "control/limit_set.h"
#include "control/text_numbers.h"
#include "device/discovery.h"

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

void Check(bool ok, const char* what) {
    if (!ok) Broken(what);
}

double ReadDouble(const uint8_t* p) {
    double d;
    std::memcpy(&d, p, sizeof d);
    return d;
}

void FuzzText(std::string_view text) {
    const LeadingNumber n = ParseLeadingNumber(text);
    Check(!std::isnan(n.value), "a parsed number is never NaN");
    Check(n.found || n.value == 0.0, "text without a number reads 0");
    Check(ReadLeadingNumber(text) == n.value || (std::isnan(n.value)), "both readers agree");
    const int32_t whole = ReadLeadingInteger(text);
    (void)whole;

    // A listed serial number: the value comes from at most its first eight characters, and
    // nothing past the given length is read (the buffer here is exactly that long).
    std::vector<char> serial(text.begin(), text.end());
    const int value = SerialNumberValue(serial.data(), serial.size());
    Check(value > -10000000 && value < 100000000, "eight characters give at most eight digits");

    const std::string shown = ShownDeviceName(std::string(text));
    Check(shown.size() <= text.size(), "the shown name is never longer than the description");
    Check(text.substr(0, shown.size()) == shown, "the shown name is a prefix of the description");
}

void FuzzAnswers(const uint8_t* data, size_t size) {
    if (size < 2) return;
    const int code = streams::AdcCode(data[0], data[1]);
    Check(code >= 0 && code <= 0x1FFF, "an answer decodes to 13 bits");
    const double volts = streams::AdcVolts(code, 4.096, 4096);
    const std::string text = streams::AdcVoltsText(volts);
    Check(!text.empty() && text.back() == 'V', "volts text ends with V");
    Check(std::fabs(ReadLeadingNumber(text) - volts) < 0.0001, "volts text reads back");

    const double celsius = streams::TempCelsius(data[0], data[1]);
    Check(celsius >= -128.0 && celsius < 128.0, "temperature within the sensor's range");
    Check(!streams::TempText(celsius).empty(), "temperature text");
    Check(streams::TempRawText(data[0], data[1]).size() == 6, "raw text is 0x and four digits");
}

void FuzzCodes(const uint8_t* data, size_t size) {
    if (size < 3 * sizeof(double)) return;
    const double volts = ReadDouble(data);
    const double counts = ReadDouble(data + 8);
    const double vref = ReadDouble(data + 16);
    for (int code : {streams::HvDacCode(volts, counts, vref), streams::UaDacCode(volts, vref, counts),
                     streams::HvDacCode(volts, 4096, 4.096), streams::UaDacCode(volts, 4.096, 4096)}) {
        Check(code >= 0 && code <= streams::kMaxDacCode, "setpoint codes stay within 12 bits");
        const streams::Stream s = streams::DacStream(data[0], data[1], streams::DacChannel::Current, code);
        Check((s.low & streams::kHvEnables) == (data[0] & streams::kHvEnables),
              "a setpoint write leaves the enables as they were");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzText(std::string_view(reinterpret_cast<const char*>(data), size));
    FuzzAnswers(data, size);
    FuzzCodes(data, size);
    return 0;
}
