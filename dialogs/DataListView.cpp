#include "dialogs/DataListView.h"

#include "art/Pictures.h"
#include "lang/Words.h"
#include "store/RecordingLibrary.h"

#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTreeWidget>

namespace {

// Sets the check state of an item's descendants (the model already did the same).
void checkDescendants(QTreeWidgetItem* item, Qt::CheckState state)
{
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        child->setCheckState(0, state);
        checkDescendants(child, state);
    }
}

}  // namespace

DataListView::DataListView(QTreeWidget* tree, RecordingLibrary& library, QObject* parent)
    : QObject(parent), tree_(tree), library_(library)
{
    // The list's own pictures; the style's when they are missing.
    const QPixmap folder = LoadPicture(QStringLiteral("image\\Tree-ic01.bmp"));
    const QPixmap recording = LoadPicture(QStringLiteral("image\\Tree-ic02.bmp"));
    const QStyle* style = tree_->style();
    icons_[1] = folder.isNull() ? style->standardIcon(QStyle::SP_DirIcon) : QIcon(folder);
    icons_[2] = recording.isNull() ? style->standardIcon(QStyle::SP_FileIcon) : QIcon(recording);
    connect(tree_, &QTreeWidget::itemChanged, this, &DataListView::onItemChanged);
    connect(tree_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { onItemClicked(item); });
    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        populate(item);
        if (DataNode* n = nodeOf(item)) n->expanded = true;
    });
    connect(tree_, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        if (DataNode* n = nodeOf(item)) n->expanded = false;
    });
    tree_->installEventFilter(this);
    viewport_ = tree_->viewport();
    viewport_->installEventFilter(this);
}

void DataListView::setIcons(const QIcon& folder, const QIcon& recording)
{
    icons_[1] = folder;
    icons_[2] = recording;
    Fill();
}

QTreeWidgetItem* DataListView::makeItem(DataNode* node, bool whole)
{
    auto* item = new QTreeWidgetItem();
    item->setText(0, node->kind == DataNodeKind::Root ? WordOf(Word::DataListRoot) : node->caption);
    item->setIcon(0, icons_[node->image == 2 ? 2 : 1]);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, node->checked ? Qt::Checked : Qt::Unchecked);
    items_.insert(node, item);
    nodes_.insert(item, node);
    if (node->children.empty()) return item;
    if (!whole) {
        // The children come when the node is expanded; until then it shows that it has some.
        item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        return item;
    }
    QList<QTreeWidgetItem*> children;
    children.reserve(static_cast<qsizetype>(node->children.size()));
    for (auto& child : node->children) children.append(makeItem(child.get(), true));
    item->addChildren(children);
    return item;
}

void DataListView::populate(QTreeWidgetItem* item)
{
    DataNode* node = nodeOf(item);
    if (!node || item->childCount() > 0 || node->children.empty()) return;
    const bool was = updating_;
    updating_ = true;
    QList<QTreeWidgetItem*> children;
    children.reserve(static_cast<qsizetype>(node->children.size()));
    for (auto& child : node->children) children.append(makeItem(child.get(), false));
    item->addChildren(children);
    updating_ = was;
}

QTreeWidgetItem* DataListView::itemOf(const DataNode* node)
{
    if (!node) return nullptr;
    if (QTreeWidgetItem* item = items_.value(node)) return item;
    QTreeWidgetItem* parent = itemOf(node->parent);
    if (!parent) return nullptr;
    populate(parent);
    return items_.value(node);
}

void DataListView::showExpansion(DataNode* node)
{
    QTreeWidgetItem* item = items_.value(node);
    if (node->expanded) {
        item = itemOf(node);
        if (!item) return;
        populate(item);
        if (!item->isExpanded()) item->setExpanded(true);
    } else if (item && item->isExpanded()) {
        item->setExpanded(false);
    }
    // The library expands whole chains from the root, so below a node that
    // is neither expanded nor made into items there is nothing to show.
    if (!node->expanded && (!item || item->childCount() == 0)) return;
    for (auto& child : node->children) showExpansion(child.get());
}

void DataListView::Fill()
{
    updating_ = true;
    tree_->clear();
    items_.clear();
    nodes_.clear();
    DataListModel& model = library_.model();
    // Built detached and handed over at once: one insertion for the view.
    QTreeWidgetItem* root = makeItem(&model.root(), model.nodeCount() <= wholeFillLimit_);
    tree_->addTopLevelItem(root);
    showExpansion(&model.root());
    filledRevision_ = model.revision();
    showSelection();
    updating_ = false;
}

