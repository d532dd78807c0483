#include "gearbox/gearbox_control.h"

#include "app/shell.h"

#include <QCloseEvent>

namespace vx {

GearboxControl::GearboxControl(Shell& shell, QWidget* parent) : QWidget(parent), shell_(shell)
{
    setObjectName(QStringLiteral("GearboxControl"));
    setWindowTitle(QStringLiteral("Gearbox Controller Setup"));
    setAttribute(Qt::WA_DeleteOnClose);
}

GearboxControl::~GearboxControl() = default;

void GearboxControl::closeEvent(QCloseEvent* event)
{
    shell_.showMainWindow();
    event->accept();
}

} // namespace vx
