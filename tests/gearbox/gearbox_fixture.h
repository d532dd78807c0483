#pragma once

#include "app/shell.h"
#include "gearbox/gearbox_control.h"
#include "sim/gearbox_controller.h"
#include "test_environment.h"

#include <QByteArrayList>
#include <QPointer>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vx::test {

// The main window as a workspace sees it.
class FakeShell final : public Shell
{
public:
    void showMainWindow() override { ++mainWindowShown; }
    void mapCaptionChanged() override {}
    void disableMapFunctions() override {}
    void disableGearboxButton() override { ++gearboxButtonDisabled; }

    int mainWindowShown = 0;
    int gearboxButtonDisabled = 0;
};

inline constexpr int kGearboxPort = 2;
// Connect, poll and reply time-outs shrink to a tenth.
inline constexpr double kFastTiming = 0.1;
inline constexpr int kConnectBoundMs = 10000;

// One simulated gearbox controller at COM2 and a gearbox workspace connecting to it.
class GearboxFixture
{
public:
    explicit GearboxFixture(double timingScale = kFastTiming);
    ~GearboxFixture();

    // Opens the workspace (as the main window's button does).
    GearboxControl* open();
    // Opens it and waits until it runs.
    bool openAndConnect();
    bool waitRunning(int boundMs = kConnectBoundMs);

    QString status() const;
    template <typename T> T* child(const QString& name) const
    {
        return workspace->findChild<T*>(name);
    }
    QLineEdit* box(const QString& name) const;
    QPushButton* button(const QString& name) const;
    QLabel* label(const QString& name) const;

    // The lines the controller received since the last call, without the status batch reads.
    QByteArrayList sentSettings();
    // Types text into a box as the user does, then commits with Enter.
    void typeAndEnter(QLineEdit* box, const QString& text);

    std::unique_ptr<TestEnvironment> env;
    sim::GearboxController gcu;
    FakeShell shell;
    QPointer<GearboxControl> workspace;

private:
    qsizetype seen_ = 0;
};

// The lines of the live status batch, which the tests leave out when they check what a button
// sent.
bool isStatusRead(const QByteArray& line);

} // namespace vx::test
