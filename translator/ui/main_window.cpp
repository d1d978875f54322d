#include "main_window.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "about_dialog.h"
#include "app/conversion_run.h"
#include "app/folders.h"
#include "app/settings.h"
#include "engine/format_table.h"
#include "engine/time_base.h"
#include "folder_chooser.h"
#include "help.h"
#include "message_boxes.h"
#include "option_dialogs.h"
#include "paths.h"
#include "progress_dialogs.h"
#include "window_icon.h"

namespace translator::ui {

namespace {

const char kLogDashes[] =
    "\r\n--------------------------------------------------------------------------------\r\n";

// A folder run whose texts go to the log dialog, the engine's sink meanwhile;
// file names take the suffix as the destination proposal does.
class LogRun : public ConversionRun {
public:
    LogRun(TranslatorEngine& engine, const ConvertOptions& options, CProgressMultiDlg& log)
        : ConversionRun(engine, options), log_(log) {}

    void Report(const std::string& text) override { log_.AddMessage("%s", text.c_str()); }
    std::string DestinationName(const std::string& name, int format) const override {
        return ReplaceSuffix(name, format);
    }
    const char* SectionLine() const override { return kLogDashes; }
    const char* SectionEnd() const override { return ""; }

private:
    CProgressMultiDlg& log_;
};

std::string Text(const QLineEdit* field) {
    return field->text().toStdString();
}

QString Printf(const char* format, const std::string& value) {
    return QString::asprintf(format, value.c_str());
}

QString FileFilters() {
    QStringList filters = {"All Files (*)"};
    for (int id = 1; id < kFormatCount; ++id) {
        filters << QString("%1 (*%2)").arg(FormatName(id), FormatExtension(id));
    }
    return filters.join(";;");
}

QLineEdit* NumberField(const char* name) {
    auto* field = new QLineEdit;
    field->setObjectName(name);
    field->setMaximumWidth(110);
    return field;
}

QPushButton* Button(const char* text, const char* name) {
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    return button;
}

QString SourceSummary(const std::string& path, const TraceInfo& info) {
    QString text;
    text += QString::asprintf("Analyzer:    \t%s\r\n", FormatName(info.format));
    text += QString::asprintf("Interface:   \t%s %s%s\r\n", InterfaceName(info.interfaceType),
                              WanName(info.wanType), FrameOriginNote(info.frameOrigin));
    if (info.lineRate > 0) {
        text += QString::asprintf("Line Rate:   \t%d\r\n", info.lineRate);
    }
    if (info.totalFrames >= 0) {
        text += QString::asprintf("Total Frames:\t%" PRId64 "\r\n", info.totalFrames);
    }
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        text +=
            QString::asprintf("File Size:   \t%" PRId64 " bytes%s\r\n",
                              static_cast<int64_t>(st.st_size), CompressionNote(info.compression));
    }
    if (info.startTime != 0) {
        text += Printf("Start Time:  \t%s\r\n", FormatDate(info.startTime));
    }
    if (info.comment[0] != '\0') {
        text += Printf("Comment:     \t%s\r\n", info.comment);
    }
    if (info.notes[0] != '\0') {
        text += Printf("Notes:\r\n\r\n%s", info.notes);
    }
    return text;
}

}  // namespace

