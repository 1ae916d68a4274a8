#include "store/DataListModel.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <deque>
#include <optional>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

void DataListModel::beginRefill()
{
    selected_ = nullptr;
    ++revision_;
}

std::vector<std::unique_ptr<DataNode>> DataListModel::detachChildren(DataNode* parent)
{
    std::vector<std::unique_ptr<DataNode>> taken;
    taken.swap(parent->children);
    return taken;
}

DataNode* DataListModel::reattach(DataNode* parent, std::unique_ptr<DataNode> node)
{
    node->parent = parent;
    parent->children.push_back(std::move(node));
    return parent->children.back().get();
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

// The folder with a '/' at its end, where a name is appended.
QString withSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString joined(const QString& folder, const QString& name)
{
    QString path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    if (!folder.endsWith(QLatin1Char('/'))) path.append(QLatin1Char('/'));
    path.append(name);
    return path;
}

// Names in the order the list shows them: case-insensitively, then exactly.
// ASCII names (the library's own) are folded here; others as QString does.
int compareFolded(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x >= 0x80 || y >= 0x80) return a.compare(b, Qt::CaseInsensitive);
        if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// Lists a folder into `entries` (cleared first); `anything` tells whether the
// folder holds any entry at all, also one that is not considered. Returns
// false when the folder cannot be read.
bool listFolder(const QString& folder, std::vector<FolderEntry>& entries, bool* anything = nullptr)
{
    entries.clear();
    if (anything) *anything = false;
    const QByteArray encoded = QFile::encodeName(folder);
    // Read with one buffer on the stack: a library has thousands of small
    // folders, and opendir's own buffer per folder costs more than the reading.
    const int fd = open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    alignas(dirent64) char buffer[16384];
    for (;;) {
        const ssize_t got = getdents64(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* e = reinterpret_cast<const dirent64*>(buffer + at);
            at += e->d_reclen;
            const char* name = e->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            if (anything) *anything = true;
            unsigned char type = e->d_type;
            if (type == DT_UNKNOWN) {
                struct stat st {};
                if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
                type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
            }
            if (type != DT_DIR && type != DT_REG) continue;
            entries.push_back({QFile::decodeName(name), type == DT_DIR});
        }
    }
    close(fd);
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        const int c = compareFolded(a.name, b.name);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return true;
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

void DataListModel::endRefill()
{
    count_ = countDeep(root_.get());
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
    if (timeFileName.size() >= 6) {
        // Made in place: the list holds one of these per recording.
        QString caption(8, Qt::Uninitialized);
        QChar* out = caption.data();
        const QChar* in = timeFileName.constData();
        out[0] = in[0], out[1] = in[1], out[2] = QLatin1Char(':');
        out[3] = in[2], out[4] = in[3], out[5] = QLatin1Char(':');
        out[6] = in[4], out[7] = in[5];
        return caption;
    }
    return timeFileName.left(2) + QLatin1Char(':') + timeFileName.mid(2, 2) + QLatin1Char(':') + timeFileName.mid(4, 2);
}

std::vector<FolderEntry> ListFolder(const QString& folder)
{
    std::vector<FolderEntry> entries;
    listFolder(folder, entries);
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

// The node a sub-folder makes at a depth, by the length of its name.
std::optional<DataNodeKind> folderKind(int depth, qsizetype nameLength)
{
    if (depth == 1 && nameLength == 8) return DataNodeKind::Device;
    if (depth == 2 && nameLength == 6) return DataNodeKind::Month;
    if (depth == 3 && nameLength == 2) return DataNodeKind::Day;
    return std::nullopt;
}

// Whether `node` stands for the entry `name` of the folder whose path with
// a '/' at its end is `prefix` (compared without making the path).
bool standsFor(const DataNode& node, DataNodeKind kind, const QString& prefix, const QString& name)
{
    const QStringView path(node.path);
    return node.kind == kind && path.size() == prefix.size() + name.size() && path.endsWith(name) &&
           path.startsWith(prefix);
}

// The entries of the folders being walked, one listing per depth: kept
// across folders so that their room is reused rather than grown anew.
using Listings = std::deque<std::vector<FolderEntry>>;

// RemoveEmptyFolders and AddRecordingNodes in one walk. Each folder is listed
// once; an empty sub-folder is removed instead of being descended into (the
// same outcome as trying to remove every sub-folder first: only an empty one
// goes, and a chain of empty folders loses one level per walk). Nodes are
// made only along folders whose names fit their depth; `parent` is null where
// nothing is listed. The nodes `parent` had are taken back when their entry
// is still there, so that a rebuild of a large library mostly reuses them.
void scanLibrary(DataListModel& model, const QString& folder, Listings& listings, DataNode* parent, int depth)
{
    const std::vector<FolderEntry>& entries = listings[static_cast<size_t>(depth)];
    ++depth;
    if (listings.size() <= static_cast<size_t>(depth)) listings.emplace_back();
    std::vector<FolderEntry>& inner = listings[static_cast<size_t>(depth)];
    std::vector<std::unique_ptr<DataNode>> before;
    if (parent) {
        before = model.detachChildren(parent);
        parent->children.reserve(entries.size());
    }
    size_t next = 0;  // entries and earlier nodes are in the same order
    auto reuse = [&](DataNodeKind kind, const QString& prefix, const QString& name) -> DataNode* {
        for (size_t i = next; i < before.size(); ++i) {
            if (!standsFor(*before[i], kind, prefix, name)) continue;
            next = i + 1;
            DataNode* node = before[i].get();
            // A rebuilt list starts unticked and folded, as a new one would.
            node->checked = false;
            node->expanded = false;
            model.reattach(parent, std::move(before[i]));
            return node;
        }
        return nullptr;
    };

    const QString prefix = withSlash(folder);
    for (const FolderEntry& e : entries) {
        const qsizetype len = e.name.size();
        if (e.isFolder) {
            const QString path = joined(folder, e.name);
            bool anything = false;
            const bool listed = listFolder(path, inner, &anything);
            if ((!listed || !anything) && QDir().rmdir(path)) continue;
            DataNode* node = nullptr;
            const std::optional<DataNodeKind> kind = folderKind(depth, len);
            if (parent && kind && !(node = reuse(*kind, prefix, e.name))) {
                const QString caption = *kind == DataNodeKind::Device  ? DeviceCaption(e.name)
                                        : *kind == DataNodeKind::Month ? MonthCaption(e.name)
                                                                       : e.name;
                node = model.addChild(parent, *kind, caption, 1, path);
            }
            scanLibrary(model, path, listings, node, depth);
        } else if (parent && depth == 4 && len == 10 && e.name.endsWith(QLatin1String(".edf"))) {
            if (!reuse(DataNodeKind::Recording, prefix, e.name))
                model.addChild(parent, DataNodeKind::Recording, TimeCaption(e.name), 2, joined(folder, e.name));
        }
    }
}

}  // namespace

void RebuildDataList(DataListModel& model, const QString& dataFolder)
{
    Listings listings(1);
    listFolder(dataFolder, listings.front());
    model.beginRefill();
    scanLibrary(model, dataFolder, listings, &model.root(), 0);
    model.endRefill();
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