void DataListView::Sync()
{
    if (library_.model().revision() != filledRevision_) {
        Fill();
        return;
    }
    updating_ = true;
    for (auto it = items_.cbegin(); it != items_.cend(); ++it) {
        const Qt::CheckState state = it.key()->checked ? Qt::Checked : Qt::Unchecked;
        if (it.value()->checkState(0) != state) it.value()->setCheckState(0, state);
    }
    showExpansion(&library_.model().root());
    showSelection();
    updating_ = false;
}

void DataListView::showSelection()
{
    const bool was = updating_;
    updating_ = true;
    QTreeWidgetItem* item = itemOf(library_.model().selected());
    const QSignalBlocker block(tree_);
    tree_->setCurrentItem(item);
    if (item) tree_->scrollToItem(item);
    updating_ = was;
}

void DataListView::selectInModel(QTreeWidgetItem* item)
{
    library_.model().select(nodeOf(item));
}

void DataListView::onItemChanged(QTreeWidgetItem* item, int column)
{
    if (updating_ || column != 0) return;
    DataNode* node = nodeOf(item);
    if (!node) return;
    const bool checked = item->checkState(0) == Qt::Checked;
    if (checked == node->checked) return;
    tickedInThisClick_ = true;
    library_.DataListCheckChanged(node, checked);
    updating_ = true;
    checkDescendants(item, checked ? Qt::Checked : Qt::Unchecked);
    updating_ = false;
}

void DataListView::onItemClicked(QTreeWidgetItem* item)
{
    if (tickedInThisClick_) {
        // A tick is not an opening: the selection stays where it was.
        tickedInThisClick_ = false;
        showSelection();
        return;
    }
    selectInModel(item);
    DataListClick();
}

void DataListView::DataListClick()
{
    library_.DataListClick();
    Sync();
    showMemo();
    emit nodeOpened();
}

void DataListView::DeleteClick()
{
    library_.DeleteClick();
    Sync();
    showMemo();
    emit nodeOpened();
}

bool DataListView::eventFilter(QObject* watched, QEvent* event)
{
    // Compare with the pointers kept at construction: while the tree is being
    // destroyed its viewport must not be asked for.
    if (event->type() == QEvent::KeyPress && memo_ && watched == memo_) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::ControlModifier) {
            memo_->insertPlainText(QStringLiteral("\t"));
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::FocusIn && watched == tree_ && !tree_->currentItem() && tree_->topLevelItemCount()) {
        // Reached by Tab, or holding the keyboard as its window becomes active (as at
        // start), with nothing current (as after a rebuild), the list would draw no
        // focus mark: make its first item current, without selecting or opening it.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
            reason == Qt::ActiveWindowFocusReason)
            tree_->selectionModel()->setCurrentIndex(tree_->model()->index(0, 0), QItemSelectionModel::NoUpdate);
        return false;
    }
    if (event->type() == QEvent::KeyRelease && watched == tree_) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->isAutoRepeat()) return false;
        selectInModel(tree_->currentItem());
        library_.DataListKeyUp(key->key() == Qt::Key_Delete);
        Sync();
        showMemo();
        emit nodeOpened();
    } else if (event->type() == QEvent::MouseButtonPress && watched == viewport_) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        tickedInThisClick_ = false;
        if (mouse->button() == Qt::RightButton) {
            // Right-click selects the node under the pointer without opening it.
            if (QTreeWidgetItem* item = tree_->itemAt(mouse->position().toPoint())) {
                selectInModel(item);
                showSelection();
            }
            library_.DataListRightPress();
        }
    }
    return false;
}

void DataListView::bindMemo(QPlainTextEdit* memo)
{
    memo_ = memo;
    // Tab leaves the note for the next control; Ctrl+Tab types a tab.
    memo_->setTabChangesFocus(true);
    memo_->installEventFilter(this);
    connect(memo_, &QPlainTextEdit::textChanged, this, [this] { library_.Memo1Change(memo_->toPlainText()); });
    showMemo();
}

void DataListView::ShowNothingOpen()
{
    tree_->clearSelection();
    tree_->setCurrentItem(nullptr, 0, QItemSelectionModel::NoUpdate);
    showMemo();
}

void DataListView::showMemo()
{
    if (!memo_) return;
    const NoteView& note = library_.memo();
    QString text = note.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (memo_->toPlainText() != text) memo_->setPlainText(text);
    memo_->setEnabled(note.enabled);
}

void DataListView::bindMenu(QMenu* menu, QAction* menuDelete)
{
    connect(menu, &QMenu::aboutToShow, this, [this, menuDelete] {
        library_.PopupMenu1Change();
        menuDelete->setEnabled(library_.menuDeleteEnabled());
    });
    connect(menuDelete, &QAction::triggered, this, &DataListView::DeleteClick);
}
