#include "store/RecordingLibrary.h"

#include <QFileInfo>
#include <QHash>
#include <QStringList>

namespace {

const QString kRecordedOn = QStringLiteral("Recorded on");
const QString kSelectFiles = QStringLiteral("Select the files to be deleted.");
const QString kConfirmDelete = QStringLiteral("Are you sure you want to delete the selected files?");

// Nodes by id, so that long lists of ticked nodes are found in constant time.
QHash<uint64_t, DataNode*> nodesById(DataListModel& model)
{
    QHash<uint64_t, DataNode*> byId;
    for (DataNode* n : model.nodesInOrder()) byId.insert(n->id, n);
    return byId;
}

void forgetSubtree(const DataNode* node, QHash<uint64_t, DataNode*>& byId)
{
    byId.remove(node->id);
    for (const auto& c : node->children) forgetSubtree(c.get(), byId);
}

QString pad(const QString& part, int width, const QString& prefix)
{
    return part.size() < width ? prefix.left(width - part.size()) + part : part;
}

}  // namespace

QString RecordDateText(const QString& startDate, const QString& startTime)
{
    const QStringList d = startDate.split(QLatin1Char('.'));
    const QStringList t = startTime.split(QLatin1Char('.'));
    if (d.size() != 3 || t.size() != 3) return {};
    QString year = d[0];
    if (year.size() == 1) year = QStringLiteral("200") + year;
    else if (year.size() == 2) year = QStringLiteral("20") + year;
    auto two = [](const QString& s) { return pad(s, 2, QStringLiteral("0")); };
    return two(d[1]) + QLatin1Char('/') + two(d[2]) + QLatin1Char('/') + year + QStringLiteral("  ") + two(t[0]) +
           QLatin1Char(':') + two(t[1]) + QLatin1Char(':') + two(t[2]);
}

RecordingLibrary::RecordingLibrary(QString dataFolder, Hooks hooks)
    : dataFolder_(std::move(dataFolder)), hooks_(std::move(hooks))
{
}

void RecordingLibrary::RebuildDataList()
{
    // The rebuild makes new nodes: the open (else the selected) recording is
    // found again, selected and kept in sight with its folders expanded.
    const DataNode* before = model_.selected();
    const QString keep = !openPath_.isEmpty() ? openPath_ : before ? before->path : QString();
    ::RebuildDataList(model_, dataFolder_);
    model_.root().expanded = true;
    if (keep.isEmpty()) return;
    for (DataNode* n : model_.nodesInOrder()) {
        if (n->path != keep) continue;
        model_.select(n);
        for (DataNode* p = n->parent; p; p = p->parent) p->expanded = true;
        break;
    }
}

void RecordingLibrary::CloseOpenRecording()
{
    recordDate_.clear();
    recordDataLabel_.clear();
    annotationPath_.clear();
    info_ = DataSetInfo{};
    openPath_.clear();
    // The note box belongs to the open recording: with none open there is no
    // note to show, and nothing typed could be kept.
    memo_ = NoteView{};
    reload_ = true;
    if (hooks_.clearCharts) hooks_.clearCharts();
    if (hooks_.refreshFindings) hooks_.refreshFindings();
}

bool RecordingLibrary::SelectNewRecording(const QString& deviceId, const QString& month, const QString& day,
                                          const QString& time)
{
    return ::SelectNewRecording(model_, deviceId, month, day, time);
}

void RecordingLibrary::DataListClick()
{
    DataNode* node = model_.selected();
    // The open recording clicked again (or a key that selected nothing new)
    // leaves the panel as it is: its date and annotations stay shown.
    if (node && !node->path.isEmpty() && node->path == openPath_ && !reload_) return;

    recordDate_.clear();
    recordDataLabel_.clear();
    annotationPath_.clear();
    if (!node) return;
    if (node->caption == QLatin1String("Data")) {
        info_ = DataSetInfo{};
        if (hooks_.clearCharts) hooks_.clearCharts();
        if (hooks_.refreshFindings) hooks_.refreshFindings();
        // The chart is empty now: the recording that was open is shown again
        // by the next click on it, not left as empty paper.
        reload_ = true;
    }
    const QString path = node->path;
    if (path.isEmpty()) return;
    if (path == openPath_ && !reload_) return;
    reload_ = false;
    openPath_ = path;
    if (hooks_.hideChartControls) hooks_.hideChartControls();
    info_ = DataSetInfo{};
    if (hooks_.clearCharts) hooks_.clearCharts();

    bool refused = false;
    if (path.contains(QLatin1String(".edf"))) {
        OpenedRecording opened;
        const EdfProblem problem = OpenRecording(path, hooks_.analyse, keep256_, opened);
        if (problem.ok()) {
            opened_ = std::move(opened);
            // Only a recording that opened is handed to the analyser.
            if (hooks_.startExternalAnalyser) annotationPath_ = hooks_.startExternalAnalyser(path);
            recordDate_ = RecordDateText(opened_->record.StartDate, opened_->record.StartTime);
            recordDataLabel_ = kRecordedOn;
            FillDataSetInfo(opened_->block, info_);
            if (hooks_.prepareChart) hooks_.prepareChart(*opened_);
        } else {
            // A refused file is left untouched and not shown; a second click retries.
            refused = true;
            openPath_.clear();
            if (hooks_.refuse) hooks_.refuse(problem, path);
        }
    }
    if (hooks_.refreshFindings) hooks_.refreshFindings();
    memo_ = refused ? NoteView{} : LoadNote(path, languageId_);
}

