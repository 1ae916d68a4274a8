#pragma once
#include "store/DataListModel.h"
#include "store/FhrBlock.h"
#include "store/OpenRecording.h"
#include "store/SideFiles.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

// The data list's behaviour without widgets: rebuilding, opening the clicked
// recording, deleting ticked recordings, check-box propagation, the pop-up
// menu, the note of the open recording. The main window binds its controls
// to these calls and shows the state they leave (captions, memo, data-set
// information); everything that belongs to other parts of the program is
// reached through the hooks.
class RecordingLibrary {
public:
    struct Hooks {
        // Shows a question or notice (the English text names the text-table
        // entry) with OK, or OK and Cancel; returns 1 for OK, 2 for Cancel.
        std::function<int(const QString& text, bool withCancel)> ask;
        // The beat analysis (see OpenRecording). Without it files are not rewritten.
        AnalyseHook analyse;
        // Starts the external rhythm analyser on a recording that opened,
        // when it is present; returns the annotation file path, or empty.
        std::function<QString(const QString& recordingPath)> startExternalAnalyser;
        // Clears the charts (the data-set information is cleared here).
        std::function<void()> clearCharts;
        // Hides the gain and colour controls of the chart.
        std::function<void()> hideChartControls;
        // Prepares the chart of the recording just opened.
        std::function<void(const OpenedRecording& recording)> prepareChart;
        // Refreshes the finding pictures.
        std::function<void()> refreshFindings;
        // Tells the user why a file cannot be opened.
        std::function<void(const EdfProblem& problem, const QString& path)> refuse;
        // The folder chooser of the hidden "Path" button; nullopt on Cancel.
        std::function<std::optional<QString>()> choosePath;
    };

    RecordingLibrary(QString dataFolder, Hooks hooks);

    DataListModel& model() { return model_; }
    Hooks& hooks() { return hooks_; }
    const QString& dataFolder() const { return dataFolder_; }
    void setDataFolder(const QString& folder) { dataFolder_ = folder; }
    // The user's language: notes of the earlier program are in its code page.
    void setLanguageId(int languageId) { languageId_ = languageId; }

    // Clears and refills the list from the data folder.
    void RebuildDataList();
    // After a download: selects and expands the new recording's node.
    bool SelectNewRecording(const QString& deviceId, const QString& month, const QString& day, const QString& time);
    // Opens the selected node (recording, folder or the root).
    void DataListClick();
    // Deletes the ticked recordings after the question.
    void DeleteClick();
    void DeleteCheckedRecordings();
    // Gathers the ticked recordings for an upload (ticked, ":" in the
    // caption, ".edf" in the path), in tree order.
    void GatherCheckedRecordings();
    // After an upload: removes the gathered nodes (not the files) when the
    // upload's delete-after-upload option is set.
    void RemoveCheckedNodes(bool deleteAfterUpload);
    // The paths of the gathered nodes, in tree order.
    std::vector<QString> gatheredPaths();

    // A check box was toggled by the user: the state goes to all descendants.
    void DataListCheckChanged(DataNode* node, bool checked);
    // Right button pressed on the list: enables the menu's Delete when a node is ticked.
    void DataListRightPress();
    // The pop-up menu is about to show.
    void PopupMenu1Change();
    // A key was released on the list.
    void DataListKeyUp(bool isDeleteKey);
    // The hidden "Path" button: lists the recordings of another folder.
    void UKnowClick();

    // The memo's text changed (typing, or the program setting it).
    void Memo1Change(const QString& memoText);

    // The chart was emptied from outside the list (after the upload window):
    // the panel forgets the open recording, and the next click reopens it.
    void CloseOpenRecording();

    // The hidden display switches force the next click to reopen.
    void setReloadFlag() { reload_ = true; }
    // The 256 Hz display switch (on at start): off decimates 256/s recordings.
    void setKeep256(bool on) { keep256_ = on; }
    bool keep256() const { return keep256_; }

    // State the window shows.
    const QString& openRecordingPath() const { return openPath_; }
    const QString& annotationPath() const { return annotationPath_; }
    const QString& recordDate() const { return recordDate_; }
    const QString& recordDataLabel() const { return recordDataLabel_; }
    const DataSetInfo& dataSetInfo() const { return info_; }
    const NoteView& memo() const { return memo_; }
    bool menuDeleteEnabled() const { return menuDelete_; }
    // The open recording, or nullptr; it stays while folder nodes are clicked.
    const OpenedRecording* openRecording() const { return opened_ ? &*opened_ : nullptr; }

private:
    void PruneEmptyNodes();
    void gather(bool recordingsOnly);

    QString dataFolder_;
    Hooks hooks_;
    DataListModel model_;
    QString openPath_;
    QString annotationPath_;
    QString recordDate_;
    QString recordDataLabel_;
    QString otherFolder_;
    DataSetInfo info_;
    NoteView memo_;
    bool menuDelete_ = false;
    bool reload_ = false;
    bool keep256_ = true;
    int languageId_ = 1033;
    std::vector<uint64_t> gathered_;
    std::optional<OpenedRecording> opened_;
};

// "month/day/yyyy  hh:mm:ss" from the record's "y.m.d" and "h.m.s" texts.
QString RecordDateText(const QString& startDate, const QString& startTime);
