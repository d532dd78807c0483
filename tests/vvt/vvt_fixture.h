#pragma once

#include "app/shell.h"
#include "common/globals.h"
#include "sim/vvt_controller.h"
#include "vvt/changadv.h"
#include "vvt/map_cell_edit.h"
#include "vvt/map_grid.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

namespace vx::test {

// The main window as a workspace sees it: counts what the workspace asks of it.
class RecordingShell final : public Shell
{
public:
    void showMainWindow() override { ++mainWindowShown; }
    void mapCaptionChanged() override { ++captionChanges; }
    void disableMapFunctions() override { ++mapFunctionsDisabled; }
    void disableGearboxButton() override {}

    int mainWindowShown = 0;
    int captionChanges = 0;
    int mapFunctionsDisabled = 0;
};

inline QString statusOf(const Changadv& workspace)
{
    return workspace.findChild<QLabel*>(QStringLiteral("Status"))->text();
}

inline QString captionOf(const QWidget& window, const QString& name)
{
    if (const auto* label = window.findChild<QLabel*>(name))
        return label->text();
    if (const auto* button = window.findChild<QPushButton*>(name))
        return button->text();
    return QStringLiteral("<no %1>").arg(name);
}

inline QPushButton* buttonOf(const QWidget& window, const QString& name)
{
    return window.findChild<QPushButton*>(name);
}

// Every line the controller received that is not part of the live data batch or the wake-up.
inline QByteArrayList commandLines(const sim::VvtController& ecu)
{
    static const QList<QByteArray> live = {"rp", "sy", "th", "to", "rh", "cw",
                                           "cx", "cz", "dw", "dv", ""};
    QByteArrayList lines;
    for (const QByteArray& line : ecu.receivedLines()) {
        if (!live.contains(line))
            lines << line;
    }
    return lines;
}

// The program's map and the controller's agree cell by cell.
inline bool mapsAgree(const sim::VvtController& ecu)
{
    for (int column = 0; column < kMapUsedColumns; ++column) {
        for (int row = 0; row < kMapRows; ++row) {
            const MapCell& cell = G.AdvanceMap[row][G.CurrentMapSlot][column];
            if (cell.value_or(0) != ecu.cell(row, column))
                return false;
        }
    }
    return true;
}

} // namespace vx::test

namespace vx::test {

// A VVT workspace opened online against a simulated controller on COM1.
class OnlineWorkspace
{
public:
    ~OnlineWorkspace() { delete workspace.data(); }

    Changadv& open()
    {
        workspace = new Changadv(shell);
        workspace->show();
        return *workspace;
    }
    bool waitStatus(const QString& status, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return workspace && statusOf(*workspace) == status; }, ms);
    }
    bool openRunning()
    {
        open();
        return waitStatus(QStringLiteral("Running"));
    }
    MapCellEdit* cell(int i) const { return workspace->grid().cell(i); }
    bool focus(int i)
    {
        if (!QTest::qWaitForWindowActive(workspace))
            return false;
        cell(i)->setFocus(Qt::TabFocusReason);
        return QTest::qWaitFor([&] { return cell(i)->hasFocus(); }, 1000);
    }

    RecordingShell shell;
    QPointer<Changadv> workspace;
};

// The lines of map uploads among what the controller received.
inline QByteArrayList uploadLines(const sim::VvtController& ecu)
{
    QByteArrayList lines;
    for (const QByteArray& line : ecu.receivedLines()) {
        if (line.startsWith("S") || line.endsWith("en") || line == "po" ||
            line.endsWith(".camna") || (line.endsWith("ch") && line.size() == 10))
            lines << line;
    }
    return lines;
}

} // namespace vx::test
