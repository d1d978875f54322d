#include "folder_chooser.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "message_boxes.h"

namespace translator::ui {

namespace {

bool IsValidComponent(const QString& component) {
    static const QString kEdges = " \t.";
    static const QString kForbidden = "\"*/:<>?\\|";
    if (component.isEmpty() || kEdges.contains(component.front()) ||
        kEdges.contains(component.back())) {
        return false;
    }
    for (const QChar c : component) {
        if (kForbidden.contains(c)) {
            return false;
        }
    }
    return true;
}

// The path without one trailing "/", except for the root itself.
QString WithoutTrailingSlash(const QString& path) {
    return path.size() > 1 && path.endsWith('/') ? path.chopped(1) : path;
}

QString Message(const char* format, const QString& path) {
    return QString::fromLatin1(format).arg(path);
}

}  // namespace

bool IsValidFolderPath(const QString& text) {
    const QString path = WithoutTrailingSlash(text);
    if (!path.startsWith('/')) {
        return false;
    }
    if (path == "/") {
        return true;
    }
    for (const QString& component : path.mid(1).split('/')) {
        if (!IsValidComponent(component)) {
            return false;
        }
    }
    return true;
}

FolderChooserDlg::FolderChooserDlg(const QString& folder, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Select Folder");
    const QString start = QDir(folder.isEmpty() ? QDir::currentPath() : folder).absolutePath();
    path_ = new QLineEdit(start);
    path_->setObjectName("path");
    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    model_->setRootPath("/");
    tree_ = new QTreeView;
    tree_->setObjectName("folders");
    tree_->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column) {
        tree_->hideColumn(column);
    }
    tree_->header()->hide();
    auto* buttons = new QDialogButtonBox;
    ok_ = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    ok_->setObjectName("ok");
    buttons->addButton("Cancel", QDialogButtonBox::RejectRole)->setObjectName("cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &FolderChooserDlg::TreeChanged);
    const QModelIndex current = model_->index(start);
    if (current.isValid()) {
        tree_->setCurrentIndex(current);
        tree_->scrollTo(current);
        // The tree fills and sorts in the background; keep the start folder in
        // view once each folder has settled.
        connect(
            model_, &QFileSystemModel::directoryLoaded, this,
            [this] { tree_->scrollTo(tree_->currentIndex(), QAbstractItemView::EnsureVisible); },
            Qt::QueuedConnection);
    }
    path_->setText(start);
    ok_->setEnabled(start.startsWith('/'));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(path_);
    layout->addWidget(tree_);
    layout->addWidget(buttons);
    resize(420, 460);
}

void FolderChooserDlg::TreeChanged() {
    const QString folder = model_->filePath(tree_->currentIndex());
    path_->setText(folder);
    ok_->setEnabled(folder.startsWith('/'));
}

bool FolderChooserDlg::CreateFolder(const QString& path) {
    QString partial;
    for (const QString& component : path.mid(1).split('/')) {
        partial += "/" + component;
        if (!QFileInfo(partial).isDir() && !QDir().mkdir(partial)) {
            return false;
        }
    }
    return true;
}

void FolderChooserDlg::accept() {
    const QString path = WithoutTrailingSlash(path_->text());
    if (!IsValidFolderPath(path)) {
        Boxes().Inform(this, Message("The folder:\n\n%1\n\nis invalid. Please reenter.", path));
        return;
    }
    if (!QFileInfo(path).isDir()) {
        if (!Boxes().Ask(this, Message("The folder:\n\n%1\n\ndoes not exist. Do you want the "
                                       "folder to be created?",
                                       path))) {
            return;
        }
        if (!CreateFolder(path)) {
            Boxes().Inform(
                this,
                Message("The folder:\n\n%1\n\ncan not be created. Please double check.", path));
            return;
        }
    }
    folder_ = path;
    QDialog::accept();
}

}  // namespace translator::ui
