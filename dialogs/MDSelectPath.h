#pragma once
#include "dialogs/MDBase.h"

#include <optional>

class QComboBox;
class QFileSystemModel;
class QPushButton;
class QTreeView;
class SkinPicture;

// The engineering folder chooser of the hidden "Path" button: a skinned
// 416 x 500 window with a volume box bound to a folder list, OK and Cancel.
// OK keeps the folder shown in the list; Cancel and the close picture keep
// nothing.
class TSelectPath : public TBaseForm {
    Q_OBJECT
public:
    explicit TSelectPath(QWidget* parent = nullptr, const QString& startFolder = {});

    // The folder OK stored, or empty.
    const QString& chosenFolder() const { return chosen_; }
    // The folder the list shows now.
    QString shownFolder() const;
    void showFolder(const QString& folder);

    // Shows the dialog modally; the chosen folder, or nullopt on Cancel.
    static std::optional<QString> Choose(QWidget* parent, const QString& startFolder = {});

    SkinPicture* BGImage;
    QComboBox* DriveComboBox1;
    QTreeView* DirectoryListBox1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void OKBtnClick();
    void DriveComboBox1Change(int index);

    QFileSystemModel* folders_;
    QString chosen_;
};
