#pragma once

#include <QString>

class QPushButton;
class QWidget;

namespace vx {

// A push button found by its object name (the tests and the window positions go by name) that
// never becomes the default button: Enter in the windows' boxes commits an entry, it must not
// also press a button.
QPushButton* namedButton(const QString& name, const QString& caption, QWidget* parent);

} // namespace vx
