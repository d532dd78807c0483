#pragma once

#include <QWidget>

namespace vx {

class Shell;

// The gearbox workspace: parameters, tests and live status of the gearbox controller.
class GearboxControl : public QWidget
{
    Q_OBJECT
public:
    explicit GearboxControl(Shell& shell, QWidget* parent = nullptr);
    ~GearboxControl() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Shell& shell_;
};

} // namespace vx
