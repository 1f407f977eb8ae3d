// The byte streams are the contract with the board: each is checked byte for byte.
#include "board/streams.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using Bytes = std::vector<uint8_t>;
using namespace streams;

TEST(StreamsEngine, LineInitialisationAndDivisor) {
    const Stream init = LineInitStream();
    EXPECT_EQ(init.bytes, (Bytes{0x82, 0x00, 0x08, 0x80, 0x9B, 0x7B}));
    EXPECT_EQ(init.low, 0x9B);
    EXPECT_EQ(init.high, 0x00);

    const Stream div = ClockDivisorStream(0x5A, 0x08);
    EXPECT_EQ(div.bytes, (Bytes{0x86, 0x03, 0x00}));
    EXPECT_EQ(div.low, 0x5A);
    EXPECT_EQ(div.high, 0x08);
}

TEST(StreamsSetpoint, CodesOfBothChannels) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double volts;
        int hv;
        int ua;
    } cases[] = {
        {0.0, 0, 0},
        {4.0, 4000, 4000},
        {0.7, 700, 699},  // the channels' own evaluation orders differ by one count here
        {4.0955, 4095, 4095},
        {4.096, 4095, 4095},  // one past full scale must not wrap to 0
        {5.0, 4095, 4095},
        {1e300, 4095, 4095},
        {-0.5, 0, 0},
        {nan, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volts);
        EXPECT_EQ(HvDacCode(c.volts, 4096, 4.096), c.hv);
        EXPECT_EQ(UaDacCode(c.volts, 4.096, 4096), c.ua);
    }
}

