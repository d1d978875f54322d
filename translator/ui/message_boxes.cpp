#include "message_boxes.h"

#include <QMessageBox>

namespace translator::ui {

namespace {

const char kTitle[] = "Veltrix File Translator";

MessageBoxes* installed = nullptr;

}  // namespace

void MessageBoxes::Inform(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, kTitle, text);
}

bool MessageBoxes::Ask(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, kTitle, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

MessageBoxes& Boxes() {
    static MessageBoxes shown;
    return installed != nullptr ? *installed : shown;
}

void SetMessageBoxes(MessageBoxes* boxes) {
    installed = boxes;
}

QString DisplayText(const QString& text) {
    QString display = text;
    display.replace("\r\n", "\n");
    return display;
}

QString DisplayText(const char* text) {
    return DisplayText(QString::fromLocal8Bit(text));
}

}  // namespace translator::ui
