#include "dialogs/MDSetting.h"

#include "device/JobRequest.h"
#include "dialogs/ClockFieldEntry.h"
#include "dialogs/MessageBox.h"
#include "dialogs/PictureFrame.h"
#include "dialogs/SkinPicture.h"
#include "dialogs/SkinPictureButton.h"
#include "dialogs/SkinStyle.h"
#include "dialogs/SkinWindowDrag.h"
#include "dialogs/SlotText.h"
#include "lang/ProgramTexts.h"
#include "lang/TextTable.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTimer>

namespace {

// Text-table slots of the window.
enum Slot : int {
    Bradycardia = 5, Tachycardia = 6, Pause = 7, SettingsTitle = 13, High = 32, Medium = 33, Low = 34,
    Cancel = 43, Ok = 45, SyncWithPc = 50, DeviceId = 51, Mid = 52, KeyBeep = 53, HeartBeep = 54, On = 55,
    Off = 56, Standard = 57, ReturnToDefault = 58, DateTime = 59, FirmwareVersion = 71, DeviceInformation = 80,
    Saved = 152, SaveFailed = 153,
};

const QString kGroupStyle = QStringLiteral(
    "QGroupBox { border: 1px solid rgb(195, 206, 212); border-radius: 4px; margin-top: 8px; background: white; }"
    "QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 3px; color: rgb(14, 101, 112);"
    " font-weight: bold; }");

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QRect& where)
{
    auto* box = new QGroupBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(where);
    box->setStyleSheet(kGroupStyle);
    return box;
}

template <typename W>
W* Make(QWidget* parent, const char* name, const QRect& where)
{
    auto* w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(where);
    return w;
}

}  // namespace

TSetting::TSetting(const device::protocol::DEVICE_INFO_BLOCK& info, device::DeviceJobBoard& board,
                   device::DeviceEnvironment& env, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), board_(board), env_(env), recorderId_(info.deviceId)
{
    buildControls();
    fillTexts(info);
    setForm(device::FormFromInfo(info));
    MsgBox = new TMessageBoxForm(this);
    jobPoll_ = new QTimer(this);
    jobPoll_->setInterval(static_cast<int>(device::SlowWaitStepMs));
    connect(jobPoll_, &QTimer::timeout, this, &TSetting::pollJob);
}

