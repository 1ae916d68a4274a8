#include "dialogs/MDSelectPath.h"

#include "dialogs/SkinPicture.h"
#include "lang/TextTable.h"
#include "lang/Words.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>

TSelectPath::TSelectPath(QWidget* parent, const QString& startFolder) : TBaseForm(parent)
{
    setObjectName("SelectPath");
    FitFrame(416, 500);
    setCanvasColour(QColor(243, 246, 248));
    setTitle(WordOf(Word::SelectPathTitle));
    TitleMsg->setStyleSheet("color: white;");

    BGImage = new SkinPicture(this, QColor(243, 246, 248));
    BGImage->setObjectName("BGImage");
    BGImage->markDecorative();
    BGImage->setGeometry(0, 0, 416, 500);
    BGImage->setPicture("image\\dlg-selectpath.bmp");
    BGImage->lower();

    // The volumes take the place of drive letters.
    DriveComboBox1 = new QComboBox(this);
    DriveComboBox1->setObjectName("DriveComboBox1");
    DriveComboBox1->setGeometry(18, 42, 380, 24);
    DriveComboBox1->addItem(QDir::homePath(), QDir::homePath());
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) continue;
        if (DriveComboBox1->findData(volume.rootPath()) < 0)
            DriveComboBox1->addItem(volume.rootPath(), volume.rootPath());
    }

    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folders_->setRootPath(QStringLiteral("/"));
    DirectoryListBox1 = new QTreeView(this);
    DirectoryListBox1->setObjectName("DirectoryListBox1");
    DirectoryListBox1->setGeometry(18, 74, 380, 366);
    DirectoryListBox1->setModel(folders_);
    DirectoryListBox1->setHeaderHidden(true);
    DirectoryListBox1->setAccessibleName(WordOf(Word::SelectPathTitle));
    for (int c = 1; c < folders_->columnCount(); ++c) DirectoryListBox1->hideColumn(c);

    OKBtn = new QPushButton(TextOf(45), this);
    OKBtn->setObjectName("OK");
    OKBtn->setGeometry(222, 455, 84, 28);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(TextOf(43), this);
    CancelBtn->setObjectName("Cancel");
    CancelBtn->setGeometry(314, 455, 84, 28);

    connect(OKBtn, &QPushButton::clicked, this, &TSelectPath::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(DriveComboBox1, &QComboBox::activated, this, &TSelectPath::DriveComboBox1Change);

    showFolder(startFolder.isEmpty() ? QDir::homePath() : startFolder);
}

QString TSelectPath::shownFolder() const
{
    const QModelIndex index = DirectoryListBox1->currentIndex();
    return index.isValid() ? folders_->filePath(index) : DirectoryListBox1->rootIndex().isValid()
                                                               ? folders_->filePath(DirectoryListBox1->rootIndex())
                                                               : QString();
}

void TSelectPath::showFolder(const QString& folder)
{
    const QModelIndex index = folders_->index(folder);
    if (!index.isValid()) return;
    // The volume box shows the volume (or home) that holds the folder.
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < DriveComboBox1->count(); ++i) {
        const QString root = DriveComboBox1->itemData(i).toString();
        const bool holds = folder == root || folder.startsWith(root.endsWith('/') ? root : root + '/');
        if (holds && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    if (best >= 0) DriveComboBox1->setCurrentIndex(best);
    DirectoryListBox1->setCurrentIndex(index);
    DirectoryListBox1->expand(index);
    DirectoryListBox1->scrollTo(index);
}

void TSelectPath::DriveComboBox1Change(int index)
{
    showFolder(DriveComboBox1->itemData(index).toString());
}

void TSelectPath::OKBtnClick()
{
    chosen_ = shownFolder();
    accept();
}

std::optional<QString> TSelectPath::Choose(QWidget* parent, const QString& startFolder)
{
    TSelectPath dialog(parent, startFolder);
    if (dialog.exec() != QDialog::Accepted || dialog.chosenFolder().isEmpty()) return std::nullopt;
    return dialog.chosenFolder();
}
