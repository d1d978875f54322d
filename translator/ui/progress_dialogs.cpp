#include "progress_dialogs.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "engine/trace_info.h"
#include "message_boxes.h"

namespace translator::ui {

namespace {

QString Formatted(const char* format, va_list arguments) {
    std::vector<char> text(ProgressSink::kMessageLimit);
    vsnprintf(text.data(), text.size(), format, arguments);
    return QString::fromLocal8Bit(text.data());
}

QLineEdit* CounterField(const char* name) {
    auto* field = new QLineEdit;
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setAlignment(Qt::AlignRight);
    field->setMinimumWidth(160);
    return field;
}

void KeepAlive() {
    QCoreApplication::processEvents();
}

}  // namespace

CProgressDlg::CProgressDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Translating File ...");
    framesWrittenField_ = CounterField("framesWritten");
    nonDataFrames_ = CounterField("nonDataFrames");
    bytesRead_ = CounterField("bytesRead");
    duration_ = CounterField("duration");
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Data Frames Written:"), 0, 0);
    grid->addWidget(framesWrittenField_, 0, 1);
    grid->addWidget(new QLabel("Non Data Frames Read:"), 1, 0);
    grid->addWidget(nonDataFrames_, 1, 1);
    grid->addWidget(new QLabel("Frame Bytes Read:"), 2, 0);
    grid->addWidget(bytesRead_, 2, 1);
    grid->addWidget(new QLabel("Trace Duration Read:"), 3, 0);
    grid->addWidget(duration_, 3, 1);
    status_ = new QLabel("Converting ...");
    status_->setObjectName("status");
    status_->setWordWrap(true);
    bar_ = new QProgressBar;
    bar_->setObjectName("progress");
    bar_->setRange(0, 100);
    bar_->setValue(0);
    button_ = new QPushButton("&Cancel");
    button_->setObjectName("button");
    connect(button_, &QPushButton::clicked, this, &CProgressDlg::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addWidget(status_);
    layout->addWidget(bar_);
    layout->addLayout(buttons);
    setMinimumWidth(380);
}

void CProgressDlg::reject() {
    canceled_ = true;
    open_ = false;
    QDialog::reject();
}

void CProgressDlg::AddMessage(const char* format, ...) {
    if (!open_) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    const QString text = Formatted(format, arguments);
    va_end(arguments);
    status_->setText(DisplayText(text).trimmed());
    button_->setText("&OK");
    Boxes().Inform(this, DisplayText(text));
}

void CProgressDlg::Progress(const TraceInfo& info, const char* text) {
    if (!open_) {
        return;
    }
    if (text == nullptr && countdown_ > 0) {
        --countdown_;
        if (countdown_ % 135 == 0) {
            repaint();
        }
        if (countdown_ % 170 == 0) {
            KeepAlive();
        }
        return;
    }
    if (countdown_ <= 0) {
        countdown_ = kCountdown;
    }
    Update(info, text);
    KeepAlive();
}

void CProgressDlg::Finished(const TraceInfo& info, const char* text) {
    endedCanceled_ = canceled_;
    framesWritten_ = info.framesWritten;
    if (!open_) {
        return;
    }
    Update(info, text);
    bar_->setValue(100);
    button_->setText("&OK");
    repaint();
    KeepAlive();
}

void CProgressDlg::Update(const TraceInfo& info, const char* text) {
    if (text != nullptr) {
        status_->setText(QString::fromLocal8Bit(text));
    }
    framesWrittenField_->setText(QString::number(info.framesWritten));
    nonDataFrames_->setText(QString::number(info.nonDataFrames));
    bytesRead_->setText(QString::number(info.bytesRead));
    char duration[64];
    if (info.firstSeconds != 0 && info.lastSeconds != 0 &&
        FormatDuration(info, duration, sizeof duration)) {
        duration_->setText(duration);
    }
    bar_->setValue(std::clamp(info.percentDone, 0, 99));
}

CProgressMultiDlg::CProgressMultiDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Translating Files ...");
    log_ = new QTextEdit;
    log_->setObjectName("log");
    log_->setReadOnly(true);
    log_->setLineWrapMode(QTextEdit::NoWrap);
    log_->setTabStopDistance(180);
    button_ = new QPushButton("OK");
    button_->setObjectName("button");
    connect(button_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(log_);
    layout->addLayout(buttons);
    resize(720, 480);
}

void CProgressMultiDlg::SetButtonText(const QString& text) {
    button_->setText(text);
}

void CProgressMultiDlg::Append(const QString& text) {
    QTextCursor cursor(log_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(DisplayText(text));
    log_->setTextCursor(cursor);
    log_->ensureCursorVisible();
    if (dots_ % 2 == 0) {
        repaint();
    } else {
        KeepAlive();
    }
}

void CProgressMultiDlg::AddMessage(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const QString text = Formatted(format, arguments);
    va_end(arguments);
    Append(text);
}

void CProgressMultiDlg::EndDotLine() {
    if (dots_ > 0) {
        dots_ = 0;
        Append("\r\n");
    }
}

void CProgressMultiDlg::Progress(const TraceInfo&, const char* text) {
    if (text != nullptr) {
        EndDotLine();
        Append(QString::fromLocal8Bit(text) + "\r\n");
        return;
    }
    if (++progressCalls_ % 171 != 0) {
        return;
    }
    ++dots_;
    Append(".");
    if (dots_ >= 81) {
        dots_ = 0;
        Append("\r\n");
    }
}

void CProgressMultiDlg::Finished(const TraceInfo& info, const char*) {
    EndDotLine();
    QString block = "Conversion completed:\r\n";
    block += QString::asprintf("Data Frames Written:  \t%" PRId64 "\r\n", info.framesWritten);
    block += QString::asprintf("Non Data Frames Read: \t%" PRId64 "\r\n", info.nonDataFrames);
    block += QString::asprintf("Frame Bytes Read:     \t%" PRId64 " bytes\r\n", info.bytesRead);
    char duration[64];
    if (FormatDuration(info, duration, sizeof duration)) {
        block += QString::asprintf("Trace Duration:       \t%s\r\n", duration);
    }
    Append(block);
}

}  // namespace translator::ui
