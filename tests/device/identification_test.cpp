// Which tube the controller serves: by its serial number and by the model-code lines.
#include <cstring>

#include "control/limit_set.h"
#include "device/discovery.h"
#include "tests/device/connection_fixture.h"

TEST(SerialNumberText, LeadingNumberOfTheFirstEightCharacters) {
    struct Case {
        const char* text;
        size_t length;
        int value;
    } cases[] = {
        {"00009999A", 64, 9999},
        {"1234567890", 64, 12345678},  // cut to eight characters before conversion
        {"10000A", 64, 10000},
        {"AB123456", 64, 0},
        {"", 64, 0},
        {"  12345", 64, 12345},
        {"-1234567", 64, -1234567},
        {"12345678", 3, 123},  // never reads past the given length
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(SerialNumberValue(c.text, c.length), c.value);
    }
    const char unterminated[4] = {'7', '7', '7', '7'};
    EXPECT_EQ(SerialNumberValue(unterminated, sizeof unterminated), 7777);
}

TEST(SerialNumberText, Classes) {
    struct Case {
        int serial;
        SerialClass cls;
    } cases[] = {
        {-5, SerialClass::Old},           {0, SerialClass::Old},
        {9999, SerialClass::Old},         {10000, SerialClass::NewGeneration},
        {1118879, SerialClass::NewGeneration}, {1118880, SerialClass::HighSerial},
        {99999999, SerialClass::HighSerial},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serial);
        EXPECT_EQ(ClassifySerial(c.serial), c.cls);
    }
}

TEST(DeviceName, InterfaceSuffixDropped) {
    EXPECT_EQ(ShownDeviceName("Ravlen Controller A"), "Ravlen Controller");
    EXPECT_EQ(ShownDeviceName("ABCDEF"), "ABCD");
    EXPECT_EQ(ShownDeviceName("ABCDE"), "ABCDE");
    EXPECT_EQ(ShownDeviceName(""), "");
}

namespace {

// A listing of one controller whose serial images are exactly these 64 bytes.
void ListSerial(const unsigned char (&serial)[64]) {
    static unsigned char desc[2][64];
    static unsigned char serials[2][64];
    std::memset(desc, 0, sizeof desc);
    std::strcpy(reinterpret_cast<char*>(desc[0]), "Ravlen Controller A");
    std::strcpy(reinterpret_cast<char*>(desc[1]), "Ravlen Controller B");
    std::memcpy(serials[0], serial, 64);
    std::memcpy(serials[1], serial, 64);
    ravlen_sim_set_raw_listing(2, desc, serials);
}

void ListSerial(const char* text) {
    unsigned char image[64] = {};
    std::strncpy(reinterpret_cast<char*>(image), text, sizeof image);
    ListSerial(image);
}

}  // namespace

using SerialNumberTest = ConnectionTest;

TEST_F(SerialNumberTest, ClassesSetTheLimitsAndTheShownText) {
    struct Case {
        const char* serial;
        int value;
        bool newGeneration;
        bool highSerial;
        const char* kvEdit;  // "33" when no set was applied
        double kvMax;
        const char* shown;
    } cases[] = {
        {"00009999", 9999, false, false, "33", 40, "Ravlen Serial Number 00009999"},
        {"10000", 10000, true, false, "15", 40, "Ravlen Serial Number 10000"},
        {"1118879", 1118879, true, false, "15", 40, "Ravlen Serial Number 1118879"},
        {"1118880", 1118880, true, true, "15", 50, "Ravlen Serial Number 1118880"},
        {"1234567890", 12345678, true, true, "15", 50, "Ravlen Serial Number 12345678"},
        {"AB123456", 0, false, false, "33", 40, "Ravlen Serial Number AB123456"},
        {"", 0, false, false, "33", 40, "Ravlen Serial Number "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serial);
        ListSerial(c.serial);
        Dlg().ApplyLimitSet(LimitSet::Kv40W4);
        Dlg().m_highSerial = !c.highSerial;  // every class decides the flag afresh
        Dlg().SetDlgItemText(IDC_KV_EDIT, "33");
        Dlg().ReadSerialNumber(0);
        EXPECT_EQ(Dlg().m_serialNumber, c.value);
        EXPECT_EQ(Dlg().m_newGeneration, c.newGeneration);
        EXPECT_EQ(Dlg().m_highSerial, c.highSerial);
        EXPECT_EQ(Text(IDC_KV_EDIT), c.kvEdit);
        EXPECT_EQ(Dlg().m_kvMax, c.kvMax);
        EXPECT_EQ(Text(IDC_SERIAL_TEXT), c.shown);
    }
    EXPECT_EQ(Failures(), std::vector<std::string>{});
}

