#pragma once

#include "sim/controller.h"

namespace vx::sim {

// The variable-valve-timing engine controller (the ECU).
class VvtController : public Controller
{
    Q_OBJECT

public:
    static constexpr char kDefaultVersion[] = "V1.2-3";

    explicit VvtController(QObject* parent = nullptr);

protected:
    QByteArray description() const override;
};

} // namespace vx::sim
