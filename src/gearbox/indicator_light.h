#pragma once

#include <QColor>
#include <QFrame>

namespace vx::gearbox {

// A round lamp: filled with its colour when lit, with the button face otherwise.
class IndicatorLight : public QFrame
{
    Q_OBJECT
public:
    explicit IndicatorLight(const QString& name, QWidget* parent = nullptr);

    // An invalid colour means the button face.
    void setFill(const QColor& colour);
    QColor fill() const;
    bool isLit() const { return fill_.isValid(); }

    QSize sizeHint() const override { return {18, 18}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_;
};

inline QColor greenLight()
{
    return QColor(0, 255, 0);
}
inline QColor redLight()
{
    return QColor(255, 0, 0);
}

} // namespace vx::gearbox
