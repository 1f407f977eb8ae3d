// printf-style formatting into a std::string; the program's texts use the C formats.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
inline std::string Format(const char* format, ...) {
    char small[256];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string out;
    if (n < 0) {
        va_end(copy);
        return out;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        out.assign(small, static_cast<size_t>(n));
    } else {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, copy);
        out.resize(static_cast<size_t>(n));
    }
    va_end(copy);
    return out;
}
