// Every text of every language measured in the font and the place of the
// control that shows it: the main window's captions and tool tips, the about,
// welcome, settings, download, upload, account and upgrade windows, the message
// box's buttons, and every message of the word table shown in the message box.
// A text that does not fit is printed as one line, "TEXT-FIT <language> slot <n>
// <control> "<text>" width <w> room <r>" ("word <key>" for the word table), so
// that its translation can be shortened:
//   QT_QPA_PLATFORM=offscreen build/bin/test_app --gtest_filter='TextFit*'
// TALMON_FIT_ALL=1 prints the texts that fit too, each line starting "fits".
#include "TestApp.h"
#include "app/InstanceGuard.h"
#include "app/MainForm.h"
#include "app/Startup.h"
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"
#include "dialogs/MDAbout.h"
#include "dialogs/MDDownload.h"
#include "dialogs/MDIdpwd.h"
#include "dialogs/MDSelectPath.h"
#include "dialogs/MDSetting.h"
#include "dialogs/MDUpgrade.h"
#include "dialogs/MDUpload.h"
#include "dialogs/MDWelcome.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SlotText.h"
#include "lang/TextTable.h"
#include "lang/Words.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QTextStream>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct Measured {
    QString window;
    TextFit fit;
};

// The words shown as messages in the message box.
constexpr Word kMessageWords[] = {
    Word::DownloadNoAnswer,    Word::DownloadTooManyRecordings, Word::DownloadUnplugged,
    Word::DownloadRetriesExhausted, Word::DownloadBytesNotWhole, Word::DownloadLeftOnRecorder,
    Word::EraseNoAnswer,       Word::EraseOtherRecorder,        Word::EraseContentChanged,
    Word::EraseFailed,         Word::EraseNotAllStored,         Word::DeviceAccessDenied,
    Word::DeviceStreaming,     Word::UpgradeTakeWholeImage,     Word::UpgradeDidNotRestart,
    Word::DeviceStreamNotStopped, Word::DeviceWaitsInBootLoader,
    Word::OpenCannotRead,      Word::OpenWrongRate,
    Word::OpenDamaged,         Word::PrintWrongPaper,           Word::PrintMarginsTooSmall,
    Word::PrintUnreadable,     Word::PrintJobFailed,            Word::PrintPartly,
    Word::AccountCannotKeep,   Word::AccountNoBrowser,
};

// The placeholders filled as the program fills them, with long values.
QString WithSampleValues(QString text)
{
    static const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
    return text.replace(placeholder, QStringLiteral("0000A1F3/201305/07/142530.edf"));
}

// A label that grows with its text has room up to its window's right edge, less the frame.
TextFit LabelFit(const QLabel& label, Word word)
{
    TextFit fit;
    fit.control = label.objectName();
    fit.word = WordKey(word);
    fit.text = label.text();
    fit.width = label.fontMetrics().horizontalAdvance(fit.text);
    fit.room = label.window()->width() - label.mapTo(label.window(), QPoint()).x() - 6;
    return fit;
}

// A message wraps within the box, which grows downwards; what cannot wrap is a
// single word wider than the message's width, and the box must still hold every line.
TextFit MessageFit(const TMessageBoxForm& box, Word word)
{
    TextFit fit;
    fit.control = QStringLiteral("Msg");
    fit.word = WordKey(word);
    fit.text = box.Msg->text();
    fit.room = box.Msg->width();
    // The label's own line breaking: at blanks, and between the signs of a script without them.
    for (const QString& paragraph : fit.text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, box.Msg->font());
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(fit.room);
            fit.width = std::max(fit.width, int(std::ceil(line.naturalTextWidth())));
        }
        layout.endLayout();
    }
    if (box.Msg->geometry().bottom() > box.Panel1->height())
        fit.room = 0;  // lines below the panel
    return fit;
}

