#include "about_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "capabilities.h"
#include "engine/format_table.h"

namespace translator::ui {

QString NetworkTypes(const QString& readable, const QString& writable) {
    if (!readable.isEmpty()) {
        return writable.isEmpty() ? "(Read Only) " + readable : readable;
    }
    return writable.isEmpty() ? QString() : "(Write Only) " + writable;
}

AboutDlg::AboutDlg(const TranslatorEngine& engine, QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Veltrix File Translator");
    auto* name = new QLabel("Veltrix File Translator 1.0");
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    auto* table = new QTreeWidget;
    table->setObjectName("formats");
    table->setRootIsDecorated(false);
    table->setHeaderLabels({"Analzyer Name", "Short Name", "Default Suffix", "Network Type"});
    const int widths[] = {200, 70, 80, 800};
    // The headings stay readable where the font is wider than the pixel widths allow.
    for (int column = 0; column < 4; ++column) {
        table->setColumnWidth(column,
                              std::max(widths[column], table->header()->sectionSizeHint(column)));
    }
    for (int id = 1; id < kFormatCount; ++id) {
        if (engine.ReaderOf(id) == nullptr && engine.WriterOf(id) == nullptr) {
            continue;
        }
        const QString types =
            NetworkTypes(QString::fromStdString(SupportedInterfaces(engine, id, false)),
                         QString::fromStdString(SupportedInterfaces(engine, id, true)));
        new QTreeWidgetItem(table, {FormatName(id), FormatCode(id), FormatExtension(id), types});
    }
    auto* ok = new QPushButton("&OK");
    ok->setObjectName("ok");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addSpacing(8);
    layout->addWidget(new QLabel("Suppported Protocol Analyzer and Topologies "));
    layout->addWidget(table);
    layout->addLayout(buttons);
    resize(820, 360);
}

}  // namespace translator::ui
