#include "help.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "app/settings.h"
#include "message_boxes.h"

namespace translator::ui {

namespace {

const char kHelpFile[] = "Translator.html";
const char kWindowName[] = "helpWindow";

}  // namespace

QString HelpFilePath() {
    const QString program = QString::fromStdString(ProgramPath());
    const QDir folder = QFileInfo(program).absoluteDir();
    const QStringList candidates = {
        folder.filePath(kHelpFile),
        folder.filePath(QString("../share/veltrix-translator/") + kHelpFile),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile()) {
            return QFileInfo(candidate).canonicalFilePath();
        }
    }
    return QString();
}

void ShowHelp(QWidget* parent) {
    auto* window = parent->findChild<QDialog*>(kWindowName);
    if (window == nullptr) {
        const QString path = HelpFilePath();
        if (path.isEmpty()) {
            Boxes().Inform(parent, QString("The help file %1 cannot be found.").arg(kHelpFile));
            return;
        }
        window = new QDialog(parent);
        window->setObjectName(kWindowName);
        window->setWindowTitle("Veltrix File Translator Help");
        auto* browser = new QTextBrowser;
        browser->setObjectName("helpText");
        browser->setSource(QUrl::fromLocalFile(path));
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(browser);
        window->resize(760, 600);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace translator::ui
