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

    // Refills the tree from the model (after a rebuild). A list of more than
    // `wholeFillLimit` nodes gets the items of a node's children only when
    // the node is first expanded or one of them must be shown (selected, or
    // expanded by the library); a smaller one is made whole at once.
    void Fill();
    void setWholeFillLimit(int nodes) { wholeFillLimit_ = nodes; }
    static constexpr int kWholeFillLimit = 5000;
    // Brings the tree up to date after the library changed the model: refills
    // when nodes came or went, else updates ticks, selection and expansion.
    void Sync();
    // After the library closed its open recording: no entry stays highlighted
    // as if open, and the note box shows the closed state.
    void ShowNothingOpen();

    // The note box shows the library's memo after every opening, and its
    // changes go to the library's Memo1Change.
    void bindMemo(QPlainTextEdit* memo);
    // The pop-up menu enables its Delete item as the library says, and Delete runs DeleteClick.
    void bindMenu(QMenu* menu, QAction* menuDelete);

    // The window's Delete command: the library's DeleteClick, then the tree follows.
    void DeleteClick();
    // The library's DataListClick for the selected node, then the tree follows.
    void DataListClick();

    // The item of a node, made (with its siblings) when it was not yet.
    QTreeWidgetItem* itemOf(const DataNode* node);
    DataNode* nodeOf(QTreeWidgetItem* item) const { return nodes_.value(item); }

signals:
    // The library opened a node (or cleared the view): labels, data-set
    // information, memo and chart may have changed.
    void nodeOpened();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeWidgetItem* makeItem(DataNode* node, bool whole);
    // Makes the items of a node's children when they are not made yet.
    void populate(QTreeWidgetItem* item);
    // Shows the model's expansion: every expanded node gets its item expanded.
    void showExpansion(DataNode* node);
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
    int wholeFillLimit_ = kWholeFillLimit;
    bool updating_ = false;
    bool tickedInThisClick_ = false;
};
