#pragma once
#include <QHash>
#include <QIcon>
#include <QObject>

class QAction;
class QMenu;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;
class RecordingLibrary;
struct DataNode;

// Thin adapter between the data list's model (store/RecordingLibrary) and a
// QTreeWidget: fills the tree from the model and turns the user's clicks,
// ticks, key releases and right presses into the library's calls. Everything
// the list does is decided by the library.
class DataListView : public QObject {
    Q_OBJECT
public:
    DataListView(QTreeWidget* tree, RecordingLibrary& library, QObject* parent = nullptr);

    // Pictures of the two node kinds (1 folder, 2 recording).
    void setIcons(const QIcon& folder, const QIcon& recording);

    // Refills the whole tree from the model (after a rebuild).
    void Fill();
    // Brings the tree up to date after the library changed the model: refills
    // when nodes came or went, else updates ticks, selection and expansion.
    void Sync();

    // The note box shows the library's memo after every opening, and its
    // changes go to the library's Memo1Change.
    void bindMemo(QPlainTextEdit* memo);
    // The pop-up menu enables its Delete item as the library says, and Delete runs DeleteClick.
    void bindMenu(QMenu* menu, QAction* menuDelete);

    // The window's Delete command: the library's DeleteClick, then the tree follows.
    void DeleteClick();
    // The library's DataListClick for the selected node, then the tree follows.
    void DataListClick();

    QTreeWidgetItem* itemOf(const DataNode* node) const { return items_.value(node); }
    DataNode* nodeOf(QTreeWidgetItem* item) const { return nodes_.value(item); }

signals:
    // The library opened a node (or cleared the view): labels, data-set
    // information, memo and chart may have changed.
    void nodeOpened();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeWidgetItem* makeItem(DataNode* node);
    void onItemChanged(QTreeWidgetItem* item, int column);
    void onItemClicked(QTreeWidgetItem* item);
    void selectInModel(QTreeWidgetItem* item);
    void showSelection();
    void showMemo();

    QTreeWidget* tree_;
    QObject* viewport_ = nullptr;
    RecordingLibrary& library_;
    QPlainTextEdit* memo_ = nullptr;
    QIcon icons_[3];
    QHash<const DataNode*, QTreeWidgetItem*> items_;
    QHash<QTreeWidgetItem*, DataNode*> nodes_;
    uint64_t filledRevision_ = 0;
    bool updating_ = false;
    bool tickedInThisClick_ = false;
};
