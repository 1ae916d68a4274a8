#pragma once
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// What a node of the data list stands for.
enum class DataNodeKind { Root, Device, Month, Day, Recording, FlatFile };

// One node of the data list: the root "Data", a device, month or day folder,
// or a recording file. Paths have any length.
struct DataNode {
    DataNodeKind kind = DataNodeKind::Root;
    QString caption;
    int image = 1;   // 1 folder picture, 2 recording picture
    QString path;    // full path of the folder or file; empty for the root
    bool checked = false;
    bool expanded = false;
    uint64_t id = 0;  // stable while the node lives (for views)
    DataNode* parent = nullptr;
    std::vector<std::unique_ptr<DataNode>> children;
};

// The tree behind the data list, without widgets. Tree order (pre-order,
// root first) is the order of the nodes' absolute indexes.
class DataListModel {
public:
    DataListModel();

    DataNode& root() { return *root_; }
    const DataNode& root() const { return *root_; }

    // Deletes every node below the root.
    void clear();
    // Appends a node as the last child of `parent`.
    DataNode* addChild(DataNode* parent, DataNodeKind kind, const QString& caption, int image, const QString& path);
    // Removes a node (never the root) with everything below it. A selection
    // inside it moves to the node's next sibling, else to its parent.
    void remove(DataNode* node);

    // A refill that keeps the nodes still wanted: between beginRefill and
    // endRefill, the children of a node are detached and the ones kept are
    // reattached in their new order (ids stay), new ones added; the node
    // count is made right at the end. The selection is cleared.
    void beginRefill();
    std::vector<std::unique_ptr<DataNode>> detachChildren(DataNode* parent);
    DataNode* reattach(DataNode* parent, std::unique_ptr<DataNode> node);
    void endRefill();

    std::vector<DataNode*> nodesInOrder();
    DataNode* findById(uint64_t id);
    int nodeCount() const { return count_; }

    DataNode* selected() const { return selected_; }
    void select(DataNode* node) { selected_ = node; }

    bool anyChecked() const;
    // Sets the check state of a node and of all its descendants.
    static void setCheckedDeep(DataNode* node, bool checked);

    // Bumped on every structural change, so that a view knows to refill.
    uint64_t revision() const { return revision_; }

private:
    std::unique_ptr<DataNode> root_;
    DataNode* selected_ = nullptr;
    uint64_t nextId_ = 1;
    uint64_t revision_ = 0;
    int count_ = 1;
};

// Captions of the levels.
QString DeviceCaption(const QString& deviceFolder);  // "ID : 0000A1F3"
QString MonthCaption(const QString& monthFolder);    // "2013 / 05"
QString TimeCaption(const QString& timeFileName);    // "14:25:30" from "142530.edf"

// Entries of a folder sorted by name (case-insensitively, then exactly), "."
// and ".." left out; symbolic links and special files are not considered.
struct FolderEntry {
    QString name;
    bool isFolder = false;
};
std::vector<FolderEntry> ListFolder(const QString& folder);

// Tries to remove every sub-folder (only an empty one goes), then descends
// into it; so a chain of empty folders loses one level per call.
void RemoveEmptyFolders(const QString& folder);

// Adds the nodes of the library below `parent`: device folders of 8
// characters at depth 1, month folders of 6 at depth 2, day folders of 2 at
// depth 3, files of 10 characters ending in ".edf" at depth 4; everything
// else is ignored with all it holds.
void AddRecordingNodes(DataListModel& model, const QString& folder, DataNode* parent, int depth = 0);

// Clears the list and refills it from the data folder (empty folders are
// removed first). A missing folder yields the root alone. Nodes whose folder
// or file is still there are kept (unticked and folded), keeping their ids.
void RebuildDataList(DataListModel& model, const QString& dataFolder);

// Selects and expands the node of a newly stored recording; returns false
// (selection unchanged) when one of the captions is not found in order.
bool SelectNewRecording(DataListModel& model, const QString& deviceId, const QString& month, const QString& day,
                        const QString& time);

// Removes day nodes without children (and their folder when it is empty),
// then month nodes and device nodes left without children.
void PruneEmptyNodes(DataListModel& model);

// Flat listing of every file whose name contains ".edf" below `folder`.
void ListFolderFlat(DataListModel& model, const QString& folder, DataNode* parent);
