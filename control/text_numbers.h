// Numbers read back from text: the operator's edits and the monitor converter's volts texts.
//
// The rule is the C library's leading-number rule (leading white space, an optional sign,
// then the longest number; text without a number reads as 0), with two deliberate
// differences: a "nan" reads as no number at all, so it can never reach a converter, and the
// decimal point is always '.', whatever locale the toolkit has switched the process to.
#pragma once

#include <cstdint>
#include <string_view>

struct LeadingNumber {
    double value = 0.0;  // 0 when nothing was found; +-infinity for values beyond double
    bool found = false;  // a number was read (false for empty text, letters and "nan")
};

// The leading number of a text: decimal or hexadecimal ("0x1.8p3") floating notation,
// "inf" / "infinity". A magnitude too large for a double gives +-infinity, one too small
// gives a signed zero.
LeadingNumber ParseLeadingNumber(std::string_view text);

// ParseLeadingNumber's value alone: 0 for text without a number.
double ReadLeadingNumber(std::string_view text);

// The leading integer of a text by the C library's integer rule (white space, sign, decimal
// digits), saturated to the range of a 32-bit integer; 0 for text without digits.
int32_t ReadLeadingInteger(std::string_view text);
