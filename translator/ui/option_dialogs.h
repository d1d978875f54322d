#pragma once

#include <QDialog>
#include <vector>

#include "engine/convert_options.h"
#include "engine/trace_reader.h"

class QCheckBox;
class QListWidget;
class QListWidgetItem;
class QRadioButton;

namespace translator::ui {

// The tcpdump writer's choices: record layout, byte order, ATM headers.
class TcpDumpOptionDlg : public QDialog {
    Q_OBJECT
public:
    // OK stores the choices into options; Cancel leaves them.
    explicit TcpDumpOptionDlg(ConvertOptions& options, QWidget* parent = nullptr);

    void accept() override;

private:
    ConvertOptions& options_;
    QRadioButton* standard_;
    QRadioButton* modified_;
    QRadioButton* nanoseconds_;
    QRadioButton* swapped_;
    QRadioButton* native_;
    QCheckBox* removeAtm_;
    QCheckBox* keepFcs_;
};

// Picks the one probe unit of a Feldane recording that is converted.
class FeldaneOptionDlg : public QDialog {
    Q_OBJECT
public:
    // Edits a copy of units; the copy changes only on OK.
    explicit FeldaneOptionDlg(std::vector<SourceInterface> units, QWidget* parent = nullptr);

    const std::vector<SourceInterface>& Interfaces() const { return units_; }
    void accept() override;

private:
    void KeepOneChecked(QListWidgetItem* changed);

    std::vector<SourceInterface> units_;
    QListWidget* list_;
};

}  // namespace translator::ui
