// Every control a keyboard or screen-reader user meets has a name: each
// focusable widget and each picture that means something, in the main window
// (engineering controls shown, a recording open) and in every dialog.
#include "SimulatedRecording.h"
#include "WindowFixture.h"
#include "app/DeviceServices.h"
#include "app/UploadController.h"
#include "dialogs/MDSelectPath.h"
#include "dialogs/MDWelcome.h"
#include "dialogs/SkinPicture.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace {

// The controls below `root` that a user meets and that have no accessible name.
QStringList Unnamed(QWidget& root)
{
    QList<QWidget*> widgets = root.findChildren<QWidget*>();
    widgets.prepend(&root);
    QStringList unnamed;
    for (QWidget* w : widgets) {
        if (w != &root && (w->isWindow() || !w->isVisibleTo(&root))) continue;  // walked on its own, or never shown
        auto* picture = qobject_cast<SkinPicture*>(w);
        const bool meaningfulPicture = picture && !picture->isDecorative();
        const bool focusable = (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy();
        if (!meaningfulPicture && !focusable) continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << QString("%1 %2 (%3)").arg(root.metaObject()->className(), w->objectName(),
                                                 w->metaObject()->className());
    }
    return unnamed;
}

class AccessibleNames : public WindowFixture {};

TEST_F(AccessibleNames, EveryControlOfTheWindowAndItsDialogsHasOne)
{
    StoreSimulatedRecording(state.paths.dataFolder);
    DeviceServices device(true);
    device.ResetForStartup();
    auto w = open(&device);
    ASSERT_TRUE(w->uploadController()->startDemoService());
    ASSERT_TRUE(QTest::qWaitFor([&] { return device.board().infoBlock.deviceId != 0; }, 8000));
    w->ShowEngineeringControls();
    ASSERT_TRUE(ClickFirstRecording(*w->DataList));

    QStringList unnamed = Unnamed(*w);
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == "EngineeringPanel") unnamed += Unnamed(*top);

    // Each command's dialog is walked while it is open, then closed.
    QStringList walked;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            walked << dialog->metaObject()->className();
            unnamed += Unnamed(*dialog);
            dialog->reject();
        }
    });
    look.start(50);
    w->DownloadClick();
    w->SettingsClick();
    w->AboutClick();
    for (QTreeWidgetItemIterator it(w->DataList); *it; ++it)
        (*it)->setCheckState(0, Qt::Checked);  // for the upload dialog
    w->UploadClick();
    w->AccountClick();
    w->UpgradeBtnClick();
    look.stop();
    EXPECT_EQ(walked.join(' ').toStdString(), "TDownload TSetting TAbout TUpload TIdPwd TUpgrade");

    TWelcome welcome;
    TSelectPath selectPath;
    TMessageBoxForm box;
    for (QWidget* dialog : std::initializer_list<QWidget*>{&welcome, &selectPath, &box}) unnamed += Unnamed(*dialog);

    EXPECT_EQ(unnamed.join('\n').toStdString(), "");
    w->close();
}

}  // namespace
