#include "device/SettingsForm.h"
#include "lang/ProgramTexts.h"
#include "lang/TextTable.h"
#include "tools/cli/Commands.h"
#include "tools/cli/DeviceInfoPrint.h"
#include "tools/cli/DeviceLink.h"
#include "tools/cli/EnglishText.h"
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

// ecg-cli device settings: what the settings dialog does, without a window.
// The recorder's information is read first and fills the form as the dialog
// fills its fields; the options change it; the dialog's rules check it with
// the dialog's messages; the settings job writes it.

namespace cli {

namespace {

const char* const kSettingsUsage =
    "Usage: ecg-cli device settings [--link LINK] [OPTIONS]\n"
    "\n"
    "Reads the recorder's settings, changes those named, checks them as the settings window does\n"
    "and writes them to the recorder. Settings not named keep the recorder's values; the clock is\n"
    "set from the computer unless --clock names a time.\n"
    "  --link LINK                 usb (default), hid, serial, serial:PATH or demo (see device --help)\n"
    "  --clock now|\"YYYY-MM-DD hh:mm:ss\"   the recorder's clock (years 2000 to 2099)\n"
    "  --key-beep on|off           beep on key presses\n"
    "  --heart-beep on|off         beep with each heartbeat\n"
    "  --tachycardia N             fast heart-rate alarm, beats per minute (up to 190)\n"
    "  --bradycardia N             slow heart-rate alarm, beats per minute (from 30)\n"
    "  --pause N                   pause alarm, seconds (2 to 5)\n"
    "  --sensitivity low|medium|high   sensitivity of the rhythm check\n"
    "  --default                   start from the standard settings (100, 60, 2, medium, beeps on)\n"
    "  --json                      print the result as one JSON object\n";

constexpr int SlotSaved = 152;
constexpr int SlotSaveFailed = 153;

// The command line's options, applied over the form filled from the recorder.
struct Options {
    QString link = "usb";
    bool json = false;
    bool defaults = false;
    std::optional<QString> clock, keyBeep, heartBeep, tachycardia, bradycardia, pause, sensitivity;
};

std::optional<bool> OnOff(const QString& v)
{
    if (v == "on")
        return true;
    if (v == "off")
        return false;
    return std::nullopt;
}

std::optional<std::uint8_t> SensitivityOf(const QString& v)
{
    if (v == "high")
        return 0;
    if (v == "medium")
        return 1;
    if (v == "low")
        return 2;
    return std::nullopt;
}

// "now" is nullopt inside; otherwise the named time, which must exist and lie in 2000..2099.
std::optional<std::optional<device::LocalDateTime>> ClockOf(const QString& v)
{
    if (v == "now")
        return std::optional<device::LocalDateTime>{};
    const QDateTime t = QDateTime::fromString(v, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!t.isValid() || t.date().year() < device::ClockYearMin || t.date().year() > device::ClockYearMax)
        return std::nullopt;
    return device::LocalDateTime{t.date().year(), t.date().month(), t.date().day(),
                                 t.time().hour(), t.time().minute(), t.time().second()};
}

// Applies the options to the form; the offending option's name on a bad value.
std::optional<QString> Apply(const Options& o, device::SettingsForm& form)
{
    if (o.defaults)
        device::ApplyDefaults(form);
    if (o.clock) {
        const auto clock = ClockOf(*o.clock);
        if (!clock)
            return QStringLiteral("--clock");
        form.clock = *clock;
    }
    if (o.keyBeep) {
        const auto v = OnOff(*o.keyBeep);
        if (!v)
            return QStringLiteral("--key-beep");
        form.keyBeep = *v;
    }
    if (o.heartBeep) {
        const auto v = OnOff(*o.heartBeep);
        if (!v)
            return QStringLiteral("--heart-beep");
        form.heartBeep = *v;
    }
    if (o.sensitivity) {
        const auto v = SensitivityOf(*o.sensitivity);
        if (!v)
            return QStringLiteral("--sensitivity");
        form.sensitivity = *v;
    }
    // The thresholds go to the rules as typed, so a wrong one gets the window's message.
    if (o.tachycardia)
        form.tachycardia = *o.tachycardia;
    if (o.bradycardia)
        form.bradycardia = *o.bradycardia;
    if (o.pause)
        form.pause = *o.pause;
    return std::nullopt;
}

QJsonObject SettingsJson(const device::protocol::DeviceSettings& s)
{
    QJsonObject o;
    o["deviceId"] = QString::fromStdString(s.deviceIdText);
    o["tachycardiaBpm"] = s.tachycardia;
    o["bradycardiaBpm"] = s.bradycardia;
    o["pauseSeconds"] = s.pause;
    o["sensitivity"] = s.sensitivity;
    o["keyBeep"] = s.keyBeep;
    o["heartbeatBeep"] = s.heartbeatBeep;
    o["clock"] = QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", s.year, s.month, s.day, s.hour, s.minute,
                                   s.second);
    return o;
}

// Prints the outcome; returns the exit status.
int Report(bool json, bool saved, const QString& message, QJsonObject extra, QTextStream& out, QTextStream& err)
{
    if (json) {
        extra["saved"] = saved;
        extra["message"] = message;
        out << QJsonDocument(extra).toJson(QJsonDocument::Compact) << "\n";
    } else {
        (saved ? out : err) << message << "\n";
    }
    return saved ? 0 : 1;
}

}  // namespace