TEST_F(SerialNumberTest, UnterminatedSerialIsReadWithinItsBuffer) {
    unsigned char image[64];
    std::memset(image, '1', sizeof image);
    ListSerial(image);
    Dlg().ReadSerialNumber(0);
    EXPECT_EQ(Dlg().m_serialNumber, 11111111);
    EXPECT_TRUE(Dlg().m_highSerial);
    EXPECT_EQ(Text(IDC_SERIAL_TEXT), "Ravlen Serial Number 11111111");
}

TEST_F(SerialNumberTest, FailedListingClearsTheSerialButKeepsTheHighFlag) {
    Dlg().m_highSerial = true;
    Dlg().m_newGeneration = true;
    Dlg().m_serialNumber = 1118880;
    Dlg().SetDlgItemText(IDC_KV_EDIT, "33");
    Dlg().SetDlgItemText(IDC_SERIAL_TEXT, "old");
    ravlen_sim_fail_call("FT_ListDevices", 1, FT_IO_ERROR);
    Dlg().ReadSerialNumber(0);
    EXPECT_EQ(Dlg().m_serialNumber, 0);
    EXPECT_FALSE(Dlg().m_newGeneration);
    EXPECT_TRUE(Dlg().m_highSerial);
    EXPECT_EQ(Text(IDC_KV_EDIT), "33");
    EXPECT_EQ(Text(IDC_SERIAL_TEXT), "");
    EXPECT_EQ(Failures(), std::vector<std::string>{});
}

TEST_F(SerialNumberTest, UnresolvedListingIsReportedAndClearsTheSerial) {
    Dlg().SetDlgItemText(IDC_SERIAL_TEXT, "old");
    Dlg().m_d2xx.FT_ListDevices = nullptr;
    Dlg().ReadSerialNumber(0);
    EXPECT_EQ(Failures(), std::vector<std::string>{"FT_ListDevices is not valid!"});
    EXPECT_EQ(Dlg().m_serialNumber, 0);
    EXPECT_EQ(Text(IDC_SERIAL_TEXT), "");
}

using ModelCodeTest = ConnectionTest;

// The model-code lines decide the limits of models 0 to 2; model 3 keeps what the serial
// number chose.
TEST_F(ModelCodeTest, PortBitsAgainstSerialClasses) {
    struct Case {
        int code;
        const char* serial;
        const char* name;
        double kvMax;
        double powerMaxW;
    } cases[] = {
        {0, "00009999", "Sarpa", 70, 10}, {0, "00012345", "Sarpa", 70, 10},
        {0, "01118880", "Sarpa", 70, 10}, {1, "00009999", "Telvo", 50, 4},
        {1, "00012345", "Telvo", 50, 4},  {1, "01118880", "Telvo", 50, 4},
        {2, "00009999", "Orrin", 50, 10}, {2, "00012345", "Orrin", 50, 10},
        {2, "01118880", "Orrin", 50, 10}, {3, "00009999", "Ravlen", 40, 4},
        {3, "00012345", "Ravlen", 40, 4}, {3, "01118880", "Ravlen", 50, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << " " << c.serial);
        ravlen_sim_reset();
        ravlen_sim_set_clock(platform::ClockNowUs, platform::ClockSleepUs, nullptr);
        ravlen_sim_set_controller(0, nullptr, c.serial);
        ravlen_sim_set_model_code(0, c.code);
        Dlg().ApplyLimitSet(LimitSet::Kv40W4);
        Dlg().StartConnection();
        EXPECT_EQ(Dlg().m_modelIndex, c.code);
        EXPECT_EQ(Text(IDC_MODEL_NAME), c.name);
        EXPECT_EQ(Dlg().m_kvMax, c.kvMax);
        EXPECT_EQ(Dlg().m_powerMaxW, c.powerMaxW);
    }
    EXPECT_EQ(Failures(), std::vector<std::string>{});
}

TEST_F(ModelCodeTest, OtherPort1LinesDoNotMatter) {
    Dlg();
    ravlen_sim_set_port1_inputs(0xF3);  // bits 1 set, 2 clear, the rest noise
    PressStart();
    EXPECT_EQ(Dlg().m_modelIndex, 1);
    EXPECT_EQ(Text(IDC_MODEL_NAME), "Telvo");
}