void RecordingLibrary::gather(bool recordingsOnly)
{
    gathered_.clear();
    for (DataNode* n : model_.nodesInOrder()) {
        if (!n->checked || !n->caption.contains(QLatin1Char(':'))) continue;
        if (recordingsOnly && !n->path.contains(QLatin1String(".edf"))) continue;
        gathered_.push_back(n->id);
    }
}

void RecordingLibrary::DeleteClick()
{
    gather(false);
    if (gathered_.empty()) {
        if (hooks_.ask) hooks_.ask(kSelectFiles, false);
    } else if (!hooks_.ask || hooks_.ask(kConfirmDelete, true) == 1) {
        DeleteCheckedRecordings();
    }
    menuDelete_ = false;
}

void RecordingLibrary::DeleteCheckedRecordings()
{
    QHash<uint64_t, DataNode*> byId = nodesById(model_);
    for (auto it = gathered_.rbegin(); it != gathered_.rend(); ++it) {
        DataNode* node = byId.value(*it);
        if (!node || !node->checked || !node->caption.contains(QLatin1Char(':')) ||
            !node->path.contains(QLatin1String(".edf")))
            continue;
        // A file that cannot be deleted reappears at the next rebuild.
        DeleteRecordingFiles(node->path);
        forgetSubtree(node, byId);
        model_.remove(node);
    }
    DataListClick();
    PruneEmptyNodes();
}

void RecordingLibrary::GatherCheckedRecordings()
{
    gather(true);
}

std::vector<QString> RecordingLibrary::gatheredPaths()
{
    std::vector<QString> paths;
    const QHash<uint64_t, DataNode*> byId = nodesById(model_);
    for (uint64_t id : gathered_)
        if (DataNode* n = byId.value(id)) paths.push_back(n->path);
    return paths;
}

void RecordingLibrary::RemoveCheckedNodes(bool deleteAfterUpload)
{
    QHash<uint64_t, DataNode*> byId = nodesById(model_);
    for (auto it = gathered_.rbegin(); it != gathered_.rend() && deleteAfterUpload; ++it) {
        DataNode* node = byId.value(*it);
        if (!node || !node->checked || !node->caption.contains(QLatin1Char(':')) ||
            !node->path.contains(QLatin1String(".edf")))
            continue;
        // A recording the upload kept (not delivered, or not deletable) stays listed.
        if (QFileInfo::exists(node->path))
            continue;
        forgetSubtree(node, byId);
        model_.remove(node);
    }
    DataListClick();
    PruneEmptyNodes();
}

void RecordingLibrary::PruneEmptyNodes()
{
    ::PruneEmptyNodes(model_);
}

void RecordingLibrary::DataListCheckChanged(DataNode* node, bool checked)
{
    if (node) DataListModel::setCheckedDeep(node, checked);
}

void RecordingLibrary::DataListRightPress()
{
    // Only enables; the menu's own change decides when it is about to show.
    if (model_.anyChecked()) menuDelete_ = true;
}

void RecordingLibrary::PopupMenu1Change()
{
    menuDelete_ = model_.anyChecked();
}

void RecordingLibrary::DataListKeyUp(bool isDeleteKey)
{
    if (isDeleteKey) DeleteClick();
    DataListClick();
}

void RecordingLibrary::UKnowClick()
{
    if (hooks_.choosePath) {
        if (std::optional<QString> chosen = hooks_.choosePath()) otherFolder_ = *chosen;
    }
    if (otherFolder_.isEmpty()) return;
    model_.clear();
    ListFolderFlat(model_, otherFolder_, &model_.root());
}

void RecordingLibrary::Memo1Change(const QString& memoText)
{
    ::Memo1Change(openPath_, memoText);
}