void TSetting::buildControls()
{
    const PictureFrame frame = BuildPictureFrame(this, "Setting", {440, 400}, QColor(243, 246, 248),
                                                 "image\\dlg-settings.bmp", {18, 7}, {417, 5});
    BGImg = frame.background;
    TitleLabel = frame.title;
    TitleLabel->resize(300, 14);  // the title keeps its slot's width in every language
    CloseBtn = frame.close;

    // The clock: the computer's time, or the one the pickers show.
    GroupBox1 = MakeGroup(this, "GroupBox1", QRect(14, 36, 412, 92));
    _1RadioBtn = Make<QRadioButton>(GroupBox1, "_1RadioBtn", QRect(14, 22, 18, 20));
    SyncPC = Make<QLabel>(GroupBox1, "SyncPC", QRect(36, 22, 300, 20));
    _2RadioBtn = Make<QRadioButton>(GroupBox1, "_2RadioBtn", QRect(14, 56, 18, 20));
    DatePicker = Make<QDateEdit>(GroupBox1, "DatePicker", QRect(36, 54, 120, 24));
    DatePicker->setDisplayFormat("yyyy-MM-dd");
    DatePicker->setCalendarPopup(true);
    // The recorder keeps the year within the century.
    DatePicker->setDateRange(QDate(device::ClockYearMin, 1, 1), QDate(device::ClockYearMax, 12, 31));
    TimePicker = Make<QTimeEdit>(GroupBox1, "TimePicker", QRect(166, 54, 100, 24));
    TimePicker->setDisplayFormat("HH:mm:ss");
    AcceptTypingAfterClick(TimePicker);
    AcceptTypedSeparators(DatePicker);
    AcceptTypedSeparators(TimePicker);
    const QDateTime now = QDateTime::currentDateTime();
    DatePicker->setDate(now.date());
    TimePicker->setTime(now.time());
    _1RadioBtn->setChecked(true);
    auto pickersFollow = [this] {
        DatePicker->setEnabled(_2RadioBtn->isChecked());
        TimePicker->setEnabled(_2RadioBtn->isChecked());
    };
    connect(_2RadioBtn, &QRadioButton::toggled, this, pickersFollow);
    pickersFollow();

    KeyGroupBox = MakeGroup(this, "KeyGroupBox", QRect(14, 138, 202, 62));
    KeyVolOn = Make<QRadioButton>(KeyGroupBox, "KeyVolOn", QRect(18, 28, 80, 20));
    KeyVolOff = Make<QRadioButton>(KeyGroupBox, "KeyVolOff", QRect(108, 28, 80, 20));
    HeartGroupBox = MakeGroup(this, "HeartGroupBox", QRect(224, 138, 202, 62));
    HeartVolOn = Make<QRadioButton>(HeartGroupBox, "HeartVolOn", QRect(18, 28, 80, 20));
    HeartVolOff = Make<QRadioButton>(HeartGroupBox, "HeartVolOff", QRect(108, 28, 80, 20));

    DefGroupBox = MakeGroup(this, "DefGroupBox", QRect(14, 210, 412, 62));
    Default = Make<QPushButton>(DefGroupBox, "Default", QRect(14, 26, 90, 24));
    Default->setStyleSheet(SkinButtonStyle());
    DefSetLabel = Make<QLabel>(DefGroupBox, "DefSetLabel", QRect(114, 28, 290, 20));

    DeviceInfoGroupBox = MakeGroup(this, "DeviceInfoGroupBox", QRect(14, 282, 412, 62));
    DeviceIDLabel = Make<QLabel>(DeviceInfoGroupBox, "DeviceIDLabel", QRect(15, 28, 170, 20));
    FirmwareVer = Make<QLabel>(DeviceInfoGroupBox, "FirmwareVer", QRect(191, 28, 210, 20));

    OK = Make<QPushButton>(this, "OK", QRect(262, 360, 76, 26));
    OK->setStyleSheet(SkinButtonStyle());
    OK->setDefault(true);
    Cancel = Make<QPushButton>(this, "Cancel", QRect(348, 360, 76, 26));
    Cancel->setStyleSheet(SkinButtonStyle());

    // The recorder's own values, out of the user's reach.
    Tachycardia = Make<QLineEdit>(this, "Tachycardia", QRect());
    Tachycardia->setMaxLength(3);
    Bradycardia = Make<QLineEdit>(this, "Bradycardia", QRect());
    Bradycardia->setMaxLength(2);
    Pause = Make<QLineEdit>(this, "Pause", QRect());
    Pause->setMaxLength(1);
    TachyLabel = Make<QLabel>(this, "TachyLabel", QRect());
    BradyLabel = Make<QLabel>(this, "BradyLabel", QRect());
    PauseLabel = Make<QLabel>(this, "PauseLabel", QRect());
    RhythmGroupBox = Make<QGroupBox>(this, "RhythmGroupBox", QRect());
    RSensitivityH = Make<QRadioButton>(RhythmGroupBox, "RSensitivityH", QRect());
    RSensitivityM = Make<QRadioButton>(RhythmGroupBox, "RSensitivityM", QRect());
    RSensitivityL = Make<QRadioButton>(RhythmGroupBox, "RSensitivityL", QRect());
    DCOffsetEdit = Make<QLineEdit>(this, "DCOffsetEdit", QRect());
    DCOffsetLabel = Make<QLabel>(this, "DCOffsetLabel", QRect());
    DeviceIDEdit = Make<QLineEdit>(this, "DeviceIDEdit", QRect());
    DeviceIDL = Make<QLabel>(this, "DeviceIDL", QRect());
    MIDLabel1 = Make<QLabel>(this, "MIDLabel1", QRect());
    // The captions name the fields for assistive technology.
    TachyLabel->setBuddy(Tachycardia);
    BradyLabel->setBuddy(Bradycardia);
    PauseLabel->setBuddy(Pause);
    DCOffsetLabel->setBuddy(DCOffsetEdit);
    DeviceIDL->setBuddy(DeviceIDEdit);
    for (QWidget* hidden : std::initializer_list<QWidget*>{Tachycardia, Bradycardia, Pause, TachyLabel, BradyLabel,
                                                          PauseLabel, RhythmGroupBox, DCOffsetEdit, DCOffsetLabel,
                                                          DeviceIDEdit, DeviceIDL, MIDLabel1})
        hidden->hide();

    connect(CloseBtn, &SkinPictureButton::clicked, this, &QDialog::reject);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(Default, &QPushButton::clicked, this, &TSetting::DefaultClick);
    connect(OK, &QPushButton::clicked, this, &TSetting::OKClick);
}

