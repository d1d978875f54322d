#pragma once

#include <QDialog>

#include "engine/progress_sink.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTextEdit;

namespace translator::ui {

// Progress of one file's conversion, and the engine's sink meanwhile. It keeps
// the windows alive from inside the conversion loop.
class CProgressDlg : public QDialog, public ProgressSink {
    Q_OBJECT
public:
    explicit CProgressDlg(QWidget* parent = nullptr);

    // Errors are shown as they come, never accumulated.
    const char* Messages() const override { return nullptr; }
    void AddMessage(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    void ClearMessages() override {}
    void Finished(const TraceInfo& info, const char* text) override;
    void Progress(const TraceInfo& info, const char* text) override;
    void SetCanceled(bool canceled) override { canceled_ = canceled; }
    bool IsCanceled() const override { return canceled_; }

    // Cancel while converting, OK afterwards: either way the window goes.
    void reject() override;
    // How the conversion ended, also when the window went before it did:
    // whether a cancel stopped it, and the frames it wrote.
    bool EndedCanceled() const { return endedCanceled_; }
    int64_t FramesWritten() const { return framesWritten_; }

private:
    void Update(const TraceInfo& info, const char* text);

    QLineEdit* framesWrittenField_;
    QLineEdit* nonDataFrames_;
    QLineEdit* bytesRead_;
    QLineEdit* duration_;
    QLabel* status_;
    QProgressBar* bar_;
    QPushButton* button_;
    bool open_ = true;
    bool canceled_ = false;
    bool endedCanceled_ = false;
    int64_t framesWritten_ = 0;
    int countdown_ = kCountdown;

    static constexpr int kCountdown = 173;
};

// Progress of a folder's conversion: a log of every file's report. Its
// button only closes the window; the folder run goes on.
class CProgressMultiDlg : public QDialog, public ProgressSink {
    Q_OBJECT
public:
    explicit CProgressMultiDlg(QWidget* parent = nullptr);

    const char* Messages() const override { return nullptr; }
    void AddMessage(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    void ClearMessages() override {}
    void Finished(const TraceInfo& info, const char* text) override;
    void Progress(const TraceInfo& info, const char* text) override;
    void SetCanceled(bool canceled) override { canceled_ = canceled; }
    bool IsCanceled() const override { return canceled_; }

    void SetButtonText(const QString& text);

private:
    void Append(const QString& text);
    void EndDotLine();

    QTextEdit* log_;
    QPushButton* button_;
    bool canceled_ = false;
    int dots_ = 0;
    int64_t progressCalls_ = 0;
};

}  // namespace translator::ui
