#include "gearbox/indicator_light.h"

#include <QPainter>

namespace vx::gearbox {

IndicatorLight::IndicatorLight(const QString& name, QWidget* parent) : QFrame(parent)
{
    setObjectName(name);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void IndicatorLight::setFill(const QColor& colour)
{
    if (colour == fill_)
        return;
    fill_ = colour;
    update();
}

QColor IndicatorLight::fill() const
{
    return fill_.isValid() ? fill_ : palette().color(QPalette::Button);
}

void IndicatorLight::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setBrush(fill());
    const int side = std::min(width(), height()) - 2;
    painter.drawEllipse(QRect((width() - side) / 2, (height() - side) / 2, side, side));
}

} // namespace vx::gearbox