TEST(StreamsSetpoint, FramesOfBothChannels) {
    struct Case {
        DacChannel channel;
        int code;
        uint8_t b0, b1, b2;
    } cases[] = {
        {DacChannel::HighVoltage, 0, 0x18, 0x00, 0x00},
        {DacChannel::Current, 0, 0x19, 0x00, 0x00},
        {DacChannel::HighVoltage, 4000, 0x18, 0xFA, 0x00},
        {DacChannel::Current, 699, 0x19, 0x2B, 0xB0},
        {DacChannel::HighVoltage, 4095, 0x18, 0xFF, 0xF0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const Stream s = DacStream(0x9B, 0x08, c.channel, c.code);
        EXPECT_EQ(s.bytes, (Bytes{0x80, 0x8B, 0x7B, 0x10, 0x02, 0x00, c.b0, c.b1, c.b2, 0x80, 0x9B, 0x7B}));
        EXPECT_EQ(s.low, 0x9B);
        EXPECT_EQ(s.high, 0x08);
    }
    EXPECT_EQ(CodeText(4000), "0x0FA0");
}

TEST(StreamsSetpoint, OnlyClockAndSelectChange) {
    for (int shadow : {0x00, 0xFF, 0x6A, 0x9B, 0x60}) {
        SCOPED_TRACE(shadow);
        const Stream s = DacStream(static_cast<uint8_t>(shadow), 0, DacChannel::HighVoltage, 1);
        const uint8_t selected = s.bytes[1];
        EXPECT_EQ(selected, (shadow & ~0x10 & 0xFF) | 0x01);  // selected, clock high
        EXPECT_EQ(s.low, shadow | 0x11);                       // released, clock high
        EXPECT_EQ(s.bytes[10], s.low);
    }
}

TEST(StreamsSetpoint, BandBoundsAndTrimWidening) {
    const Band hv = HvDacBand(10, 9.999999, 40, false);
    const Band hvTrim = HvDacBand(10, 9.999999, 40, true);
    const Band ua = UaDacBand(50, 4.999999, 200);
    struct Case {
        const Band& band;
        double volts;
        bool inside;
    } cases[] = {
        {hv, 4.0, true},          {hv, hv.low, true},      {hv, 4.0001, false},
        {hv, 0.0, false},         {hvTrim, 4.09, true},    {hvTrim, 0.975, true},
        {hvTrim, 4.11, false},    {ua, 4.0, true},         {ua, 4.01, false},
        {ua, ua.low, true},       {ua, 0.0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volts);
        EXPECT_EQ(c.band.Contains(c.volts), c.inside);
    }
}

TEST(StreamsMonitor, StreamsDifferOnlyInChannelBit) {
    const Stream hv = AdcStream(0x9B, 0x00, AdcChannel::HighVoltage);
    const Stream ua = AdcStream(0x9B, 0x00, AdcChannel::Current);
    const Bytes expected{0x86, 0x03, 0x00, 0x80, 0x92, 0x7B, 0x13, 0x03, 0xD0,
                         0x80, 0x92, 0x7B, 0x20, 0x01, 0x00, 0x80, 0x9A, 0x7B};
    EXPECT_EQ(hv.bytes, expected);
    Bytes expectedUa = expected;
    expectedUa[8] = 0xF0;
    EXPECT_EQ(ua.bytes, expectedUa);
    EXPECT_EQ(hv.low, 0x9A);  // clock left low, converter released
    EXPECT_EQ(hv.high, 0x00);
}

TEST(StreamsMonitor, AnswerDecoding) {
    struct Case {
        uint8_t b0, b1;
        int code;
        const char* codeText;
        const char* voltsText;
    } cases[] = {
        {0x26, 0x90, 1234, "0x04D2", "1.2340V"},
        {0x26, 0x97, 1234, "0x04D2", "1.2340V"},  // trailing bits ignored
        {0x7F, 0xF8, 4095, "0x0FFF", "4.0950V"},
        {0xFF, 0xFF, 8191, "0x1FFF", "8.1910V"},  // null bit kept as bit 12
        {0x00, 0x00, 0, "0x0000", "0.0000V"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const int code = AdcCode(c.b0, c.b1);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(CodeText(code), c.codeText);
        EXPECT_EQ(AdcVoltsText(AdcVolts(code, 4.096, 4096)), c.voltsText);
    }
}

TEST(StreamsTemperature, SetupAndReadStreams) {
    const Stream setup = TempSetupStream(0x9B, 0x00);
    EXPECT_EQ(setup.bytes, (Bytes{0x86, 0x03, 0x00, 0x80, 0x9A, 0x7B, 0x82, 0x08, 0x08, 0x80, 0x9A, 0x7B,
                                  0x80, 0x9A, 0x7B, 0x80, 0x9B, 0x7B, 0x10, 0x01, 0x00, 0x80, 0xE8,
                                  0x82, 0x00, 0x08}));
    EXPECT_EQ(setup.low, 0x9B);
    EXPECT_EQ(setup.high, 0x00);

    const Stream read = TempReadStream(0x9B, 0x00);
    EXPECT_EQ(read.bytes, (Bytes{0x86, 0x03, 0x00, 0x80, 0x98, 0x7B, 0x82, 0x08, 0x08, 0x80, 0x98, 0x7B,
                                 0x80, 0x98, 0x7B, 0x80, 0x99, 0x7B, 0x12, 0x07, 0x01, 0x80, 0x99, 0x7B,
                                 0x20, 0x01, 0x00, 0x82, 0x00, 0x08}));
    EXPECT_EQ(read.low, 0x99);
    EXPECT_EQ(read.high, 0x00);
}

TEST(StreamsTemperature, SelectReleasedAndClockHighAfterEither) {
    for (int low : {0x00, 0xFF, 0x9A}) {
        for (int high : {0x00, 0xFF, 0x08}) {
            SCOPED_TRACE(testing::Message() << low << "/" << high);
            const Stream setup = TempSetupStream(static_cast<uint8_t>(low), static_cast<uint8_t>(high));
            const Stream read = TempReadStream(static_cast<uint8_t>(low), static_cast<uint8_t>(high));
            EXPECT_EQ(setup.low, low | 0x01);
            EXPECT_EQ(setup.high, high & ~0x08);
            EXPECT_EQ(read.low, (low & ~0x02) | 0x01);
            EXPECT_EQ(read.high, high & ~0x08);
            EXPECT_EQ(read.bytes[7], high | 0x08);  // selected while it talks
        }
    }
}

TEST(StreamsTemperature, Decoding) {
    struct Case {
        uint8_t low, high;
        const char* shown;
        const char* raw;
    } cases[] = {
        {0x00, 0x19, "25", "0x1900"},
        {0x0F, 0x19, "25", "0x190F"},  // low nibble below the resolution
        {0x00, 0xE7, "-25", "0xE700"},
        {0x40, 0x19, "25", "0x1940"},
        {0x00, 0x7F, "127", "0x7F00"},
        {0x00, 0x80, "-128", "0x8000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        EXPECT_EQ(TempText(TempCelsius(c.low, c.high)), c.shown);
        EXPECT_EQ(TempRawText(c.low, c.high), c.raw);
    }
    EXPECT_DOUBLE_EQ(TempCelsius(0x40, 0x19), 25.25);
}

TEST(StreamsPorts, ReadCommandsLeaveShadows) {
    const Stream p0 = PortReadStream(0x9B, 0x08, 0);
    const Stream p1 = PortReadStream(0x9B, 0x08, 2);
    EXPECT_EQ(p0.bytes, Bytes{0x81});
    EXPECT_EQ(p1.bytes, Bytes{0x83});
    EXPECT_EQ(p1.low, 0x9B);
    EXPECT_EQ(p1.high, 0x08);
}

TEST(StreamsEnables, BothLinesTogether) {
    EXPECT_EQ(HvEnableStream(0x9B, 0, true).bytes, (Bytes{0x80, 0xFB, 0x7B}));
    EXPECT_EQ(HvEnableStream(0xFB, 0, false).bytes, (Bytes{0x80, 0x9B, 0x7B}));
    EXPECT_EQ(HvEnableStream(0xFB, 0, false).low, 0x9B);
}
