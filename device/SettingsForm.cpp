#include "device/SettingsForm.h"

namespace device {

namespace {

// A threshold as the recorder's firmware reads its edit: anything that is not a whole number counts as 0.
int NumberOrZero(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}

}  // namespace

SettingsForm FormFromInfo(const protocol::DEVICE_INFO_BLOCK& block)
{
    SettingsForm form;
    form.deviceId = QString::fromStdString(protocol::DeviceIdText(block.deviceId));
    form.tachycardia = QString::number(block.tachycardia);
    form.bradycardia = QString::number(block.bradycardia);
    form.pause = QString::number(block.pause);
    form.sensitivity = block.sensitivity <= 1 ? block.sensitivity : 2;
    form.keyBeep = block.keyBeep != 0;
    form.heartBeep = block.heartbeatBeep != 0;
    form.dcOffset = block.dcOffset;
    return form;
}

void ApplyDefaults(SettingsForm& form)
{
    form.tachycardia = QStringLiteral("100");
    form.bradycardia = QStringLiteral("60");
    form.pause = QStringLiteral("2");
    form.sensitivity = 1;
    form.clock.reset();
    form.keyBeep = true;
    form.heartBeep = true;
}

std::optional<SettingsRule> FirstBrokenRule(const SettingsForm& form)
{
    using R = SettingsRule;
    if (form.deviceId.isEmpty())
        return R::DeviceIdEmpty;
    if (form.tachycardia.isEmpty())
        return R::TachycardiaEmpty;
    if (form.bradycardia.isEmpty())
        return R::BradycardiaEmpty;
    if (form.pause.isEmpty())
        return R::PauseEmpty;
    const int tachycardia = NumberOrZero(form.tachycardia);
    const int bradycardia = NumberOrZero(form.bradycardia);
    const int pause = NumberOrZero(form.pause);
    if (tachycardia == 0)
        return R::TachycardiaNotNumber;
    if (bradycardia == 0)
        return R::BradycardiaNotNumber;
    if (pause == 0)
        return R::PauseNotNumber;
    if (form.deviceId.size() != 8)
        return R::DeviceIdLength;
    // The bounds are the recorder's; the messages' wording is a little off (a pause of 2 s and a
    // bradycardia of 30 pass), and the recorder's behaviour is what counts.
    if (pause >= 6)
        return R::PauseTooLong;
    if (pause <= 1)
        return R::PauseTooShort;
    if (tachycardia >= 191)
        return R::TachycardiaTooHigh;
    if (bradycardia <= 29)
        return R::BradycardiaTooLow;
    if (tachycardia < bradycardia)
        return R::TachycardiaBelowBradycardia;
    return std::nullopt;
}

int MessageSlot(SettingsRule rule)
{
    switch (rule) {
    case SettingsRule::DeviceIdEmpty: return 141;
    case SettingsRule::TachycardiaEmpty: return 142;
    case SettingsRule::BradycardiaEmpty: return 143;
    case SettingsRule::PauseEmpty: return 144;
    case SettingsRule::TachycardiaNotNumber: return 145;
    case SettingsRule::BradycardiaNotNumber: return 146;
    case SettingsRule::PauseNotNumber: return 147;
    case SettingsRule::DeviceIdLength: return 148;
    case SettingsRule::PauseTooLong: return 161;
    case SettingsRule::PauseTooShort: return 162;
    case SettingsRule::TachycardiaTooHigh: return 149;
    case SettingsRule::BradycardiaTooLow: return 150;
    case SettingsRule::TachycardiaBelowBradycardia: return 151;
    }
    return 0;
}

protocol::DeviceSettings SettingsFromForm(const SettingsForm& form, const LocalDateTime& now)
{
    // Only called for a form that passed the rules, so the thresholds fit their bytes.
    protocol::DeviceSettings s;
    s.tachycardia = static_cast<std::uint8_t>(NumberOrZero(form.tachycardia));
    s.bradycardia = static_cast<std::uint8_t>(NumberOrZero(form.bradycardia));
    s.pause = static_cast<std::uint8_t>(NumberOrZero(form.pause));
    s.sensitivity = form.sensitivity;
    const LocalDateTime clock = form.clock.value_or(now);
    s.year = clock.year;
    s.month = clock.month;
    s.day = clock.day;
    s.hour = clock.hour;
    s.minute = clock.minute;
    s.second = clock.second;
    s.deviceIdText = form.deviceId.toStdString();
    s.dcOffset = form.dcOffset;
    s.keyBeep = form.keyBeep;
    s.heartbeatBeep = form.heartBeep;
    return s;
}

}  // namespace device