MainWindow::MainWindow(std::string settingsPath, QWidget* parent)
    : QMainWindow(parent), settingsPath_(std::move(settingsPath)) {
    setWindowTitle("Veltrix File Translator");
    BuildControls();
    BuildMenus();
    LoadSettings(settingsPath_, options_);
    ShowOptions();
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildControls() {
    source_ = new QLineEdit;
    source_->setObjectName("source");
    auto* sourceBrowse = Button("&Browse ...", "sourceBrowse");
    feldaneOptions_ = Button("O&ptions", "feldaneOptions");
    summary_ = new QTextEdit;
    summary_->setObjectName("summary");
    summary_->setReadOnly(true);
    summary_->setTabStopDistance(100);
    summary_->setMinimumHeight(130);
    destination_ = new QLineEdit;
    destination_->setObjectName("destination");
    auto* destinationBrowse = Button("&Browse ...", "destinationBrowse");
    format_ = new QComboBox;
    format_->setObjectName("format");
    format_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    format_->setMinimumWidth(300);
    tcpdumpSettings_ = Button("&Settings", "tcpdumpSettings");

    auto* sourceLabel = new QLabel("Source File or Folder:");
    sourceLabel->setBuddy(source_);
    auto* destinationLabel = new QLabel("Destination File or Folder:");
    destinationLabel->setBuddy(destination_);
    auto* formatLabel = new QLabel("Format:");
    formatLabel->setBuddy(format_);

    auto* paths = new QGridLayout;
    paths->addWidget(sourceLabel, 0, 0, 1, 3);
    paths->addWidget(source_, 1, 0);
    paths->addWidget(sourceBrowse, 1, 1);
    paths->addWidget(feldaneOptions_, 1, 2);
    paths->addWidget(summary_, 2, 0, 1, 3);
    paths->addWidget(destinationLabel, 3, 0, 1, 3);
    paths->addWidget(destination_, 4, 0);
    paths->addWidget(destinationBrowse, 4, 1);
    auto* formatRow = new QHBoxLayout;
    formatRow->addWidget(formatLabel);
    formatRow->addWidget(format_, 1);
    formatRow->addWidget(tcpdumpSettings_);
    paths->addLayout(formatRow, 5, 0, 1, 3);

    convertAll_ = new QRadioButton("Convert &All");
    convertAll_->setObjectName("convertAll");
    convertFrom_ = new QRadioButton("Convert &From");
    convertFrom_->setObjectName("convertFrom");
    from_ = NumberField("from");
    to_ = NumberField("to");
    slice_ = new QCheckBox("&Slice To");
    slice_->setObjectName("slice");
    bytes_ = NumberField("bytes");
    auto* options = new QGroupBox("Options");
    auto* optionsLayout = new QGridLayout(options);
    optionsLayout->addWidget(convertAll_, 0, 0);
    optionsLayout->addWidget(convertFrom_, 1, 0);
    optionsLayout->addWidget(from_, 1, 1);
    optionsLayout->addWidget(new QLabel("To"), 1, 2, Qt::AlignCenter);
    optionsLayout->addWidget(to_, 1, 3);
    optionsLayout->addWidget(slice_, 2, 0);
    optionsLayout->addWidget(bytes_, 2, 1);
    optionsLayout->addWidget(new QLabel("Bytes"), 2, 2, Qt::AlignLeft);
    optionsLayout->setColumnStretch(4, 1);

    convert_ = Button("&Convert", "convert");
    convert_->setDefault(true);
    exit_ = Button("&Exit", "exit");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(convert_);
    buttons->addWidget(exit_);

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(paths);
    layout->addWidget(options);
    layout->addLayout(buttons);
    setCentralWidget(central);
    resize(620, 520);

    connect(source_, &QLineEdit::textChanged, this, &MainWindow::EvaluateSource);
    connect(convertAll_, &QRadioButton::clicked, this, &MainWindow::EvaluateSource);
    connect(convertFrom_, &QRadioButton::toggled, this, &MainWindow::UpdateControls);
    connect(slice_, &QCheckBox::toggled, this, &MainWindow::UpdateControls);
    connect(format_, &QComboBox::currentIndexChanged, this, &MainWindow::FormatChanged);
    connect(sourceBrowse, &QPushButton::clicked, this, &MainWindow::BrowseSource);
    connect(destinationBrowse, &QPushButton::clicked, this, &MainWindow::BrowseDestination);
    connect(tcpdumpSettings_, &QPushButton::clicked, this, &MainWindow::ShowTcpdumpOptions);
    connect(feldaneOptions_, &QPushButton::clicked, this, &MainWindow::ShowFeldaneOptions);
    connect(convert_, &QPushButton::clicked, this, &MainWindow::Convert);
    connect(exit_, &QPushButton::clicked, this, &MainWindow::close);
}

void MainWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu("File");
    connect(file->addAction("Convert File ..."), &QAction::triggered, this,
            &MainWindow::BrowseSource);
    connect(file->addAction("Convert All Files in a Folder..."), &QAction::triggered, this,
            [this] { ChooseFolder(source_); });
    connect(file->addAction("Destination File ..."), &QAction::triggered, this,
            &MainWindow::BrowseDestination);
    connect(file->addAction("Destination Folder ..."), &QAction::triggered, this,
            [this] { ChooseFolder(destination_); });
    file->addSeparator();
    connect(file->addAction("Exit"), &QAction::triggered, this, &MainWindow::close);
    QMenu* help = menuBar()->addMenu("Help");
    QAction* topics = help->addAction("Help Topics\tF1");
    topics->setShortcut(Qt::Key_F1);
    connect(topics, &QAction::triggered, this, [this] { ShowHelp(this); });
    connect(help->addAction("About File Translator ..."), &QAction::triggered, this,
            &MainWindow::ShowAbout);
}

