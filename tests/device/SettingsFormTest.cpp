#include "device/SettingsForm.h"
#include "lang/TextTable.h"
#include <gtest/gtest.h>

using namespace device;

namespace {

SettingsForm Valid()
{
    SettingsForm f;
    f.deviceId = "0012AB34";
    f.tachycardia = "100";
    f.bradycardia = "60";
    f.pause = "2";
    return f;
}

// Each case breaks the form in one or more ways; the first rule in the fixed order wins, with its
// message. The bounds are the recorder's, whatever the messages' wording says.
TEST(SettingsForm, RulesInOrderWithTheirMessages)
{
    struct Case {
        const char* id;
        const char* tachy;
        const char* brady;
        const char* pause;
        const char* message;  // nullptr: accepted
    };
    const Case cases[] = {
        {"0012AB34", "100", "60", "2", nullptr},
        {"", "", "", "", "Please input a value for ID Number."},
        {"0012AB34", "", "", "", "Please input a value for tachycardia."},
        {"0012AB34", "100", "", "", "Please input a value for bradycardia."},
        {"0012AB34", "100", "60", "", "Please input a value for pause."},
        {"1", "abc", "0", "0", "The input for Tachycardia must be an integer."},
        {"1", "0", "60", "2", "The input for Tachycardia must be an integer."},
        {"1", "100", "0", "2", "The input for Bradycardia must be an integer."},
        {"1", "100", "60", "0", "The input for Pause must be an integer."},
        {"1", "100", "60", "x", "The input for Pause must be an integer."},
        {"0012AB3", "300", "10", "9", "ID Number must have 8 characters."},
        {"0012AB345", "100", "60", "2", "ID Number must have 8 characters."},
        {"0012AB34", "300", "10", "6", "The pause must be less than 6 seconds."},
        {"0012AB34", "100", "60", "5", nullptr},
        {"0012AB34", "300", "10", "1", "The pause must be more than 2 seconds."},
        {"0012AB34", "100", "60", "-3", "The pause must be more than 2 seconds."},
        {"0012AB34", "191", "10", "2", "Tachycardia must be smaller than 190."},
        {"0012AB34", "190", "60", "2", nullptr},
        {"0012AB34", "100", "29", "2", "Bradycardia must be greater than 30."},
        {"0012AB34", "100", "30", "2", nullptr},
        {"0012AB34", "59", "60", "2", "The tachycardia value must be greater than the bradycardia value."},
        {"0012AB34", "60", "60", "2", nullptr},
        // Only the length is a rule here; the settings job refuses an ID that is not hexadecimal.
        {"0012AB3G", "100", "60", "2", nullptr},
    };
    TextTable english;
    english.SelectLanguage(TextTable::kEnglish);
    for (const Case& c : cases) {
        SettingsForm f = Valid();
        f.deviceId = c.id;
        f.tachycardia = c.tachy;
        f.bradycardia = c.brady;
        f.pause = c.pause;
        const auto rule = FirstBrokenRule(f);
        const std::string where = std::string(c.id) + " " + c.tachy + "/" + c.brady + "/" + c.pause;
        if (!c.message) {
            EXPECT_FALSE(rule.has_value()) << where;
            continue;
        }
        ASSERT_TRUE(rule.has_value()) << where;
        EXPECT_EQ(english.text(MessageSlot(*rule)).toStdString(), c.message) << where;
    }
}

TEST(SettingsForm, FilledFromTheRecorderResetByDefaultAndSent)
{
    protocol::DEVICE_INFO_BLOCK b;
    b.deviceId = 0xAB;
    b.tachycardia = 200;  // out of range as the recorder reports it: only Default clears it
    b.bradycardia = 50;
    b.pause = 4;
    b.sensitivity = 7;  // any value above 1 is low
    b.keyBeep = 0;
    b.heartbeatBeep = 3;
    b.dcOffset = 1600;
    SettingsForm f = FormFromInfo(b);
    EXPECT_EQ(f.deviceId, "000000AB");
    EXPECT_EQ(f.sensitivity, 2);
    EXPECT_FALSE(f.keyBeep);
    EXPECT_TRUE(f.heartBeep);
    EXPECT_EQ(FirstBrokenRule(f), SettingsRule::TachycardiaTooHigh);

    f.clock = LocalDateTime{2013, 5, 21, 10, 15, 30};
    ApplyDefaults(f);
    EXPECT_FALSE(FirstBrokenRule(f).has_value());
    const protocol::DeviceSettings s = SettingsFromForm(f, LocalDateTime{2024, 2, 29, 23, 59, 58});
    EXPECT_EQ(s.tachycardia, 100);
    EXPECT_EQ(s.bradycardia, 60);
    EXPECT_EQ(s.pause, 2);
    EXPECT_EQ(s.sensitivity, 1);
    EXPECT_TRUE(s.keyBeep);
    EXPECT_TRUE(s.heartbeatBeep);
    EXPECT_EQ(s.year, 2024);  // Default goes back to the computer's clock
    EXPECT_EQ(s.second, 58);
    EXPECT_EQ(s.deviceIdText, "000000AB");  // ID and DC offset stay
    EXPECT_EQ(s.dcOffset, 1600);

    // The pickers' time: 2013-05-21 10:15:30 goes as year byte 13.
    f.clock = LocalDateTime{2013, 5, 21, 10, 15, 30};
    std::uint8_t packet[protocol::SettingsPacketSize]{};
    protocol::EncodeSettingsPacket(SettingsFromForm(f, {}), packet);
    EXPECT_EQ(packet[5], 13);
    EXPECT_EQ(packet[6], 5);
    EXPECT_EQ(packet[7], 21);
    EXPECT_EQ(packet[8], 10);
    EXPECT_EQ(packet[9], 15);
    EXPECT_EQ(packet[10], 30);
}

}  // namespace
