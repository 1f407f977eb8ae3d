#include "control/text_numbers.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// from_chars reports a value out of range without telling which way. The matched text
// does: the position of its first significant digit plus its exponent says whether the
// magnitude is huge or tiny. Hexadecimal mantissas count four bits per digit against a
// binary exponent.
bool Overflows(std::string_view number, bool hex) {
    const char exponentMark = hex ? 'p' : 'e';
    long long exponent = 0;
    size_t mantissaEnd = number.size();
    for (size_t i = 0; i < number.size(); ++i) {
        if (number[i] == exponentMark || number[i] == exponentMark - 32) {
            mantissaEnd = i;
            size_t j = i + 1;
            bool negative = false;
            if (j < number.size() && (number[j] == '+' || number[j] == '-')) negative = number[j++] == '-';
            for (; j < number.size() && IsDigit(number[j]); ++j) {
                if (exponent < 1'000'000'000) exponent = exponent * 10 + (number[j] - '0');
            }
            if (negative) exponent = -exponent;
            break;
        }
    }
    long long firstSignificant = 0;  // digits of the integer part from the first nonzero one
    bool seenPoint = false;
    bool seenNonzero = false;
    long long leadingFractionZeros = 0;
    for (size_t i = 0; i < mantissaEnd; ++i) {
        const char c = number[i];
        if (c == '.') {
            seenPoint = true;
            continue;
        }
        const bool zero = c == '0';
        if (!seenPoint) {
            if (!zero) seenNonzero = true;
            if (seenNonzero) ++firstSignificant;
        } else if (!seenNonzero) {
            if (zero) {
                ++leadingFractionZeros;
            } else {
                seenNonzero = true;
            }
        }
    }
    const long long digitsMagnitude = firstSignificant > 0 ? firstSignificant : -leadingFractionZeros;
    const long long magnitude = hex ? digitsMagnitude * 4 + exponent : digitsMagnitude + exponent;
    return magnitude > 0;
}

}  // namespace

LeadingNumber ParseLeadingNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // from_chars takes a minus sign of its own; a second sign is no number in C.
    if (i >= text.size() || text[i] == '+' || text[i] == '-') return {};

    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    bool hex = false;
    if (last - first >= 3 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X') &&
        (IsHexDigit(first[2]) || (first[2] == '.' && last - first >= 4 && IsHexDigit(first[3])))) {
        hex = true;
        first += 2;
    }

    double value = 0.0;
    const auto [end, error] =
        std::from_chars(first, last, value, hex ? std::chars_format::hex : std::chars_format::general);
    if (error == std::errc::invalid_argument) {
        // "0x" with nothing hexadecimal after it is a zero followed by other text.
        return {};
    }
    if (error == std::errc::result_out_of_range) {
        value = Overflows(std::string_view(first, static_cast<size_t>(end - first)), hex)
                    ? std::numeric_limits<double>::infinity()
                    : 0.0;
    }
    if (std::isnan(value)) return {};
    return {negative ? -value : value, true};
}

double ReadLeadingNumber(std::string_view text) { return ParseLeadingNumber(text).value; }

int32_t ReadLeadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t magnitude = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit) magnitude = kLimit;
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}
