#include "vvt/changadv.h"

#include "app/shell.h"

#include <QCloseEvent>

namespace vx {

Changadv::Changadv(Shell& shell, QWidget* parent) : QWidget(parent), shell_(shell)
{
    setObjectName(QStringLiteral("Changadv"));
    setWindowTitle(QStringLiteral("Vantorex ECU Manager"));
    setAttribute(Qt::WA_DeleteOnClose);
}

Changadv::~Changadv() = default;

void Changadv::closeEvent(QCloseEvent* event)
{
    shell_.showMainWindow();
    event->accept();
}

} // namespace vx
