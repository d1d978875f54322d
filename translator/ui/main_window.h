#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

#include "engine/convert_options.h"
#include "engine/engine.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTextEdit;

namespace translator::ui {

class CProgressDlg;
class CProgressMultiDlg;

// The translator's window: source, destination and format, frame range and
// slicing, and the conversion itself, which runs on this thread.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Loads the options from settingsPath; Exit saves them there.
    explicit MainWindow(std::string settingsPath, QWidget* parent = nullptr);
    ~MainWindow() override;

    const ConvertOptions& Options() const { return options_; }
    CProgressDlg* ProgressDialog() const { return progress_.get(); }
    CProgressMultiDlg* FolderProgressDialog() const { return folderProgress_.get(); }
    bool Busy() const { return busy_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    void ShowOptions();
    void EvaluateSource();
    void EvaluateFolder(const std::string& folder);
    void EvaluateFile(const std::string& file);
    void FormatChanged();
    void UpdateControls();
    void ReadControls();
    void EmptyFormatList();
    void SelectSavedFormat();
    void ProposeDestination(const std::string& source, bool takeSourceName);
    int SelectedFormat() const;
    void Convert();
    void ReportCancel(bool finished, const std::string& destination, int64_t framesWritten);
    bool ConfirmDestination(bool folder, const std::string& source, const std::string& destination);
    void ConvertFolder(const std::string& source, const std::string& destination, int format);
    void CloseProgressDialogs();
    void SetBusy(bool busy);
    void BrowseSource();
    void BrowseDestination();
    void ChooseFolder(QLineEdit* field);
    void ShowTcpdumpOptions();
    void ShowFeldaneOptions();
    void ShowAbout();

    std::string settingsPath_;
    TranslatorEngine engine_;
    ConvertOptions options_;
    std::unique_ptr<CProgressDlg> progress_;
    std::unique_ptr<CProgressMultiDlg> folderProgress_;
    bool busy_ = false;
    bool recognised_ = false;
    bool sourceIsFolder_ = false;
    bool fillingFormats_ = false;

    QLineEdit* source_;
    QPushButton* feldaneOptions_;
    QTextEdit* summary_;
    QLineEdit* destination_;
    QComboBox* format_;
    QPushButton* tcpdumpSettings_;
    QRadioButton* convertAll_;
    QRadioButton* convertFrom_;
    QLineEdit* from_;
    QLineEdit* to_;
    QCheckBox* slice_;
    QLineEdit* bytes_;
    QPushButton* convert_;
    QPushButton* exit_;
};

// Shows the window and runs it until it closes; the process's exit status.
int RunWindow(int argc, char** argv);

}  // namespace translator::ui
