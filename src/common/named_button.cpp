#include "common/named_button.h"

#include <QPushButton>

namespace vx {

QPushButton* namedButton(const QString& name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace vx
