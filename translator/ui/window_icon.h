#pragma once

#include <QIcon>

namespace translator::ui {

// The suite's icon, drawn from the same SVG that the desktop entry names.
QIcon WindowIcon();

}  // namespace translator::ui
