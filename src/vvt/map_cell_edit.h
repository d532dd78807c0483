#pragma once

#include <QLineEdit>

namespace vx {

class MapGrid;

// One box of the map grid. Its events go to the grid, which knows the map and the selection.
class MapCellEdit : public QLineEdit
{
    Q_OBJECT
public:
    MapCellEdit(int index, MapGrid& grid, QWidget* parent);

    int index() const { return index_; }
    void setBackground(const QColor& colour);
    void setTextColour(const QColor& colour);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void setColour(QPalette::ColorRole role, const QColor& colour);

    int index_;
    MapGrid& grid_;
};

} // namespace vx
