// The engineering controls: part of the window but hidden; only engineering
// mode (ecg-manager --engineering) shows the ones a technician uses.
#include "app/MainForm.h"
#include "app/ChartController.h"
#include "app/UpgradeController.h"
#include "app/LiveViewController.h"
#include "dialogs/SkinPictureButton.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>

namespace {

struct EngineeringButton {
    const char* name;
    const char* caption;  // UTF-8
};

constexpr EngineeringButton kButtons[] = {
    {"Start", "Start"},         {"Stop", "Stop"},           {"UpgradeBtn", "Upgrade"},
    {"DelAll", "Delete All"},   {"Battery", "Battery"},     {"Edf2MUC", "EDF2MCU"},
    {"OffSet", "OffSet"},       {"SamplingBtn", "360 t0 256"}, {"Batch", "Batch"},
    {"UKnow", "Path"},          {"DisplayBtn", "Display"},  {"DisplayTrace", "原始"},
    {"Dis1", "3點"},            {"PenWidth", "Width"},      {"Plus", "Plus"},
    {"ShowAnno", "Anno"},       {"Filter", "Filter"},       {"iir", "iir"},
    {"filterSwBtn", "filer En"}, {"sampSwitchBtn", "256 Hz"},
};

// The low-cut and high-cut switches are check boxes, ticked like the filters
// they switch at start.
constexpr EngineeringButton kFilterBoxes[] = {{"LowCut", "Low Cut"}, {"HighCut", "High Cut"}};

constexpr const char* kHiddenLabels[] = {"BatteryLabel", "mVValueLabel", "RawLabel", "RawIndex", "undef1",
                                         "undef2",       "undef3",       "undef4",   "undef5",   "undef6",
                                         "undef7",       "undef8",       "undef9",   "undef10"};

// Shown in engineering mode, in this order: the upgrade, the live view, then the
// display and filter switches. The rest stay hidden (erasing the recorder, the
// raw conversions) as they are of no use outside the maker's bench.
constexpr const char* kEngineeringModeControls[] = {
    "UpgradeBtn", "Start",    "Stop",   "DisplayBtn", "DisplayTrace", "Dis1",        "PenWidth",     "Plus",
    "ShowAnno",   "LowCut",   "HighCut", "Filter",    "iir",          "filterSwBtn", "sampSwitchBtn"};

}  // namespace

void TECGMain::ShowEngineeringControls()
{
    if (findChild<QWidget*>("EngineeringPanel"))
        return;
    // A tool window over the chart's left edge, so the window's own layout stays as it is
    // and the chart can be seen beside it; the window manager lets it be moved aside.
    auto* panel = new QWidget(this, Qt::Tool);
    panel->setObjectName("EngineeringPanel");
    panel->setWindowTitle(QStringLiteral("Engineering"));
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setSpacing(4);
    int index = 0;
    for (const char* name : kEngineeringModeControls) {
        QWidget* control = findChild<QWidget*>(QLatin1String(name));
        if (!control)
            continue;
        control->setParent(panel);
        grid->addWidget(control, index / 2, index % 2);
        control->show();
        ++index;
    }
    Upload->show();
    Account->show();
    panel->setMinimumWidth(210);  // room for its title under a window manager
    panel->adjustSize();
    panel->move(mapToGlobal(QPoint(40, 70)));
    panel->show();
    // F6 moves the keyboard between the window and its tool window, which Tab
    // does not cross: to the tool window's first control, or back to the data
    // list. One shortcut serves both, as the window's shortcuts also answer
    // while its tool window is active.
    new QShortcut(QKeySequence(Qt::Key_F6), this, panel, [this, panel] {
        const bool inPanel = QApplication::activeWindow() == panel;
        QWidget* target = inPanel ? static_cast<QWidget*>(DataList) : panel->findChild<QPushButton*>("UpgradeBtn");
        if (!target) return;
        target->activateWindow();
        target->setFocus(Qt::OtherFocusReason);
    });
}

void TECGMain::buildEngineeringControls()
{
    int top = 70;
    for (const EngineeringButton& b : kButtons) {
        auto* button = new QPushButton(QString::fromUtf8(b.caption), this);
        button->setObjectName(QLatin1String(b.name));
        button->setGeometry(40, top, 75, 22);
        button->hide();
        const QString name = QString::fromLatin1(b.name);
        connect(button, &QPushButton::clicked, this, [this, name] { EngineeringClick(name); });
        top += 20;
    }
    for (const EngineeringButton& b : kFilterBoxes) {
        auto* box = new QCheckBox(QString::fromUtf8(b.caption), this);
        box->setObjectName(QLatin1String(b.name));
        box->setChecked(true);
        box->setGeometry(40, top, 75, 22);
        box->hide();
        const QString name = QString::fromLatin1(b.name);
        connect(box, &QCheckBox::clicked, this, [this, name] { EngineeringClick(name); });
        top += 20;
    }
    auto* zoomRadio = new QCheckBox(QString::fromUtf8("等比縮放"), this);
    zoomRadio->setObjectName("ZoomRadioN");
    zoomRadio->setGeometry(120, 70, 90, 20);
    zoomRadio->hide();
    top = 70;
    for (const char* name : kHiddenLabels) {
        auto* label = new QLabel(this);
        label->setObjectName(QLatin1String(name));
        label->move(220, top);
        label->hide();
        top += 16;
    }
}

void TECGMain::EngineeringClick(const QString& name)
{
    // Functions whose features are not part of the program yet do nothing.
    if (chart_->engineeringClick(name))
        return;
    if ((name == QLatin1String("Start") || name == QLatin1String("Stop")) && device_) {
        auto* live = findChild<LiveViewController*>();
        if (!live)
            live = new LiveViewController(*this, *device_);
        if (name == QLatin1String("Start"))
            live->Start();
        else
            live->Stop();
    } else if (name == QLatin1String("UKnow"))
        chooseOtherFolder();
    else if (name == QLatin1String("SamplingBtn"))
        runSamplingConversion();
    else if (name == QLatin1String("Batch"))
        runBatchComparison();
    else if (name == QLatin1String("DelAll"))
        eraseRecorder();
    else if (name == QLatin1String("UpgradeBtn"))
        UpgradeBtnClick();
}

void TECGMain::UpgradeBtnClick()
{
    upgrade_->UpgradeBtnClick(device_);
}