void MainWindow::ShowOptions() {
    (options_.convertall ? convertAll_ : convertFrom_)->setChecked(true);
    from_->setText(QString::number(options_.convertfrom));
    to_->setText(QString::number(options_.convertto));
    bytes_->setText(QString::number(options_.bytes));
    slice_->setChecked(options_.slice);
    destination_->setText(QString::fromStdString(options_.destdir));
    source_->setText(QString::fromStdString(options_.sourcedir));
    // An empty saved source changes no text, so the evaluation runs here.
    EvaluateSource();
}

void MainWindow::EvaluateSource() {
    if (busy_) {
        return;
    }
    feldaneOptions_->setEnabled(false);
    recognised_ = false;
    sourceIsFolder_ = false;
    const std::string source = SourcePath(Text(source_));
    switch (KindOf(source)) {
        case PathKind::kMissing:
            EmptyFormatList();
            summary_->clear();
            break;
        case PathKind::kFolder:
            EvaluateFolder(source);
            break;
        case PathKind::kFile:
            EvaluateFile(source);
            break;
    }
    UpdateControls();
}

void MainWindow::EvaluateFolder(const std::string& folder) {
    sourceIsFolder_ = true;
    EmptyFormatList();
    fillingFormats_ = true;
    for (int id = 1; id < kFormatCount; ++id) {
        if (engine_.WriterOf(id) != nullptr) {
            format_->addItem(FormatName(id));
        }
    }
    fillingFormats_ = false;
    SelectSavedFormat();
    summary_->setPlainText(DisplayText(Printf("Convert all files in:\r\n%s", folder)));
    std::string destination = Trim(Text(destination_));
    if (destination.empty() || SameText(destination, folder)) {
        destination = folder + "_converted";
    }
    destination_->setText(QString::fromStdString(ReduceToFolder(destination)));
}

void MainWindow::EvaluateFile(const std::string& file) {
    DetectResult* detected = engine_.Detect(file);
    EmptyFormatList();
    if (detected == nullptr) {
        summary_->clear();
        return;
    }
    recognised_ = true;
    fillingFormats_ = true;
    for (int i = 0; i < detected->TargetCount(); ++i) {
        format_->addItem(detected->TargetName(i));
    }
    fillingFormats_ = false;
    SelectSavedFormat();
    ProposeDestination(file, true);
    const TraceInfo& info = *detected->info;
    summary_->setPlainText(DisplayText(SourceSummary(file, info)));
    int64_t to = 0;
    if (info.totalFrames > 0 && ParseInt64(Text(to_), &to) && (to < 1 || to > info.totalFrames)) {
        to_->setText(QString::number(info.totalFrames));
    }
    feldaneOptions_->setEnabled(info.format == FMT_FL);
}

void MainWindow::EmptyFormatList() {
    if (format_->currentIndex() >= 0) {
        options_.format = format_->currentText().toStdString();
    }
    fillingFormats_ = true;
    format_->clear();
    fillingFormats_ = false;
}

void MainWindow::SelectSavedFormat() {
    const int saved = format_->findText(QString::fromStdString(options_.format));
    fillingFormats_ = true;
    format_->setCurrentIndex(saved >= 0 ? saved : 0);
    fillingFormats_ = false;
}

int MainWindow::SelectedFormat() const {
    return format_->currentIndex() >= 0 ? FindFormat(format_->currentText().toUtf8().constData())
                                        : FMT_UN;
}

void MainWindow::FormatChanged() {
    if (fillingFormats_ || busy_) {
        return;
    }
    if (recognised_) {
        ProposeDestination(SourcePath(Text(source_)), false);
    }
    UpdateControls();
}

void MainWindow::ProposeDestination(const std::string& source, bool takeSourceName) {
    std::string destination = Trim(Text(destination_));
    if (destination.empty()) {
        destination = source;
    } else if (takeSourceName) {
        std::string folder = ReduceToFolder(destination);
        if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) {
            folder.pop_back();
        }
        destination = folder + "/" + source.substr(NameStart(source));
    }
    const int format = SelectedFormat();
    if (format != FMT_UN) {
        destination = ReplaceSuffix(destination, format);
    }
    destination_->setText(QString::fromStdString(destination));
}

