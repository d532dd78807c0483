#pragma once

#include <QWidget>

namespace vx {

class Shell;

// The VVT workspace: edits the cam advance map and talks to the engine controller.
class Changadv : public QWidget
{
    Q_OBJECT
public:
    explicit Changadv(Shell& shell, QWidget* parent = nullptr);
    ~Changadv() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Shell& shell_;
};

} // namespace vx