void TSetting::fillTexts(const device::protocol::DEVICE_INFO_BLOCK& info)
{
    const QString id = QString::fromStdString(device::protocol::DeviceIdText(info.deviceId));
    ShowSlotText(DeviceIDLabel, Slot::DeviceId, TextSizing::Fixed, " : " + id);
    MIDLabel1->setText(TextOf(Slot::Mid) + " : " + QString::fromStdString(device::protocol::DeviceIdText(info.mid)));
    ShowSlotText(FirmwareVer, Slot::FirmwareVersion, TextSizing::Fixed,
                 " : " + QString::fromStdString(device::protocol::FirmwareVersionText(info.firmwareVersion)));
    TachyLabel->setText(TextOf(Slot::Tachycardia) + " :");
    BradyLabel->setText(TextOf(Slot::Bradycardia) + " :");
    PauseLabel->setText(TextOf(Slot::Pause) + " :");
    RSensitivityH->setText(TextOf(Slot::High));
    RSensitivityM->setText(TextOf(Slot::Medium));
    RSensitivityL->setText(TextOf(Slot::Low));
    ShowSlotText(SyncPC, Slot::SyncWithPc, TextSizing::Fixed);
    ShowSlotText(KeyGroupBox, Slot::KeyBeep, TextSizing::Fixed);
    ShowSlotText(HeartGroupBox, Slot::HeartBeep, TextSizing::Fixed);
    for (QRadioButton* on : {KeyVolOn, HeartVolOn})
        ShowSlotText(on, Slot::On, TextSizing::Fixed);
    for (QRadioButton* off : {KeyVolOff, HeartVolOff})
        ShowSlotText(off, Slot::Off, TextSizing::Fixed);
    ShowSlotText(DefGroupBox, Slot::Standard, TextSizing::Fixed);
    ShowSlotText(Default, Slot::Standard, TextSizing::Fixed);
    ShowSlotText(DefSetLabel, Slot::ReturnToDefault, TextSizing::Fixed);
    ShowSlotText(OK, Slot::Ok, TextSizing::Fixed);
    ShowSlotText(Cancel, Slot::Cancel, TextSizing::Fixed);
    ShowSlotText(GroupBox1, Slot::DateTime, TextSizing::Fixed);
    ShowSlotText(TitleLabel, Slot::SettingsTitle, TextSizing::Fixed);
    ShowSlotText(DeviceInfoGroupBox, Slot::DeviceInformation, TextSizing::Fixed);
    // Languages whose words need the room differently.
    const int language = TextTable::current().languageId();
    if (language == 1036) {
        DeviceIDLabel->move(10, DeviceIDLabel->y());
        FirmwareVer->move(191, FirmwareVer->y());
    } else if (language == 1060) {
        DeviceIDLabel->move(15, DeviceIDLabel->y());
        FirmwareVer->move(141, FirmwareVer->y());
    }
}

device::SettingsForm TSetting::form() const
{
    device::SettingsForm f;
    f.deviceId = DeviceIDEdit->text();
    f.tachycardia = Tachycardia->text();
    f.bradycardia = Bradycardia->text();
    f.pause = Pause->text();
    f.dcOffset = static_cast<std::int16_t>(DCOffsetEdit->text().toInt());
    f.sensitivity = RSensitivityH->isChecked() ? 0 : RSensitivityM->isChecked() ? 1 : 2;
    f.keyBeep = !KeyVolOff->isChecked();
    f.heartBeep = !HeartVolOff->isChecked();
    if (_2RadioBtn->isChecked()) {
        const QDate d = DatePicker->date();
        const QTime t = TimePicker->time();
        f.clock = device::LocalDateTime{d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
    }
    return f;
}

void TSetting::setForm(const device::SettingsForm& f)
{
    DeviceIDEdit->setText(f.deviceId);
    Tachycardia->setText(f.tachycardia);
    Bradycardia->setText(f.bradycardia);
    Pause->setText(f.pause);
    DCOffsetEdit->setText(QString::number(f.dcOffset));
    (f.sensitivity == 0 ? RSensitivityH : f.sensitivity == 1 ? RSensitivityM : RSensitivityL)->setChecked(true);
    (f.keyBeep ? KeyVolOn : KeyVolOff)->setChecked(true);
    (f.heartBeep ? HeartVolOn : HeartVolOff)->setChecked(true);
    if (f.clock) {
        DatePicker->setDate(QDate(f.clock->year, f.clock->month, f.clock->day));
        TimePicker->setTime(QTime(f.clock->hour, f.clock->minute, f.clock->second));
        _2RadioBtn->setChecked(true);
    } else {
        _1RadioBtn->setChecked(true);
    }
}

void TSetting::DefaultClick()
{
    device::SettingsForm f = form();
    device::ApplyDefaults(f);
    setForm(f);
}

void TSetting::showMessage(const QString& text)
{
    MsgBox->ShowMessageBox(text, MsgKind::Information, TextTable::current().languageId(), {MsgButton::OK});
}

bool TSetting::waiting() const
{
    return jobPoll_->isActive();
}

void TSetting::OKClick()
{
    if (waiting())
        return;
    OK->setEnabled(false);
    const device::SettingsForm f = form();
    if (const auto rule = device::FirstBrokenRule(f)) {
        showMessage(TextOf(device::MessageSlot(*rule)));
        OK->setEnabled(true);
        return;
    }
    board_.settings = device::SettingsFromForm(f, env_.LocalNow());
    // The job writes only into the recorder this window was filled from.
    board_.settingsRecorderId = recorderId_;
    ticket_ = device::PostJob(board_, device::WriteSettingsJobCode);
    jobPoll_->start();
}

void TSetting::pollJob()
{
    // Only the end of this window's own request counts: another job that ran
    // meanwhile says nothing about these values.
    const std::optional<device::JobEnd> end = device::EndOf(board_, ticket_);
    if (!end)
        return;
    jobPoll_->stop();
    if (end->state == device::JobSucceeded) {
        showMessage(TextOf(Slot::Saved));
        accept();
        return;
    }
    // OK stays disabled: only Cancel or the close picture remain.
    QString text = TextOf(Slot::SaveFailed);
    if (end->failure == device::JobFailure::NoPermission)
        text += "\n" + DeviceAccessDeniedText();
    else if (end->failure == device::JobFailure::WaitsInBootLoader)
        text += "\n" + DeviceWaitsInBootLoaderText();
    showMessage(text);
}
