#pragma once

#include <QDialog>

#include "engine/engine.h"

namespace translator::ui {

// "About": the program's name and what the registered modules read and write.
class AboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit AboutDlg(const TranslatorEngine& engine, QWidget* parent = nullptr);
};

// Last column of a format's row in the about box, from the network types it
// is read and written on; empty when it is neither.
QString NetworkTypes(const QString& readable, const QString& writable);

}  // namespace translator::ui
