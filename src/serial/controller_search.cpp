#include "serial/controller_search.h"

#include "common/event_loop.h"
#include "common/globals.h"
#include "common/prompts.h"
#include "common/timing.h"
#include "serial/com_port.h"
#include "serial/command_table.h"

namespace vx {

namespace {
const QString kEscape = QString(QChar(27));
}

ControllerSearch::ControllerSearch(ComPort& port, PortProbe& probe, SearchView& view)
    : port_(port), probe_(probe), view_(view)
{
}

template <typename Condition> bool ControllerSearch::waitSteps(Condition condition, bool& stopped)
{
    int steps = 0;
    while (!condition() && steps < timing::kSearchWaitSteps) {
        sleepMs(timing::kSearchStepMs);
        yieldToEventLoop();
        if (!view_.dialogOpen()) {
            stopped = true;
            return false;
        }
        ++steps;
    }
    return steps < timing::kSearchWaitSteps;
}

ControllerSearch::Outcome ControllerSearch::tryPort(int n)
{
    bool stopped = false;

    bool awake = false;
    for (int attempt = 0; attempt < timing::kSearchTries; ++attempt) {
        G.RxBuffer.clear();
        port_.output(kEscape);
        awake = waitSteps([] { return G.RxBuffer.contains(QLatin1Char('*')); }, stopped);
        if (stopped)
            return Outcome::Stopped;
    }
    if (!awake)
        return Outcome::NotHere;

    for (int attempt = 0; attempt < timing::kSearchTries; ++attempt) {
        G.RxBuffer.clear();
        port_.output(Command(cmd::ve) + G.CR);
        const bool answered = waitSteps(
            [] { return G.RxBuffer.contains(QLatin1String("ve")) || G.RxBuffer.contains(QLatin1Char('*')); },
            stopped);
        if (stopped)
            return Outcome::Stopped;
        if (!answered || G.RxBuffer.contains(QLatin1String("Illegal")) || G.RxBuffer.size() <= 10)
            continue;

        const qsizetype v = G.RxBuffer.indexOf(QLatin1Char('V'));
        QString version;
        if (v >= 0) {
            const qsizetype star = G.RxBuffer.indexOf(QLatin1Char('*'), v);
            version = G.RxBuffer.mid(v, star < 0 ? -1 : star - v);
        }

        G.RxBuffer.clear();
        port_.output(Command(cmd::g) + QLatin1Char('0') + G.CR);
        const bool gearAnswered = waitSteps(
            [] { return G.RxBuffer.contains(QLatin1String("g0")) || G.RxBuffer.contains(QLatin1Char('*')); },
            stopped);
        if (stopped)
            return Outcome::Stopped;
        if (gearAnswered && !G.RxBuffer.contains(QLatin1String("Illegal")) && G.RxBuffer.size() > 7) {
            view_.appendProgressText(QStringLiteral("found!"));
            MsgBox(QStringLiteral("ECU found on COM%1, Firmware version %2").arg(n).arg(version),
                   Buttons::Ok, Icon::Information, QStringLiteral("ECU Found!"));
            G.ComPortNumber = n;
            view_.setPortText(QStringLiteral("COM%1").arg(n));
            return Outcome::Found;
        }
    }
    return Outcome::NotHere;
}

void ControllerSearch::run()
{
    G.CR = QStringLiteral("\r");
    G.LF = QStringLiteral("\n");
    view_.setProgressText(QStringLiteral("Scanning COM ports..."));
    view_.setFindButton(QStringLiteral("Finding ECU.."), false);
    if (searchedBefore_)
        probe_ = FindComPorts(port_);

    MsgBox(QStringLiteral("Please make sure the ECU is switched on and is either plugged into a USB "
                          "port or is Bluetooth paired with this computer, then click OK. Please be "
                          "patient! This scan may take 10 or 15 seconds if the connection is via "
                          "Bluetooth"),
           Buttons::Ok, Icon::Information, QStringLiteral("Find ECU"));

    bool found = false;
    for (int n = 1; n <= kPortCount && !found; ++n) {
        if (!probe_.isAvailable(n))
            continue;
        if (!view_.dialogOpen())
            break;
        port_.setHandshaking(3);
        port_.setSettings(QStringLiteral("115200,N,8,1"));
        port_.setPortNumber(n);
        const PortOpenResult opened = port_.open();
        view_.appendProgressText(G.CR + G.LF + QStringLiteral("Trying COM%1...").arg(n));
        if (!opened.ok())
            continue;

        const Outcome outcome = tryPort(n);
        if (outcome == Outcome::Found) {
            port_.close();
            found = true;
            break;
        }
        view_.appendProgressText(QStringLiteral("no ECU"));
        port_.close();
        if (outcome == Outcome::Stopped)
            return;
    }

    if (!found && view_.dialogOpen()) {
        MsgBox(QStringLiteral("ECU not found. Please unplug USB cable and plug back in again, also "
                              "power cycle ECU"),
               Buttons::Ok, Icon::Critical, QStringLiteral("ECU not found!!!"));
    }
    searchedBefore_ = true;
    view_.appendProgressText(G.CR + G.LF + QStringLiteral("Scan complete"));
    view_.setFindButton(QStringLiteral("Find ECU"), true);
}

} // namespace vx
