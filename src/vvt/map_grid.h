#pragma once

#include "common/globals.h"

#include <QWidget>

#include <array>
#include <optional>

class QLabel;

namespace vx {

class MapCellEdit;

// The 240 boxes of the cam advance map: rows of engine speed from left to right, the four inlet
// lines above the four exhaust lines, one line per throttle band. It validates what is typed,
// keeps the selection rectangle and colours the cells; storing a value into the map and sending
// it is the workspace's commit, which the grid asks for through its signals.
class MapGrid : public QWidget
{
    Q_OBJECT
public:
    explicit MapGrid(QWidget* parent = nullptr);

    MapCellEdit* cell(int index) const { return cells_[index]; }
    void setCellsEnabled(bool enabled);

    // Shows the current slot's map with its change colours; a hidden-cell marker becomes 0.
    void Fill_Display();

    // The value typed into a cell (its leading number).
    int cellValue(int index) const;

    bool cellSelected(int index) const { return CellSelected[index]; }
    bool selectionActive() const { return SelectionActive; }
    bool selecting() const { return Selecting; }
    int editedCell() const { return EditedCell; }
    void clearSelection();

    // Paints the backgrounds again (white, or cyan when selected) and, when given, the two cells
    // of the operating point in light blue.
    void markOperatingPoint(std::optional<int> row, int band);

    static QColor normalBackground() { return QColor(255, 255, 255); }
    static QColor selectedBackground() { return QColor(0, 255, 255); }
    static QColor operatingPointBackground() { return QColor(200, 200, 255); }

    // Cell events. Key handlers return whether the key reaches the box.
    void cellGotFocus(int index);
    void cellLostFocus(int index);
    bool cellKeyPress(int index, QChar key);
    bool cellKeyDown(int index, int key, Qt::KeyboardModifiers modifiers);
    void cellKeyUp(int index, int key, Qt::KeyboardModifiers modifiers);
    void cellMouseDown(int index, Qt::MouseButton button);
    void cellMouseMove(int index, QPoint position);
    void cellMouseUp(int index);

    // The pointer offset (x, y) in twips from the anchor cell: the rectangle it spans.
    void selectTo(int anchor, double x, double y);
    void ApplyToSelection(int anchor, int operation);

signals:
    // A cell holds a new value: the cell commit stores it (and sends it when online).
    void cellCommitRequested();
    // The selected cells hold new values: the selection commit.
    void selectionCommitRequested();

private:
    void buildLayout();
    void markChanged(int index);
    void restoreText(int index, const MapCell& value);
    void refocus(int index);
    void startSelection();
    std::optional<int> lineAt(int y) const;

    std::array<MapCellEdit*, kMapCells> cells_{};
    std::array<bool, kMapCells> CellSelected{};
    bool SelectionActive = false;
    bool Selecting = false;
    double KeySelectX = 0;
    double KeySelectY = 0;
    int CellMin = 0;
    int CellMax = 60;
    int EditedCell = 0;
};

// Step keys on a cell's value.
enum SelectionOperation
{
    StepUp = 0,
    StepDown = 1,
    CopyAnchor = 2
};

} // namespace vx