int RunDeviceSettings(const QStringList& args, QTextStream& out, QTextStream& err)
{
    Options o;
    const QMap<QString, std::optional<QString>*> valued = {
        {"--link", nullptr},
        {"--clock", &o.clock},
        {"--key-beep", &o.keyBeep},
        {"--heart-beep", &o.heartBeep},
        {"--tachycardia", &o.tachycardia},
        {"--bradycardia", &o.bradycardia},
        {"--pause", &o.pause},
        {"--sensitivity", &o.sensitivity},
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--json") {
            o.json = true;
        } else if (a == "--default") {
            o.defaults = true;
        } else if (a == "--help" || a == "-h") {
            out << kSettingsUsage;
            return 0;
        } else if (valued.contains(a) && i + 1 < args.size()) {
            if (a == "--link")
                o.link = args[++i];
            else
                *valued[a] = args[++i];
        } else {
            err << "Unknown option \"" << a << "\".\n\n" << kSettingsUsage;
            return 2;
        }
    }
    const std::unique_ptr<DeviceLink> session = OpenDeviceLink(o.link);
    if (!session) {
        err << "Unknown link \"" << o.link << "\".\n\n" << kSettingsUsage;
        return 2;
    }
    // The form starts from what the recorder holds now, as the window's does.
    device::SettingsForm form;
    if (session->RunJob(device::ReadInfoJobCode) == device::JobSucceeded)
        form = device::FormFromInfo(session->board.infoBlock);
    else
        return Report(o.json, false, InfoReadFailureText(session->board.failure),
                      {{"reason", JobFailureName(session->board.failure)}}, out, err);
    if (const auto bad = Apply(o, form)) {
        err << "Bad value for " << *bad << ".\n\n" << kSettingsUsage;
        return 2;
    }
    if (const auto rule = device::FirstBrokenRule(form))
        return Report(o.json, false, EnglishText(device::MessageSlot(*rule)),
                      {{"reason", "invalid"}, {"rule", static_cast<int>(*rule)}}, out, err);

    session->board.settings = device::SettingsFromForm(form, session->env.LocalNow());
    session->board.settingsRecorderId = session->board.infoBlock.deviceId;
    const bool saved = session->RunJob(device::WriteSettingsJobCode) == device::JobSucceeded;
    QJsonObject extra{{"settings", SettingsJson(session->board.settings)}};
    QString message = EnglishText(saved ? SlotSaved : SlotSaveFailed);
    if (!saved) {
        extra["reason"] = JobFailureName(session->board.failure);
        if (session->board.failure == device::JobFailure::NoPermission ||
            session->board.failure == device::JobFailure::WaitsInBootLoader)
            message += "\n" + InfoReadFailureText(session->board.failure);
    }
    return Report(o.json, saved, message, extra, out, err);
}

}  // namespace cli
