#pragma once

#include <QDialog>
#include <QString>

class QFileSystemModel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace translator::ui {

// An absolute path whose components neither begin nor end with a blank, tab
// or "." and hold none of the characters " * / : < > ? \ |.
bool IsValidFolderPath(const QString& path);

// "Select Folder": a path field above the folder tree. OK accepts only a valid
// path, and offers to create it when it does not exist.
class FolderChooserDlg : public QDialog {
    Q_OBJECT
public:
    // Starts in folder, or in the current folder when folder is empty.
    explicit FolderChooserDlg(const QString& folder, QWidget* parent = nullptr);

    QString Folder() const { return folder_; }
    void accept() override;

private:
    void TreeChanged();
    bool CreateFolder(const QString& path);

    QLineEdit* path_;
    QTreeView* tree_;
    QFileSystemModel* model_;
    QPushButton* ok_;
    QString folder_;
};

}  // namespace translator::ui
