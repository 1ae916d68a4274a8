#pragma once
#include "device/DeviceEnvironment.h"
#include "device/protocol/DeviceInfoBlock.h"
#include "device/protocol/SettingsPacket.h"
#include <QString>
#include <optional>

// The recorder's settings as the settings dialog holds them: filled from the
// information block, reset by Default, checked by the rules below in their
// fixed order, and turned into the record the settings job sends. The command
// line goes through the same steps, so both refuse the same values with the
// same messages.

namespace device {

struct SettingsForm {
    // The fields as texts, the way the user's (hidden) edits hold them.
    QString deviceId;
    QString tachycardia;
    QString bradycardia;
    QString pause;
    std::int16_t dcOffset = 0;
    std::uint8_t sensitivity = 1;  // 0 high, 1 medium, 2 low
    bool keyBeep = true;
    bool heartBeep = true;
    // The clock to set; nullopt takes the computer's time at the moment of sending.
    std::optional<LocalDateTime> clock;
};

// The rules in the order they are checked; the first one broken is reported.
enum class SettingsRule : int {
    DeviceIdEmpty = 1,
    TachycardiaEmpty,
    BradycardiaEmpty,
    PauseEmpty,
    TachycardiaNotNumber,  // not a number, or 0
    BradycardiaNotNumber,
    PauseNotNumber,
    DeviceIdLength,  // not exactly 8 characters
    PauseTooLong,    // 6 s or more
    PauseTooShort,   // 1 s or less
    TachycardiaTooHigh,  // 191 or more
    BradycardiaTooLow,   // 29 or less
    TachycardiaBelowBradycardia,
};

// Years the clock pickers (and the command line) accept; the packet carries the year within the century.
constexpr int ClockYearMin = 2000;
constexpr int ClockYearMax = 2099;

// The dialog's fields for a recorder: its own thresholds, sensitivity (any value above 1 counts as
// low), beeps, DC offset and ID; the computer's clock.
SettingsForm FormFromInfo(const protocol::DEVICE_INFO_BLOCK& block);
// Default: thresholds 100 / 60 / 2, medium sensitivity, beeps on, the computer's clock. ID and DC
// offset stay.
void ApplyDefaults(SettingsForm& form);
// The first rule the form breaks; nullopt when it may be sent.
std::optional<SettingsRule> FirstBrokenRule(const SettingsForm& form);
// Text-table slot of the message that names a broken rule.
int MessageSlot(SettingsRule rule);
// The record to send for a form that breaks no rule; now is used when form.clock is nullopt.
protocol::DeviceSettings SettingsFromForm(const SettingsForm& form, const LocalDateTime& now);

}  // namespace device
