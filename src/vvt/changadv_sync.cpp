// Synchronisation of the PC's map and settings with the engine controller after connecting.
#include "app/shell.h"
#include "common/event_loop.h"
#include "common/globals.h"
#include "common/prompts.h"
#include "common/timing.h"
#include "common/trigger_patterns.h"
#include "serial/command_table.h"
#include "serial/hex.h"
#include "serial/reply_wait.h"
#include "service/cam_pwm_parameters.h"
#include "vvt/changadv.h"
#include "vvt/controller_replies.h"
#include "vvt/map_model.h"
#include "vvt/rx_wait.h"

#include <QElapsedTimer>
#include <QLabel>

namespace vx {

namespace {

const QString kWarning = QStringLiteral("Warning");

bool askYesNo(const QString& question)
{
    return MsgBox(question, Buttons::YesNo, Icon::Question, kWarning, Answer::No) == Answer::Yes;
}

QString camParamMnemonic(int i)
{
    return Command(cmd::camParam0 + i);
}

qint64 tenths(double value)
{
    return roundHalfEven(value * 10);
}

} // namespace

bool Changadv::sendAndWait(const QString& command)
{
    G.RxBuffer.clear();
    ComOutput(command + G.CR);
    return WaitForReply(false, QStringLiteral("*"), 0);
}

int Changadv::timedOut()
{
    ReInitConnection();
    return 2;
}

int Changadv::SyncWithController()
{
    int result = 1;
    if (!sendAndWait(Command(cmd::do_)))
        return timedOut();
    if (!G.RxBuffer.contains(QLatin1String("VVT ECU Type"))) {
        MsgBox(QStringLiteral("The connected ECU is NOT a VVT Control ECU!!"));
        shell_.disableMapFunctions();
        G.VvtEcuType = false;
        return 2;
    }
    G.VvtEcuType = true;

    if (G.BufferCaption != QLatin1String("Empty") && G.MapLoaded) {
        G.MapLoaded = false;
        const QString warning =
            G.CR + QStringLiteral("(WARNING: This will change ALL parameters in the ECU") + G.CR +
            QStringLiteral("which may not be compatible with the engine!)");
        const QString title = QStringLiteral("Force Settings to ECU");
        Answer answer = MsgBox(
            QStringLiteral("Overwrite ALL the settings in the ECU with the current map?") + warning,
            Buttons::YesNoCancel, Icon::Critical, title, Answer::Cancel);
        if (answer == Answer::Cancel)
            return 2;
        if (answer == Answer::Yes) {
            answer = MsgBox(QStringLiteral("Are you sure....?") + warning, Buttons::YesNoCancel,
                            Icon::Critical, title, Answer::Cancel);
            if (answer == Answer::Cancel)
                return 2;
            if (answer == Answer::Yes && ForceSettingsToController() != 1)
                return 2;
        }
    }

    if (!sendAndWait(Command(cmd::cy)))
        return timedOut();
    const std::optional<int> cylinders = cylinderCountOf(G.RxBuffer);
    if (!cylinders)
        return timedOut();
    if (G.ProgSettingsFromECU == 0 && *cylinders != G.CylinderCount) {
        result = 2;
        if (!askYesNo(QStringLiteral(
                          "The ECU is configured for %1 cylinders, but the PC is configured for %2 "
                          "cylinders, change cylinder mode in ECU?")
                          .arg(*cylinders)
                          .arg(G.CylinderCount))) {
            MsgBox(QStringLiteral("Use Setup to change the PC's cylinder mode setting"));
            return 2;
        }
        // Awaited, so that its reply is not taken for the answer to the next question.
        if (!sendAndWait(QString::number(G.CylinderCount) + Command(cmd::cy)))
            return timedOut();
    } else {
        G.CylinderCount = *cylinders;
    }

    G.RxBuffer.clear();
    const qint64 trigger = GetECUValue(Command(cmd::ty) + G.CR, QString(), 2);
    if (trigger < 0)
        return timedOut();
    if (G.ProgSettingsFromECU == 0 && G.TriggerType != trigger) {
        const QString ecuName = trigger::controllerName(static_cast<int>(trigger));
        if (!askYesNo(QStringLiteral("ECU and PC have different trigger types") + G.CR +
                      QStringLiteral("ECU = ") + ecuName + G.CR + QStringLiteral("PC = ") +
                      trigger::pcName(G.TriggerType) + G.CR +
                      QStringLiteral("Change trigger type in the ECU?"))) {
            MsgBox(QStringLiteral("Use Setup to change the PC's trigger type to match the ECU (") +
                   ecuName + QLatin1Char(')'));
            return 2;
        }
        if (!sendAndWait(trigger::code(G.TriggerType) + Command(cmd::ty)))
            return timedOut();
        if (!sendAndWait(QStringLiteral("00000000") + Command(cmd::ch)))
            return timedOut();
        MsgBox(QStringLiteral("The ECU will have now restarted in ") +
                   trigger::pcName(G.TriggerType) +
                   QStringLiteral(" trigger mode. Please re-connect to the ECU"),
               Buttons::Ok, Icon::Exclamation, kWarning);
        return 2;
    }
    G.TriggerType = static_cast<int>(trigger);

    G.RxBuffer.clear();
    if (G.BufferCaption == QLatin1String("Empty"))
        return readControllerMap();
    return checkControllerMap(result);
}

int Changadv::readControllerMap()
{
    const int s = G.CurrentMapSlot;
    if (!sendAndWait(Command(cmd::ad)))
        return timedOut();
    if (answerOf(G.RxBuffer, Command(cmd::ad), 2) != QLatin1String("01")) {
        MsgBox(QStringLiteral("System's curve is corrupt, load file into Curve%1 and retry").arg(s),
               Buttons::Ok, Icon::Exclamation, kWarning);
        return 2;
    }
    if (!sendAndWait(Command(cmd::na)))
        return timedOut();
    const QString name = mapNameOf(G.RxBuffer);
    if (name.isEmpty()) {
        MsgBox(QStringLiteral("System contains no curve, load file into Curve%1 and retry").arg(s),
               Buttons::Ok, Icon::Exclamation, kWarning);
        return 2;
    }
    G.BufferCaption = name;
    shell_.mapCaptionChanged();
    setWindowTitle(QStringLiteral("Vantorex ECU Manager - ") + name);

    if (!sendAndWait(Command(cmd::li)))
        return timedOut();
    const std::optional<ColumnMajorMap> map = mapOfListing(G.RxBuffer);
    if (!map)
        return timedOut();
    for (int column = 0; column < kMapUsedColumns; ++column) {
        for (int row = 0; row < kMapRows; ++row)
            G.AdvanceMap[row][s][column] = (*map)[column][row];
    }
    if (!sendAndWait(Command(cmd::ch)))
        return timedOut();
    G.MapChecksum[s] = signedChecksumOf(answerOf(G.RxBuffer, Command(cmd::ch), 8));
    for (int i = 0; i < kCamParamCount; ++i) {
        if (!sendAndWait(camParamMnemonic(i)))
            return timedOut();
        G.CamParams[i] = HexStringToInt(answerOf(G.RxBuffer, camParamMnemonic(i), 4)) / 10.0;
    }
    if (!readAllThrottleStates())
        return timedOut();
    Fill_Display();
    return 1;
}

bool Changadv::readAllThrottleStates()
{
    for (int i = 0; i < 2; ++i) {
        const QString mnemonic = Command(i == 0 ? cmd::it : cmd::et);
        if (!sendAndWait(mnemonic))
            return false;
        pwm_->SetThrottleEnable(i, answerOf(G.RxBuffer, mnemonic, 2));
    }
    return true;
}

int Changadv::checkControllerMap(int result)
{
    const int s = G.CurrentMapSlot;
    const QString n = G.BufferCaption;
    if (!sendAndWait(Command(cmd::ad)))
        return timedOut();
    if (answerOf(G.RxBuffer, Command(cmd::ad), 2) != QLatin1String("01")) {
        if (!askYesNo(QStringLiteral("The ECU map is corrupt, Curve%1 contains %2, reload system?")
                          .arg(s)
                          .arg(n)))
            return 2;
        return reloadController();
    }
    if (!sendAndWait(Command(cmd::na)))
        return timedOut();
    const QString name = mapNameOf(G.RxBuffer);
    if (name.isEmpty()) {
        if (!askYesNo(QStringLiteral("ECU contains no map, Map%1 contains %2, reload ECU?")
                          .arg(s)
                          .arg(n)))
            return 2;
        return reloadController();
    }
    if (name != n) {
        if (!askYesNo(QStringLiteral("ECU contains %1, Map%2 contains %3, reload ECU?")
                          .arg(name)
                          .arg(s)
                          .arg(n)))
            return 2;
        return reloadController();
    }
    if (!sendAndWait(Command(cmd::ch)))
        return timedOut();
    if (answerOf(G.RxBuffer, Command(cmd::ch), 8) != checksumDigits(G.MapChecksum[s])) {
        if (!askYesNo(QStringLiteral(
                          "ECU's cam position map is different to the PC's cam position map.") +
                      G.CR + QStringLiteral("Reload the ECU's cam position map from the PC?")))
            return 2;
        setStatus(QStringLiteral("Loading cam position map"));
        if (!UploadMapColumns(0, kMapUsedColumns - 1, false)) {
            if (leaving_)
                return 2;
            MsgBox(QStringLiteral("Error loading data into system"), Buttons::Ok, Icon::None,
                   QStringLiteral("Error"));
            Fill_Display();
            return 2;
        }
    }
    for (int i = 0; i < kCamParamCount; ++i) {
        if (!sendAndWait(camParamMnemonic(i)))
            return timedOut();
        // Compared in the tenths the controller keeps.
        if (HexStringToInt(answerOf(G.RxBuffer, camParamMnemonic(i), 4)) == tenths(G.CamParams[i]))
            continue;
        if (!askYesNo(
                QStringLiteral("ECU's PWM parameters are different to the PC's PWM parameters.") +
                G.CR + QStringLiteral("Reload the ECU's PWM parameters from the PC?")))
            return 2;
        setStatus(QStringLiteral("Loading PWM parameters"));
        if (!sendCamParameters(2))
            return timedOut();
        break;
    }
    if (!readAllThrottleStates())
        return timedOut();
    Fill_Display();
    return result;
}

bool Changadv::sendCamParameters(int minDigits)
{
    for (int j = 0; j < kCamParamCount; ++j) {
        ComOutput(hexPadded(tenths(G.CamParams[j]), minDigits) + camParamMnemonic(j) + G.CR);
        G.RxBuffer.clear();
        if (!WaitForReply(false, QStringLiteral("*"), 0))
            return false;
    }
    return true;
}

int Changadv::reloadController()
{
    setStatus(QStringLiteral("Loading engine map"));
    const int result = LoadMapToController();
    if (G.ControllerConnected == 0)
        return 2;
    if (!sendAndWait(QStringLiteral("0") + Command(cmd::en)))
        return timedOut();
    Fill_Display();
    return result;
}

int Changadv::LoadMapToController()
{
    int result = 1;
    if (!UploadMapColumns(0, kMapUsedColumns - 1, true)) {
        // Exit breaks the upload off; there is nothing to report then.
        if (leaving_)
            return 2;
        MsgBox(QStringLiteral("Error loading data into system"), Buttons::Ok, Icon::None,
               QStringLiteral("Error"));
        result = 2;
    }
    if (!sendCamParameters(4)) {
        ReInitConnection();
        return result;
    }
    return result;
}

int Changadv::ForceSettingsToController()
{
    LoadBusy = true;
    const int result = [this] {
        G.RxBuffer.clear();
        setStatus(QStringLiteral("Loading"));
        if (!sendAndWait(QString::number(G.CylinderCount) + Command(cmd::cy)))
            return timedOut();
        setStatus(QStringLiteral("Loading."));
        if (!sendAndWait(hexPadded(G.TriggerType, 2) + Command(cmd::ty)) ||
            !WaitForReply(false, QStringLiteral("*"), 0))
            return timedOut();
        setStatus(QStringLiteral("Loading.."));
        int loaded = LoadMapToController();
        if (leaving_ || G.ControllerConnected == 0)
            return 2;
        setStatus(QStringLiteral("Loading"));
        if (!sendAndWait(QStringLiteral("0") + Command(cmd::en)))
            return 0;
        if (!sendAndWait(Command(cmd::unv)))
            return timedOut();
        setStatus(QStringLiteral("Loading.."));
        if (!sendAndWait(QStringLiteral("00000000") + Command(cmd::ch)))
            return timedOut();
        setStatus(QStringLiteral("Loading..."));
        G.RxBuffer.clear();
        for (int k = 0; k < 10; ++k) {
            sleepMs(timing::scaled(100));
            yieldToEventLoop();
        }
        // The controller is back once it reports the cylinder count it was given.
        QElapsedTimer waited;
        waited.start();
        const QString query = Command(cmd::cy) + G.CR;
        const QString end = G.CR + G.LF + QStringLiteral("*");
        while (true) {
            G.RxBuffer.clear();
            ComOutput(query);
            if (waitForReceived([&] { return G.RxBuffer.contains(end); },
                                timing::kReplyTimeoutMs / 4) &&
                HexStringToInt(G.RxBuffer.mid(query.size() + 1, 1)) == G.CylinderCount)
                break;
            if (waited.elapsed() >= timing::scaled(timing::kRestartWaitMs) || leaving_) {
                MsgBox(QStringLiteral("ECU not responding"));
                return timedOut();
            }
            sleepMs(1);
        }
        return loaded == 1 ? 1 : loaded;
    }();
    LoadBusy = false;
    return result;
}

} // namespace vx