void MainWindow::UpdateControls() {
    from_->setEnabled(convertFrom_->isChecked());
    to_->setEnabled(convertFrom_->isChecked());
    bytes_->setEnabled(slice_->isChecked());
    tcpdumpSettings_->setEnabled(SelectedFormat() == FMT_TD);
    convert_->setEnabled((recognised_ && format_->currentIndex() >= 0) || sourceIsFolder_);
}

void MainWindow::ReadControls() {
    options_.convertall = convertAll_->isChecked();
    ParseInt64(Text(from_), &options_.convertfrom);
    ParseInt64(Text(to_), &options_.convertto);
    int64_t bytes = 0;
    if (ParseInt64(Text(bytes_), &bytes)) {
        options_.bytes = static_cast<int32_t>(bytes);
    }
    options_.slice = slice_->isChecked();
    options_.sourcedir = Text(source_).substr(0, kMaxOptionText);
    options_.destdir = Text(destination_).substr(0, kMaxOptionText);
    if (format_->currentIndex() >= 0) {
        options_.format = format_->currentText().toStdString();
    }
}

bool MainWindow::ConfirmDestination(bool folder, const std::string& source,
                                    const std::string& destination) {
    if (destination.empty()) {
        Boxes().Inform(this, folder ? "Please specify a destination folder."
                                    : "Please specify a destination file name.");
        return false;
    }
    if (SameText(destination, source)) {
        Boxes().Inform(this, folder ? "Destination folder must be different from source folder."
                                    : "Destination file name must be different from source file "
                                      "name.");
        return false;
    }
    const PathKind kind = KindOf(destination);
    if (!folder) {
        return kind == PathKind::kMissing ||
               Boxes().Ask(this, DisplayText(Printf(
                                     "'%s' already exists.\r\nWould you like to overwrite it?",
                                     destination)));
    }
    if (kind == PathKind::kFile) {
        Boxes().Inform(this, Printf("%s is not a folder.", destination));
        return false;
    }
    if (kind == PathKind::kFolder) {
        return Boxes().Ask(
            this,
            DisplayText(Printf("Files in %s may be overwritten.\r\nWould you like to continue?",
                               destination)));
    }
    if (!Boxes().Ask(this, DisplayText(Printf("Folder %s does not exist.\r\nWould you like to "
                                              "create the folder?",
                                              destination)))) {
        return false;
    }
    if (!CreateFolderWithParents(destination)) {
        Boxes().Inform(
            this, Printf("Destination directory %s not found or cannot be created.", destination));
        return false;
    }
    return true;
}

void MainWindow::Convert() {
    if (busy_) {
        return;
    }
    ReadControls();
    const std::string source = SourcePath(Text(source_));
    const PathKind kind = KindOf(source);
    if (kind == PathKind::kMissing) {
        return;
    }
    const bool folder = kind == PathKind::kFolder;
    std::string destination = Trim(Text(destination_));
    if (!ConfirmDestination(folder, source, destination)) {
        return;
    }
    if (format_->currentIndex() < 0) {
        return;
    }
    const int format = SelectedFormat();
    CloseProgressDialogs();
    SetBusy(true);
    if (folder) {
        ConvertFolder(source, destination, format);
    } else {
        progress_ = std::make_unique<CProgressDlg>(this);
        progress_->show();
        engine_.SetSink(progress_.get());
        const bool converted = engine_.ConvertFile(source, destination, format, options_);
        // Cancel closed the progress window: what became of the output is told here.
        if (progress_->EndedCanceled()) {
            ReportCancel(converted, destination, progress_->FramesWritten());
        } else if (const std::string damage = engine_.Sink().Damage(); !damage.empty()) {
            // The folder log's warning: the output holds only the frames before the damage.
            Boxes().Inform(this,
                           QString::fromStdString(DamageWarning(damage, progress_->FramesWritten()))
                               .trimmed());
        }
    }
    engine_.SetSink(nullptr);
    SetBusy(false);
}

void MainWindow::ReportCancel(bool finished, const std::string& destination,
                              int64_t framesWritten) {
    if (!finished) {
        Boxes().Inform(this, Printf("Conversion canceled; writing %s failed.", destination));
        return;
    }
    Boxes().Inform(
        this,
        QString::asprintf("Conversion canceled; %" PRId64 " frame%s written to %s.", framesWritten,
                          framesWritten == 1 ? " was" : "s were", destination.c_str()));
}

