#include "vvt/map_cell_edit.h"

#include "vvt/busy_scope.h"
#include "vvt/map_grid.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace vx {

MapCellEdit::MapCellEdit(int index, MapGrid& grid, QWidget* parent)
    : QLineEdit(parent), index_(index), grid_(grid)
{
    setObjectName(QStringLiteral("ChngAdv_%1").arg(index));
    setMaxLength(4);
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(true);
    setContextMenuPolicy(Qt::NoContextMenu);
}

QSize MapCellEdit::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int width = metrics.horizontalAdvance(QStringLiteral("-1288")) + 8;
    return {width, metrics.height() + 8};
}

void MapCellEdit::setColour(QPalette::ColorRole role, const QColor& colour)
{
    QPalette p = palette();
    const QColor wanted = colour.isValid() ? colour : QApplication::palette().color(role);
    if (p.color(QPalette::Active, role) == wanted)
        return;
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, role, wanted);
    setPalette(p);
}

void MapCellEdit::setBackground(const QColor& colour)
{
    setColour(QPalette::Base, colour);
}

void MapCellEdit::setTextColour(const QColor& colour)
{
    setColour(QPalette::Text,
              colour.isValid() ? colour : QApplication::palette().color(QPalette::WindowText));
}

void MapCellEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        grid_.cellGotFocus(index_);
}

void MapCellEdit::focusOutEvent(QFocusEvent* event)
{
    const BusyScope busy;
    QLineEdit::focusOutEvent(event);
    // A message box or another window taking over is not the user leaving the cell.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        grid_.cellLostFocus(index_);
}

void MapCellEdit::keyPressEvent(QKeyEvent* event)
{
    const BusyScope busy;
    // A held shift key repeats; only the first press anchors a selection.
    if (event->isAutoRepeat() && event->key() == Qt::Key_Shift)
        return;
    if (grid_.cellKeyDown(index_, event->key(), event->modifiers()))
        return;
    // Keys that type no character (arrows, Delete, which some keyboards report as DEL) edit
    // the box unfiltered.
    const QString text = event->text();
    if (text.size() == 1 && (text.at(0).isPrint() || text.at(0) == QLatin1Char('\r') ||
                             text.at(0) == QLatin1Char('\b'))) {
        if (!grid_.cellKeyPress(index_, text.at(0)))
            return;
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        grid_.cellKeyPress(index_, QLatin1Char('\r'));
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void MapCellEdit::keyReleaseEvent(QKeyEvent* event)
{
    grid_.cellKeyUp(index_, event->key(), event->modifiers());
    QLineEdit::keyReleaseEvent(event);
}

void MapCellEdit::mousePressEvent(QMouseEvent* event)
{
    QLineEdit::mousePressEvent(event);
    grid_.cellMouseDown(index_, event->button());
}

void MapCellEdit::mouseMoveEvent(QMouseEvent* event)
{
    QLineEdit::mouseMoveEvent(event);
    grid_.cellMouseMove(index_, event->position().toPoint());
}

void MapCellEdit::mouseReleaseEvent(QMouseEvent* event)
{
    QLineEdit::mouseReleaseEvent(event);
    grid_.cellMouseUp(index_);
}

} // namespace vx
