#include "vvt/map_grid.h"

#include "common/prompts.h"
#include "serial/hex.h"
#include "vvt/cell_selection.h"
#include "vvt/map_cell_edit.h"
#include "vvt/map_model.h"

#include <QGridLayout>
#include <QLabel>
#include <QTimer>

#include <cmath>

namespace vx {

namespace {

int slot()
{
    return G.CurrentMapSlot;
}

QLabel* makeLabel(const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QString speedLabelText(int row)
{
    // The second and third speeds carry a colon on this window.
    const QString speed = QString::number((row + 1) * 500);
    return row == 1 || row == 2 ? speed + QLatin1Char(':') : speed;
}

} // namespace

MapGrid::MapGrid(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MapGrid"));
    for (int i = 0; i < kMapCells; ++i)
        cells_[i] = new MapCellEdit(i, *this, this);
    buildLayout();
    for (int i = 0; i + 1 < kMapCells; ++i)
        setTabOrder(cells_[i], cells_[i + 1]);
}

void MapGrid::buildLayout()
{
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(1);
    constexpr int firstCellColumn = 2;
    for (int row = 0; row < kMapRows; ++row) {
        QLabel* speed = makeLabel(QStringLiteral("Label4_%1").arg(row), speedLabelText(row), this);
        speed->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        grid->addWidget(speed, 0, firstCellColumn + row);
    }
    static const char* const percents[] = {"5%", "25%", "50%", "75%", "100%"};
    const auto addBlock = [&](int headingRow, const QString& heading, int firstColumn) {
        QLabel* title = makeLabel(heading + QStringLiteral("Heading"), heading, this);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        grid->addWidget(title, headingRow, firstCellColumn, 1, 6, Qt::AlignLeft | Qt::AlignBottom);
        const int base = headingRow + 1;
        // Each line takes two layout rows so that the band limits sit on the lines' borders.
        for (int j = 0; j < 5; ++j) {
            QLabel* percent = makeLabel(QStringLiteral("%1Band_%2").arg(heading).arg(j),
                                        QString::fromLatin1(percents[j]), this);
            grid->addWidget(percent, base + 2 * j, 1, 2, 1, Qt::AlignRight | Qt::AlignVCenter);
        }
        for (int line = 0; line < 4; ++line) {
            for (int row = 0; row < kMapRows; ++row) {
                grid->addWidget(cells_[cellIndex(row, firstColumn + line)], base + 2 * line + 1,
                                firstCellColumn + row, 2, 1);
            }
        }
    };
    addBlock(1, QStringLiteral("Inlet"), 0);
    addBlock(12, QStringLiteral("Exhaust"), 4);

    QLabel* throt = makeLabel(QStringLiteral("Label20"), QStringLiteral("Throt"), this);
    grid->addWidget(throt, 2, 0, 21, 1, Qt::AlignCenter);
    QLabel* rpm = makeLabel(QStringLiteral("RpmAxisLabel"), QStringLiteral("Rpm"), this);
    grid->addWidget(rpm, 23, firstCellColumn, 1, kMapRows, Qt::AlignHCenter);
}

void MapGrid::setCellsEnabled(bool enabled)
{
    for (MapCellEdit* c : cells_)
        c->setEnabled(enabled);
}

void MapGrid::Fill_Display()
{
    for (int column = 0; column < kMapUsedColumns; ++column) {
        for (int row = 0; row < kMapRows; ++row) {
            const int i = cellIndex(row, column);
            cells_[i]->setTextColour(G.CellColourB[slot()][i]);
            MapCell& value = G.AdvanceMap[row][slot()][column];
            if (value && *value == kHiddenCellMarker)
                value = 0;
            cells_[i]->setText(cellText(value));
        }
    }
}

int MapGrid::cellValue(int index) const
{
    return static_cast<int>(std::floor(leadingNumber(cells_[index]->text())));
}

void MapGrid::clearSelection()
{
    for (int i = 0; i < kMapCells; ++i) {
        CellSelected[i] = false;
        cells_[i]->setBackground(normalBackground());
    }
}

void MapGrid::markOperatingPoint(std::optional<int> row, int band)
{
    for (int i = 0; i < kMapCells; ++i)
        cells_[i]->setBackground(CellSelected[i] ? selectedBackground() : normalBackground());
    if (!row || band < 0 || band > 3)
        return;
    const int i = *row + band * kMapRows;
    cells_[i]->setBackground(operatingPointBackground());
    cells_[i + 4 * kMapRows]->setBackground(operatingPointBackground());
}

void MapGrid::markChanged(int index)
{
    G.CellColourB[slot()][index] = changedCellColour();
    cells_[index]->setTextColour(changedCellColour());
}

void MapGrid::restoreText(int index, const MapCell& value)
{
    cells_[index]->setText(cellText(value));
}

void MapGrid::refocus(int index)
{
    MapCellEdit* c = cells_[index];
    if (!c->isEnabled())
        return;
    // The focus is moving on while this runs; take it back once the move is done.
    QTimer::singleShot(0, c, [c] {
        if (c->isEnabled())
            c->setFocus(Qt::OtherFocusReason);
    });
}

void MapGrid::cellGotFocus(int index)
{
    cells_[index]->selectAll();
    CellMin = kCellMin;
    CellMax = kCellMax;
}

void MapGrid::cellLostFocus(int index)
{
    const int row = GetRpmOffsetFromIndex(index);
    const int column = GetThrotFromIndex(index);
    const MapCell old = G.AdvanceMap[row][slot()][column];
    const QString s = cells_[index]->text().trimmed();
    if (s.isEmpty() || s.size() > 4) {
        if (!G.OfflineMode)
            MsgBox(QStringLiteral("Invalid input"), Buttons::Ok, Icon::None,
                   QStringLiteral("Warning"));
        restoreText(index, old);
        refocus(index);
        return;
    }
    const int n = static_cast<int>(std::floor(leadingNumber(s)));
    if (n < CellMin || n > CellMax) {
        MsgBox(QStringLiteral("Value out of range"), Buttons::Ok, Icon::None,
               QStringLiteral("Warning"));
        restoreText(index, old);
        refocus(index);
        return;
    }
    cells_[index]->setText(cellText(n));
    if (old && n == *old)
        return;
    G.MapChanged[slot()] = 1;
    markChanged(index);
    EditedCell = index;
    // A cell outside the rectangle (reached with Tab) is committed on its own, or its value
    // would never reach the map.
    if (SelectionActive && CellSelected[index])
        ApplyToSelection(index, CopyAnchor);
    else
        emit cellCommitRequested();
}

bool MapGrid::cellKeyPress(int index, QChar key)
{
    MapCellEdit* c = cells_[index];
    const ushort k = key.unicode();
    if (c->text().size() >= 4 && k != 8 && k != 13)
        return false;
    if (key == QLatin1Char('=') || key == QLatin1Char('+') || key == QLatin1Char('-') ||
        key == QLatin1Char('_')) {
        const bool up = key == QLatin1Char('=') || key == QLatin1Char('+');
        if (SelectionActive) {
            ApplyToSelection(index, up ? StepUp : StepDown);
            return false;
        }
        const int value = cellValue(index);
        if (up ? value >= CellMax : value <= CellMin)
            return false;
        c->setText(cellText(up ? value + 1 : value - 1));
        markChanged(index);
    } else if (k == 13) {
        if (SelectionActive) {
            cellLostFocus(index);
            return false;
        }
    } else {
        return key.isDigit() || k == 8;
    }
    cellLostFocus(index);
    cellGotFocus(index);
    EditedCell = index;
    emit cellCommitRequested();
    return false;
}

void MapGrid::startSelection()
{
    Selecting = true;
    clearSelection();
    SelectionActive = false;
}

bool MapGrid::cellKeyDown(int index, int key, Qt::KeyboardModifiers modifiers)
{
    const bool shift = modifiers == Qt::ShiftModifier;
    if ((key == Qt::Key_Shift && shift) || (key == Qt::Key_Escape && modifiers == Qt::NoModifier)) {
        KeySelectX = 0;
        KeySelectY = 0;
        startSelection();
        return false;
    }
    if (!shift)
        return false;
    SelectKey direction;
    switch (key) {
    case Qt::Key_Left:
        direction = SelectKey::Left;
        break;
    case Qt::Key_Up:
        direction = SelectKey::Up;
        break;
    case Qt::Key_Right:
        direction = SelectKey::Right;
        break;
    case Qt::Key_Down:
        direction = SelectKey::Down;
        break;
    default:
        return false;
    }
    // Shift and an arrow select cells, never text inside the box.
    if (stepKeySelection(index, direction, KeySelectX, KeySelectY) && Selecting)
        selectTo(index, KeySelectX, KeySelectY);
    return true;
}

void MapGrid::cellKeyUp(int, int key, Qt::KeyboardModifiers)
{
    // Platforms differ in whether the release of shift still reports shift held.
    if (key == Qt::Key_Shift)
        Selecting = false;
}

void MapGrid::cellMouseDown(int, Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        startSelection();
}

void MapGrid::cellMouseUp(int)
{
    Selecting = false;
}

std::optional<int> MapGrid::lineAt(int y) const
{
    if (y < cells_[0]->y())
        return -1;
    for (int line = kMapUsedColumns - 1; line >= 0; --line) {
        const MapCellEdit* first = cells_[line * kMapRows];
        if (y >= first->y())
            return line == kMapUsedColumns - 1 && y >= first->geometry().bottom() + 1
                       ? kMapUsedColumns
                       : line;
    }
    return std::nullopt;
}

void MapGrid::cellMouseMove(int index, QPoint position)
{
    if (!Selecting)
        return;
    const MapCellEdit* anchor = cells_[index];
    const int pitch = qMax(1, cells_[1]->x() - cells_[0]->x());
    const double steps = std::floor(static_cast<double>(position.x()) / pitch);
    const int line = lineAt(anchor->y() + position.y()).value_or(GetThrotFromIndex(index));
    selectTo(index, steps * kSelectStepX, (line - GetThrotFromIndex(index)) * double(kSelectStepY));
}

void MapGrid::selectTo(int anchor, double x, double y)
{
    clearSelection();
    const QList<int> rectangle = selectionRectangle(anchor, x, y);
    // Back over the anchor alone: no rectangle, so edits go to the cell itself again.
    SelectionActive = !rectangle.isEmpty();
    for (const int i : rectangle) {
        CellSelected[i] = true;
        cells_[i]->setBackground(selectedBackground());
    }
}

void MapGrid::ApplyToSelection(int anchor, int operation)
{
    for (int i = 0; i < kMapCells; ++i) {
        if (!CellSelected[i])
            continue;
        cellGotFocus(i);
        const int value = cellValue(i);
        std::optional<QString> text;
        if (operation == StepDown && value > CellMin)
            text = cellText(value - 1);
        else if (operation == StepUp && value < CellMax)
            text = cellText(value + 1);
        else if (operation == CopyAnchor) {
            const int v = cellValue(anchor);
            text = v < CellMin   ? cellText(CellMin)
                   : v > CellMax ? cellText(CellMax)
                                 : cells_[anchor]->text();
        }
        if (!text)
            continue;
        cells_[i]->setText(*text);
        markChanged(i);
        G.MapChanged[slot()] = 1;
    }
    emit selectionCommitRequested();
    cellGotFocus(anchor);
}

} // namespace vx