// The texts of the windows that exist, as they are laid out in one language.
QList<Measured> MeasureLanguage(int languageId)
{
    QTemporaryDir home;
    const QString settings = home.filePath("Documents/talmon/");
    QDir().mkpath(settings);
    QFile setinfo(settings + "setinfo.ini");
    setinfo.open(QIODevice::WriteOnly);
    setinfo.write(QByteArray::number(languageId));
    setinfo.close();

    InstanceGuard guard;
    const StartupResult r = RunStartup(home.filePath("Documents"), TextTable::current(), guard);
    EXPECT_EQ(r.outcome, StartupOutcome::Ready);
    MainWindowOptions options;
    options.showWelcome = false;
    TECGMain window(r.state, options);
    window.FormCreate();

    QList<Measured> all;
    const auto add = [&all](const QString& name, const QList<TextFit>& fits) {
        for (const TextFit& f : fits)
            all.append({name, f});
    };
    add("ECGMain", MeasureSlotTexts(window));
    TAbout about(&window);
    add("About", MeasureSlotTexts(about));
    TWelcome welcome(nullptr, 500);
    add("Welcome", MeasureSlotTexts(welcome));

    // A recorder holding 99 recordings; the windows only show what it reported.
    device::DeviceJobBoard board;
    board.infoBlock.deviceId = 0x0012AB34;
    board.infoBlock.firmwareVersion = 12000;
    board.infoBlock.factorA = 250;
    board.infoBlock.factorB = 30;
    board.infoBlock.bytesStored = 99 * 250 * 30 * 2;
    device::QtDeviceEnvironment env;
    TSetting setting(board.infoBlock, board, env);
    add("Setting", MeasureSlotTexts(setting));
    TDownload download(board, env, languageId);
    add("Download", MeasureSlotTexts(download));
    UploadDialogSetup upload;
    // Ten or more recordings: a two-digit count beside the size.
    for (int i = 0; i < 12; ++i)
        upload.recordings.append(home.filePath(QStringLiteral("r%1.ecg").arg(i)));
    upload.heartletIni = home.filePath("heartlet.ini");
    upload.languageId = languageId;
    TUpload uploadDialog(upload);
    add("Upload", MeasureSlotTexts(uploadDialog));
    TIdPwd account(home.filePath("heartlet.ini"));
    add("IdPwd", MeasureSlotTexts(account));
    // The registration note's four lines come from the table's extra texts.
    for (const QLabel* line : {account.RegisterLinkLabel, account.RegisterLabel, account.RegisterLabel1,
                               account.RegisterLabel2}) {
        TextFit fit;
        fit.control = line->objectName();
        fit.text = line->text();
        fit.width = line->fontMetrics().horizontalAdvance(fit.text);
        fit.room = account.width() - line->x() - 6;
        add("IdPwd", {fit});
    }
    UpgradeDialogSetup upgrade;
    upgrade.heartletIni = home.filePath("heartlet.ini");
    upgrade.settingsFolder = home.path() + "/";
    upgrade.languageId = languageId;
    upgrade.board = &board;
    TUpgrade upgradeDialog(upgrade);
    add("Upgrade", MeasureSlotTexts(upgradeDialog));
    // The status line while the recorder takes its new firmware.
    upgradeDialog.lblUpgrade->setText(WordOf(Word::UpgradeFlashing));
    upgradeDialog.lblUpgrade->adjustSize();
    add("Upgrade", {LabelFit(*upgradeDialog.lblUpgrade, Word::UpgradeFlashing)});
    TSelectPath selectPath(&window);
    add("SelectPath", {LabelFit(*selectPath.TitleMsg, Word::SelectPathTitle)});

    // A recorder reporting an absurd count: its words take the place of the file line.
    device::DeviceJobBoard absurd;
    absurd.infoBlock = board.infoBlock;
    absurd.infoBlock.bytesStored = 4000000000u;
    TDownload refused(absurd, env, languageId);
    add("Download", {LabelFit(*refused.FileLabel, Word::DownloadTooManyListed)});

    TMessageBoxForm::setModalRunner([&](TMessageBoxForm& box) {
        add("MessageBox", MeasureSlotTexts(box));
        box.clickButton(MsgButton::OK);
    });
    window.messageBox()->ShowMessageBox(TextOf(164), MsgKind::Information, languageId,
                                        {MsgButton::OK, MsgButton::Cancel});
    for (const Word word : kMessageWords) {
        TMessageBoxForm::setModalRunner([&](TMessageBoxForm& box) {
            add("MessageBox", {MessageFit(box, word)});
            box.clickButton(MsgButton::OK);
        });
        window.messageBox()->ShowMessageBox(WithSampleValues(WordOf(word)), MsgKind::Information, languageId,
                                            {MsgButton::OK});
    }
    TMessageBoxForm::setModalRunner({});
    window.close();
    return all;
}

TEST(TextFit, EveryTextOfEveryLanguageFitsItsControl)
{
    TestApp();
    QTextStream out(stdout);
    int misfits = 0;
    const bool printAll = qEnvironmentVariableIsSet("TALMON_FIT_ALL");  // every measure, not only misfits
    for (int id : TextTable::kLanguages) {
        const QList<Measured> measured = MeasureLanguage(id);
        // Every window contributes, so a control that stops noting its slot is noticed.
        EXPECT_GE(measured.size(), 20) << id;
        for (const Measured& m : measured) {
            if (m.fit.fits() && !printAll)
                continue;
            misfits += !m.fit.fits();
            out << (m.fit.fits() ? "fits " : "TEXT-FIT ") << id;
            if (m.fit.word.isEmpty())
                out << " slot " << m.fit.slot;
            else
                out << " word " << m.fit.word;
            out << ' ' << m.window << '.' << m.fit.control << " \""
                << m.fit.text << "\" width " << m.fit.width << " room " << m.fit.room << '\n';
        }
    }
    out.flush();
    EXPECT_EQ(misfits, 0) << "the lines starting TEXT-FIT above name each text";
}

}  // namespace
