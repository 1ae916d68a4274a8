#include "store/DataListModel.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

DataListModel::DataListModel() : root_(std::make_unique<DataNode>())
{
    root_->kind = DataNodeKind::Root;
    root_->caption = QStringLiteral("Data");
    root_->image = 1;
    root_->id = nextId_++;
}

void DataListModel::clear()
{
    root_->children.clear();
    count_ = 1;
    selected_ = nullptr;
    ++revision_;
}

DataNode* DataListModel::addChild(DataNode* parent, DataNodeKind kind, const QString& caption, int image,
                                  const QString& path)
{
    auto node = std::make_unique<DataNode>();
    node->kind = kind;
    node->caption = caption;
    node->image = image;
    node->path = path;
    node->parent = parent;
    node->id = nextId_++;
    DataNode* raw = node.get();
    parent->children.push_back(std::move(node));
    ++count_;
    ++revision_;
    return raw;
}

namespace {

int countDeep(const DataNode* node)
{
    int n = 1;
    for (const auto& c : node->children) n += countDeep(c.get());
    return n;
}

bool contains(const DataNode* ancestor, const DataNode* node)
{
    for (; node; node = node->parent)
        if (node == ancestor) return true;
    return false;
}

void collect(DataNode* node, std::vector<DataNode*>& out)
{
    out.push_back(node);
    for (auto& c : node->children) collect(c.get(), out);
}

bool anyCheckedDeep(const DataNode* node)
{
    if (node->checked) return true;
    return std::any_of(node->children.begin(), node->children.end(),
                       [](const auto& c) { return anyCheckedDeep(c.get()); });
}

DataNode* findDeep(DataNode* node, uint64_t id)
{
    if (node->id == id) return node;
    for (auto& c : node->children)
        if (DataNode* f = findDeep(c.get(), id)) return f;
    return nullptr;
}

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

}  // namespace

void DataListModel::remove(DataNode* node)
{
    if (!node || !node->parent) return;
    auto& siblings = node->parent->children;
    const auto at = std::find_if(siblings.begin(), siblings.end(), [&](const auto& c) { return c.get() == node; });
    if (selected_ && contains(node, selected_)) {
        // As the tree control does: the selection moves to the next sibling,
        // else to the parent, so that the click that follows a delete opens
        // what is left instead of keeping the removed recording on show.
        selected_ = std::next(at) != siblings.end() ? std::next(at)->get() : node->parent;
    }
    count_ -= countDeep(node);
    siblings.erase(at);
    ++revision_;
}

std::vector<DataNode*> DataListModel::nodesInOrder()
{
    std::vector<DataNode*> out;
    out.reserve(static_cast<size_t>(count_));
    collect(root_.get(), out);
    return out;
}

DataNode* DataListModel::findById(uint64_t id)
{
    return findDeep(root_.get(), id);
}

bool DataListModel::anyChecked() const
{
    return anyCheckedDeep(root_.get());
}

void DataListModel::setCheckedDeep(DataNode* node, bool checked)
{
    node->checked = checked;
    for (auto& c : node->children) setCheckedDeep(c.get(), checked);
}

QString DeviceCaption(const QString& deviceFolder)
{
    return QStringLiteral("ID : ") + deviceFolder;
}

QString MonthCaption(const QString& monthFolder)
{
    return monthFolder.left(4) + QStringLiteral(" / ") + monthFolder.mid(4, 2);
}

QString TimeCaption(const QString& timeFileName)
{
    return timeFileName.left(2) + QLatin1Char(':') + timeFileName.mid(2, 2) + QLatin1Char(':') + timeFileName.mid(4, 2);
}

