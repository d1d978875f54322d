#pragma once

#include <QString>

class QWidget;

namespace translator::ui {

// Where the windows' notices and Yes/No questions go. Tests put their own
// answers in place of the user's.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void Inform(QWidget* parent, const QString& text);
    // True for Yes.
    virtual bool Ask(QWidget* parent, const QString& text);
};

MessageBoxes& Boxes();
// Installs boxes (not owned); null returns to the ones shown to the user.
void SetMessageBoxes(MessageBoxes* boxes);

// A message text for display: "\r\n" line ends become "\n".
QString DisplayText(const QString& text);
QString DisplayText(const char* text);

}  // namespace translator::ui