void MainWindow::ConvertFolder(const std::string& source, const std::string& destination,
                               int format) {
    FolderPlan plan{source, destination, {}, format, {}};
    if (!ListFolderFiles(source, &plan.entries)) {
        Boxes().Inform(
            this, "Source path does not exist, cannot be accessed, or does not contain any files.");
        return;
    }
    folderProgress_ = std::make_unique<CProgressMultiDlg>(this);
    folderProgress_->show();
    CProgressMultiDlg& log = *folderProgress_;
    engine_.SetSink(&log);
    log.AddMessage("Converting files in %s ...\r\n", source.c_str());
    const FolderTotals totals = LogRun(engine_, options_, log).ConvertFolder(plan);
    if (!totals.canceled) {
        log.SetButtonText("&OK");
    }
}

void MainWindow::CloseProgressDialogs() {
    progress_.reset();
    folderProgress_.reset();
}

void MainWindow::SetBusy(bool busy) {
    busy_ = busy;
    // The conversion keeps events flowing; nothing here may start another
    // detection or conversion on the engine meanwhile.
    centralWidget()->setEnabled(!busy);
    menuBar()->setEnabled(!busy);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (busy_) {
        event->ignore();
        return;
    }
    CloseProgressDialogs();
    ReadControls();
    if (const int error = SaveSettings(settingsPath_, options_); error != 0) {
        Boxes().Inform(this, QString::asprintf("The settings could not be saved to %s (%s).",
                                               settingsPath_.c_str(), strerror(error)));
    }
    event->accept();
}

void MainWindow::BrowseSource() {
    const QString file =
        QFileDialog::getOpenFileName(this, QString(), source_->text(), FileFilters());
    if (!file.isEmpty()) {
        source_->setText(file);
    }
}

void MainWindow::BrowseDestination() {
    const QString file =
        QFileDialog::getSaveFileName(this, QString(), destination_->text(), FileFilters(), nullptr,
                                     QFileDialog::DontConfirmOverwrite);
    if (!file.isEmpty()) {
        destination_->setText(file);
    }
}

void MainWindow::ChooseFolder(QLineEdit* field) {
    FolderChooserDlg chooser(QString::fromStdString(ReduceToFolder(SourcePath(Text(field)))), this);
    if (chooser.exec() == QDialog::Accepted) {
        field->setText(chooser.Folder());
    }
}

void MainWindow::ShowTcpdumpOptions() {
    TcpDumpOptionDlg dialog(options_, this);
    dialog.exec();
}

// The dialog edits a copy of the recording reader's interface list; on OK the
// list is replaced and the source evaluated again with the new choice.
void MainWindow::ShowFeldaneOptions() {
    TraceReader* reader = engine_.ReaderOf(FMT_FL);
    if (reader == nullptr) {
        return;
    }
    FeldaneOptionDlg dialog(reader->Interfaces(), this);
    if (dialog.exec() == QDialog::Accepted) {
        reader->SetInterfaces(dialog.Interfaces());
        EvaluateSource();
    }
}

void MainWindow::ShowAbout() {
    AboutDlg about(engine_, this);
    about.exec();
}

namespace {

const char kNeedsDisplay[] =
    "The translator window needs a display. From a console: translator SOURCE DESTINATION "
    "FORMAT (translator --help).\r\n";

bool IsSet(const char* name) {
    const char* value = getenv(name);
    return value != nullptr && value[0] != '\0';
}

QtMessageHandler qtMessages = nullptr;

// Qt ends the process when no platform plugin starts. Its warnings before
// say why; in place of its last word (reinstalling would not help) the
// console says what to do instead.
void StartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        qtMessages(type, context, text);
        return;
    }
    fputs(kNeedsDisplay, stdout);
    fflush(stdout);
    _exit(255);
}

}  // namespace

int RunWindow(int argc, char** argv) {
    // A platform named by the environment (as tests name offscreen) is tried
    // as it is; without one, the window needs an X or Wayland display.
    if (!IsSet("QT_QPA_PLATFORM") && !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) {
        fputs(kNeedsDisplay, stdout);
        return -1;
    }
    qtMessages = qInstallMessageHandler(StartupMessage);
    QApplication application(argc, argv);
    qInstallMessageHandler(qtMessages);
    QApplication::setWindowIcon(WindowIcon());
    MainWindow window(ActiveSettingsPath(SettingsPath(ProgramPath())));
    window.show();
    application.exec();
    return 0;
}

}  // namespace translator::ui
