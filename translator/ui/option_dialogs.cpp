#include "option_dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace translator::ui {

namespace {

QDialogButtonBox* OkCancel(QDialog* dialog) {
    auto* box = new QDialogButtonBox;
    box->addButton("OK", QDialogButtonBox::AcceptRole)->setObjectName("ok");
    box->addButton("Cancel", QDialogButtonBox::RejectRole)->setObjectName("cancel");
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

QRadioButton* Radio(const char* text, const char* name, QVBoxLayout* group) {
    auto* radio = new QRadioButton(text);
    radio->setObjectName(name);
    group->addWidget(radio);
    return radio;
}

}  // namespace

TcpDumpOptionDlg::TcpDumpOptionDlg(ConvertOptions& options, QWidget* parent)
    : QDialog(parent), options_(options) {
    setWindowTitle("tcpdump/libpcap Options");
    auto* type = new QGroupBox("tcpdump/libpcap Type");
    auto* typeLayout = new QVBoxLayout(type);
    standard_ = Radio("Standard libpcap (Most implementations)", "standard", typeLayout);
    modified_ = Radio("Modified libpcap (e.g. RedHat Linux 6.1)", "modified", typeLayout);
    nanoseconds_ = Radio("Standard libpcap with nanosecond resolution", "nanoseconds", typeLayout);
    auto* swap = new QGroupBox("Swap Bytes");
    auto* swapLayout = new QVBoxLayout(swap);
    swapped_ = Radio("Yes (Most Unix)", "swapped", swapLayout);
    native_ = Radio("No (Linux)", "native", swapLayout);
    auto* atm = new QGroupBox("ATM Option");
    auto* atmLayout = new QVBoxLayout(atm);
    removeAtm_ = new QCheckBox("Remove ATM/AAL5 headers");
    removeAtm_->setObjectName("removeAtm");
    atmLayout->addWidget(removeAtm_);
    auto* fcs = new QGroupBox("FCS Option");
    auto* fcsLayout = new QVBoxLayout(fcs);
    keepFcs_ = new QCheckBox("Frames carry their FCS (files written with it inside)");
    keepFcs_->setObjectName("keepFcs");
    fcsLayout->addWidget(keepFcs_);

    (options.pcapmodified      ? modified_
     : options.pcapnanoseconds ? nanoseconds_
                               : standard_)
        ->setChecked(true);
    (options.pcapbyteswapped ? swapped_ : native_)->setChecked(true);
    removeAtm_->setChecked(options.pcapremoveatm);
    keepFcs_->setChecked(options.pcapfcs);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(type);
    layout->addWidget(swap);
    layout->addWidget(atm);
    layout->addWidget(fcs);
    layout->addWidget(OkCancel(this));
}

void TcpDumpOptionDlg::accept() {
    options_.pcapbyteswapped = swapped_->isChecked();
    options_.pcapmodified = modified_->isChecked();
    options_.pcapnanoseconds = nanoseconds_->isChecked();
    options_.pcapremoveatm = removeAtm_->isChecked();
    options_.pcapfcs = keepFcs_->isChecked();
    QDialog::accept();
}

FeldaneOptionDlg::FeldaneOptionDlg(std::vector<SourceInterface> units, QWidget* parent)
    : QDialog(parent), units_(std::move(units)) {
    setWindowTitle("Feldane (Veltrix) Options");
    list_ = new QListWidget;
    list_->setObjectName("vexors");
    bool marked = false;
    for (const SourceInterface& unit : units_) {
        auto* item = new QListWidgetItem(
            QString::asprintf(" Vexor %d: %s (%s)", unit.index, unit.name, unit.limtype), list_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(unit.selected && !marked ? Qt::Checked : Qt::Unchecked);
        marked = marked || unit.selected;
    }
    if (!marked && list_->count() > 0) {
        list_->item(0)->setCheckState(Qt::Checked);
    }
    connect(list_, &QListWidget::itemChanged, this, &FeldaneOptionDlg::KeepOneChecked);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Select one Vexor for conversion: "));
    layout->addWidget(list_);
    layout->addWidget(OkCancel(this));
    resize(420, 260);
}

void FeldaneOptionDlg::KeepOneChecked(QListWidgetItem* changed) {
    if (changed->checkState() != Qt::Checked) {
        return;
    }
    const QSignalBlocker blocker(list_);
    for (int i = 0; i < list_->count(); ++i) {
        if (list_->item(i) != changed) {
            list_->item(i)->setCheckState(Qt::Unchecked);
        }
    }
}

void FeldaneOptionDlg::accept() {
    bool any = false;
    for (int i = 0; i < list_->count() && i < static_cast<int>(units_.size()); ++i) {
        units_[i].selected = list_->item(i)->checkState() == Qt::Checked;
        any = any || units_[i].selected;
    }
    if (!any && !units_.empty()) {
        units_[0].selected = true;
    }
    QDialog::accept();
}

}  // namespace translator::ui
