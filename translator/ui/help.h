#pragma once

#include <QString>

class QWidget;

namespace translator::ui {

// The user guide shipped with the program: in the program's folder, else in
// the installation's share folder. Empty when neither has it.
QString HelpFilePath();

// Shows the user guide in a help window owned by parent; a second call
// brings the same window forward.
void ShowHelp(QWidget* parent);

}  // namespace translator::ui