std::vector<FolderEntry> ListFolder(const QString& folder)
{
    std::vector<FolderEntry> entries;
    const QByteArray encoded = QFile::encodeName(folder);
    DIR* dir = opendir(encoded.constData());
    if (!dir) return entries;
    while (const dirent* e = readdir(dir)) {
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        unsigned char type = e->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st {};
            const QByteArray full = encoded + '/' + name;
            if (lstat(full.constData(), &st) != 0) continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type != DT_DIR && type != DT_REG) continue;
        entries.push_back({QFile::decodeName(name), type == DT_DIR});
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        const int c = a.name.compare(b.name, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return entries;
}

void RemoveEmptyFolders(const QString& folder)
{
    for (const FolderEntry& e : ListFolder(folder)) {
        if (!e.isFolder) continue;
        const QString sub = joined(folder, e.name);
        if (QDir().rmdir(sub)) continue;
        RemoveEmptyFolders(sub);
    }
}

void AddRecordingNodes(DataListModel& model, const QString& folder, DataNode* parent, int depth)
{
    ++depth;
    for (const FolderEntry& e : ListFolder(folder)) {
        const qsizetype len = e.name.size();
        if (e.isFolder) {
            DataNodeKind kind;
            QString caption;
            if (depth == 1 && len == 8) {
                kind = DataNodeKind::Device;
                caption = DeviceCaption(e.name);
            } else if (depth == 2 && len == 6) {
                kind = DataNodeKind::Month;
                caption = MonthCaption(e.name);
            } else if (depth == 3 && len == 2) {
                kind = DataNodeKind::Day;
                caption = e.name;
            } else {
                continue;
            }
            const QString sub = joined(folder, e.name);
            DataNode* node = model.addChild(parent, kind, caption, 1, sub);
            AddRecordingNodes(model, sub, node, depth);
        } else if (depth == 4 && len == 10 && e.name.endsWith(QLatin1String(".edf"))) {
            model.addChild(parent, DataNodeKind::Recording, TimeCaption(e.name), 2, joined(folder, e.name));
        }
    }
}

namespace {

// RemoveEmptyFolders and AddRecordingNodes in one walk: each folder is listed
// once, its empty sub-folders are removed before anything below is looked at
// (as the separate passes do), and nodes are added only along the folders
// whose names fit their depth; `parent` is null where nothing is listed.
void scanLibrary(DataListModel& model, const QString& folder, DataNode* parent, int depth)
{
    ++depth;
    for (const FolderEntry& e : ListFolder(folder)) {
        const qsizetype len = e.name.size();
        const QString path = joined(folder, e.name);
        if (e.isFolder) {
            if (QDir().rmdir(path)) continue;
            DataNode* node = nullptr;
            if (parent && depth == 1 && len == 8)
                node = model.addChild(parent, DataNodeKind::Device, DeviceCaption(e.name), 1, path);
            else if (parent && depth == 2 && len == 6)
                node = model.addChild(parent, DataNodeKind::Month, MonthCaption(e.name), 1, path);
            else if (parent && depth == 3 && len == 2)
                node = model.addChild(parent, DataNodeKind::Day, e.name, 1, path);
            scanLibrary(model, path, node, depth);
        } else if (parent && depth == 4 && len == 10 && e.name.endsWith(QLatin1String(".edf"))) {
            model.addChild(parent, DataNodeKind::Recording, TimeCaption(e.name), 2, path);
        }
    }
}

}  // namespace

void RebuildDataList(DataListModel& model, const QString& dataFolder)
{
    model.clear();
    scanLibrary(model, dataFolder, &model.root(), 0);
}

bool SelectNewRecording(DataListModel& model, const QString& deviceId, const QString& month, const QString& day,
                        const QString& time)
{
    const QString wanted[] = {DeviceCaption(deviceId), MonthCaption(month), day, TimeCaption(time)};
    const std::vector<DataNode*> nodes = model.nodesInOrder();
    size_t from = 0;
    DataNode* found = nullptr;
    for (const QString& caption : wanted) {
        found = nullptr;
        for (size_t i = from; i < nodes.size(); ++i) {
            if (nodes[i]->caption == caption) {
                found = nodes[i];
                from = i + 1;
                break;
            }
        }
        if (!found) return false;
    }
    model.select(found);
    found->expanded = true;
    for (DataNode* p = found->parent; p; p = p->parent) p->expanded = true;
    return true;
}

void PruneEmptyNodes(DataListModel& model)
{
    // A node without children goes, and its folder with it when empty.
    auto pruneIfEmpty = [&](DataNode* node) {
        if (!node->children.empty()) return false;
        if (!node->path.isEmpty()) QDir().rmdir(node->path);
        model.remove(node);
        return true;
    };
    DataNode& root = model.root();
    for (size_t d = 0; d < root.children.size();) {
        DataNode* device = root.children[d].get();
        if (!device->caption.contains(QLatin1String("ID"))) {
            ++d;
            continue;
        }
        for (size_t m = 0; m < device->children.size();) {
            DataNode* month = device->children[m].get();
            if (!month->caption.contains(QLatin1Char('/'))) {
                ++m;
                continue;
            }
            for (size_t dd = 0; dd < month->children.size();) {
                DataNode* dayNode = month->children[dd].get();
                if (dayNode->caption.size() == 2 && pruneIfEmpty(dayNode)) continue;
                ++dd;
            }
            if (pruneIfEmpty(month)) continue;
            ++m;
        }
        if (pruneIfEmpty(device)) continue;
        ++d;
    }
}

void ListFolderFlat(DataListModel& model, const QString& folder, DataNode* parent)
{
    DataNode* current = parent;
    bool first = true;
    for (const FolderEntry& e : ListFolder(folder)) {
        const QString path = joined(folder, e.name);
        if (e.isFolder) {
            ListFolderFlat(model, path, current);
        } else if (e.name.contains(QLatin1String(".edf"))) {
            // The first file hangs below the parent; later ones become its siblings.
            DataNode* under = first ? current : current->parent;
            DataNode* node = model.addChild(under, DataNodeKind::FlatFile, e.name, 2, path);
            if (first) current = node;
            first = false;
        }
    }
}
