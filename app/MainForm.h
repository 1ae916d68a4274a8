#pragma once
#include "app/LanguageChoice.h"
#include "app/Startup.h"

#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QMenu;
class QAction;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QTimer;
class QTreeWidget;
class QUrl;
class SkinPicture;
class SkinPictureButton;
class TMessageBoxForm;
class DeviceServices;
class RecordingLibrary;
class DataListView;
class ChartController;
class UploadController;
class UpgradeController;
class ReportController;
struct EdfProblem;

// How the main window reaches the outside world; tests replace these.
struct MainWindowOptions {
    bool showWelcome = true;
    int welcomeTickMs = 500;                   // TWelcome's Timer1 interval
    QString programFolder;                     // where the help documents lie; empty: the program file's folder
    std::function<bool(const QUrl&)> openUrl;  // empty: the desktop's "open" (QDesktopServices)
    std::function<QString()> chooseRecordingFile;           // empty: a file dialog; "" = cancelled
    std::function<std::optional<QString>()> chooseFolder;  // empty: TSelectPath; nullopt = cancelled
};

// The program's only main window: a borderless 1025 x 660 skinned window with
// the chart on the left, the data list and note on the right and the command
// buttons at the bottom. Construction shapes and fills the window; FormCreate
// finishes start-up from what RunStartup found; closing runs FormClose.
class TECGMain : public QWidget {
    Q_OBJECT
public:
    static constexpr char kCaption[] = "Talmon ECG Manager";
    static constexpr char kHomePage[] = "https://www.talmon-ecg.example/";

    explicit TECGMain(const StartupState& state, MainWindowOptions options = {}, QWidget* parent = nullptr);
    ~TECGMain() override;

    // The recorder side; attach before FormCreate, which starts its worker.
    void attachDevice(DeviceServices* services) { device_ = services; }
    RecordingLibrary* library() const { return library_.get(); }
    DataListView* dataListView() const { return dataListView_; }
    ChartController* chart() const { return chart_; }
    // The Upload and Account commands.
    UploadController* uploadController() const { return upload_; }
    // The hidden Upgrade command (engineering button "UpgradeBtn").
    UpgradeController* upgradeController() const { return upgrade_; }
    void UpgradeBtnClick();
    // Engineering mode: the hidden service controls in a tool window, Upload and Account in their places.
    void ShowEngineeringControls();
    ReportController* report() const { return report_; }

    // The rest of start-up on the window: language positions and captions, the
    // message box, the data-list layout toggle, the welcome window, the monitor timer.
    void FormCreate();

    const AppPaths& paths() const { return state_.paths; }
    int languageId() const { return state_.languageId; }
    const QString& languageText() const { return state_.languageText; }
    // The chart paper colour: "1" pink, anything else green; stored as COLOR at close.
    const QString& chartColour() const { return ChartColour; }
    void setChartColour(const QString& colour);
    TMessageBoxForm* messageBox() const { return MsgBox; }
    // The help document the Help command opens for the current language.
    QString helpDocumentPath() const;
    // A control of the window by its layout name (for the parts that attach to it).
    template <typename T> T* control(const char* name) const { return findChild<T*>(QLatin1String(name)); }

    // Controls that other parts attach to.
    SkinPicture* bgImage = nullptr;
    SkinPictureButton *CloseBtn = nullptr, *MinBtn = nullptr, *Internet = nullptr, *CtlImg = nullptr;
    SkinPictureButton *ZoomOut = nullptr, *ZoomIn = nullptr, *Recover = nullptr, *ECGColor = nullptr;
    SkinPictureButton *Download = nullptr, *Settings = nullptr, *Printer1 = nullptr, *About = nullptr,
                      *Delete = nullptr, *Upload = nullptr, *Help = nullptr, *Account = nullptr;
    SkinPicture *LeadImage = nullptr, *ECGChart1 = nullptr, *ECGChart2 = nullptr, *ECGChart3 = nullptr,
                *ECGChart4 = nullptr, *Connected = nullptr, *HRImage = nullptr, *UnstableImg = nullptr;
    SkinPicture *OK = nullptr, *Slow = nullptr, *Fast = nullptr, *Pause = nullptr, *Rhythm = nullptr,
                *Waveform = nullptr;  // Waveform is hidden in the layout
    SkinPicture *DataListImage = nullptr, *FileInfoImage = nullptr, *ChgImg = nullptr;
    QLabel *RecordDataLabel = nullptr, *RecordDate = nullptr, *ConnLabe = nullptr, *HRLabel = nullptr,
           *HeartRate = nullptr, *bpmLabel = nullptr, *DeviceIDLabel = nullptr, *DataListLabel = nullptr,
           *RecordInfoLabel = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    QLabel* mVImage = nullptr;
    QLabel* ECGChart = nullptr;  // the chart surface; the chart renderer draws into it
    QWidget* ShowPanel = nullptr;
    QTreeWidget* DataList = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* MenuDelete = nullptr;
    QTimer* Timer1 = nullptr;  // the monitor timer, 1000 ms

signals:
    // Emitted by FormClose after CTL and COLOR are stored, before the window goes:
    // the place to stop the device worker and release the open recording.
    void closing();

public slots:
    // Commands; those whose features arrive later do nothing yet.
    void DownloadClick();
    void SettingsClick();
    void Printer1Click();
    void AboutClick();
    void DeleteClick();
    void UploadClick();
    void HelpClick();
    void AccountClick();
    void InternetClick();
    void CloseBtnClick();
    void MinBtnClick();
    void CtlImgClick();
    void ZoomInClick();
    void ZoomOutClick();
    void RecoverClick();
    void ECGColorClick();
    void DataListClick();
    void MenuDeleteClick();
    void Memo1Change();
    void MonitorTimer();
    // A hidden engineering control was pressed (by its layout name).
    void EngineeringClick(const QString& name);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindowControls();
    void buildShowPanel();
    void buildScrollBox();
    void buildEngineeringControls();
    void nameWindowPictures();
    void orderTabStops();
    void applyLeftEdges(const QList<LeftEdge>& edges);
    void applyListHeight(int listHeight);
    void runLayoutToggle();
    void updateCtlLooks();
    void FormClose();
    void attachLibrary();
    void startDevice();
    void showLibraryState();
    void showRefusal(const EdfProblem& problem, const QString& path);
    int askInMessageBox(const QString& english, bool withCancel);
    void runBatchComparison();
    void runSamplingConversion();
    void chooseOtherFolder();
    void eraseRecorder();

    StartupState state_;
    MainWindowOptions options_;
    QString ChartColour;
    TMessageBoxForm* MsgBox = nullptr;
    bool closed_ = false;
    DeviceServices* device_ = nullptr;
    std::unique_ptr<RecordingLibrary> library_;
    DataListView* dataListView_ = nullptr;
    ChartController* chart_ = nullptr;
    UploadController* upload_ = nullptr;
    UpgradeController* upgrade_ = nullptr;
    ReportController* report_ = nullptr;
};
