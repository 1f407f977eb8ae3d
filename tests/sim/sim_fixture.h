// Shared set-up of the simulator tests: the D2XX entry points as the library
// exports them, a virtual clock, and the board streams built the way the
// program builds them (line values derived from the shadows).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "device/d2xx_api.h"
#include "sim/ravlen_sim.h"

extern "C" {
FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle);
FT_STATUS FT_OpenEx(PVOID arg1, DWORD flags, FT_HANDLE* handle);
FT_STATUS FT_Close(FT_HANDLE handle);
FT_STATUS FT_Read(FT_HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesReturned);
FT_STATUS FT_Write(FT_HANDLE handle, LPVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten);
FT_STATUS FT_ResetDevice(FT_HANDLE handle);
FT_STATUS FT_ListDevices(PVOID arg1, PVOID arg2, DWORD flags);
FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask);
FT_STATUS FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeout, ULONG writeTimeout);
FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes);
FT_STATUS FT_SetBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode);
FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR latency);
FT_STATUS FT_GetLatencyTimer(FT_HANDLE handle, UCHAR* latency);
FT_STATUS FT_EE_Program(FT_HANDLE handle, PFT_PROGRAM_DATA data);
FT_STATUS FT_EE_Read(FT_HANDLE handle, PFT_PROGRAM_DATA data);
}

namespace simtest {

using Bytes = std::vector<uint8_t>;

struct VirtualClock {
    uint64_t nowUs = 1000;
    std::vector<uint64_t> sleeps;

    static uint64_t Now(void* ctx) { return static_cast<VirtualClock*>(ctx)->nowUs; }
    static void Sleep(void* ctx, uint64_t us) {
        auto* c = static_cast<VirtualClock*>(ctx);
        c->sleeps.push_back(us);
        c->nowUs += us;
    }
};

// The program's board transactions, byte for byte.
struct Shadows {
    uint8_t low = 0x9B;
    uint8_t high = 0x00;

    Bytes Enable() {
        low = 0x9B;
        high = 0x00;
        return {0x82, 0x00, 0x08, 0x80, 0x9B, 0x7B};
    }
    static Bytes Divisor() { return {0x86, 0x03, 0x00}; }
    Bytes Setpoint(uint8_t channelByte, unsigned code) {
        uint8_t a = static_cast<uint8_t>((low & 0xEF) | 0x01);
        uint8_t b = static_cast<uint8_t>(a | 0x10);
        low = b;
        return {0x80,
                a,
                0x7B,
                0x10,
                0x02,
                0x00,
                channelByte,
                static_cast<uint8_t>((code >> 4) & 0xFF),
                static_cast<uint8_t>((code & 0x0F) << 4),
                0x80,
                b,
                0x7B};
    }
    Bytes Monitor(int channel) {
        uint8_t a = low & 0xF6;
        uint8_t b = a | 0x08;
        low = b;
        uint8_t command = channel == 0 ? 0xD0 : 0xF0;
        return {0x86, 0x03, 0x00, 0x80, a,    0x7B, 0x13, 0x03, command,
                0x80, a,    0x7B, 0x20, 0x01, 0x00, 0x80, b,    0x7B};
    }
    Bytes SensorSetup() {
        uint8_t a = low & 0xFE, c = a | 0x01, s = high | 0x08, d = high & 0xF7;
        low = c;
        high = d;
        return {0x86, 0x03, 0x00, 0x80, a,    0x7B, 0x82, s,    0x08, 0x80, a,    0x7B, 0x80,
                a,    0x7B, 0x80, c,    0x7B, 0x10, 0x01, 0x00, 0x80, 0xE8, 0x82, d,    0x08};
    }
    Bytes SensorRead() {
        uint8_t a = low & 0xFC, c = a | 0x01, s = high | 0x08, d = high & 0xF7;
        low = c;
        high = d;
        return {0x86, 0x03, 0x00, 0x80, a,    0x7B, 0x82, s, 0x08, 0x80, a,    0x7B, 0x80, a, 0x7B,
                0x80, c,    0x7B, 0x12, 0x07, 0x01, 0x80, c, 0x7B, 0x20, 0x01, 0x00, 0x82, d, 0x08};
    }
    Bytes Enables(bool on) {
        low = on ? static_cast<uint8_t>(low | 0x60) : static_cast<uint8_t>(low & 0x9F);
        return {0x80, low, 0x7B};
    }
};

// A reset simulator in virtual time, noise off, interface A of the default
// controller open.
class SimFixture : public ::testing::Test {
public:
    void SetUp() override {
        ravlen_sim_reset();
        ravlen_sim_set_clock(&VirtualClock::Now, &VirtualClock::Sleep, &clock);
        ravlen_sim_set_noise(0.0, 0.0, 0);
    }
    void TearDown() override { ravlen_sim_reset(); }

    FT_HANDLE OpenA() {
        FT_HANDLE h = nullptr;
        char name[] = "Ravlen Controller A";
        EXPECT_EQ(FT_OpenEx(name, FT_OPEN_BY_DESCRIPTION, &h), FT_OK);
        return h;
    }
    // The program's connection steps up to a running engine.
    FT_HANDLE Connect() {
        FT_HANDLE h = OpenA();
        EXPECT_EQ(FT_SetLatencyTimer(h, 4), FT_OK);
        EXPECT_EQ(FT_SetTimeouts(h, 40, 40), FT_OK);
        EXPECT_EQ(FT_SetBitMode(h, 0x00, 0x02), FT_OK);
        Send(h, lines.Enable());
        Send(h, Shadows::Divisor());
        return h;
    }
    static void Send(FT_HANDLE h, Bytes bytes) {
        DWORD written = 0;
        ASSERT_EQ(FT_Write(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written), FT_OK);
        ASSERT_EQ(written, bytes.size());
    }
    static Bytes Receive(FT_HANDLE h, DWORD wanted) {
        Bytes out(wanted);
        DWORD got = 0;
        EXPECT_EQ(FT_Read(h, out.data(), wanted, &got), FT_OK);
        out.resize(got);
        return out;
    }
    void Run(double seconds) { clock.nowUs += static_cast<uint64_t>(seconds * 1e6); }

    VirtualClock clock;
    Shadows lines;
};

}  // namespace simtest
