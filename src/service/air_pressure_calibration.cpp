#include "service/air_pressure_calibration.h"

#include "common/globals.h"
#include "common/prompts.h"
#include "serial/command_table.h"
#include "serial/hex.h"
#include "service/air_pressure_values.h"
#include "service/focus_lost.h"
#include "service/pressure_table.h"
#include "settings/window_positions.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

namespace vx {

namespace {

const QString kOutOfRange = QStringLiteral("Value out of range (0.01-4.99V)");
const QString kZeroTooHigh =
    QStringLiteral("Value must be lower than 0 psi setting by at least 0.5V");
const QString kFullTooLow =
    QStringLiteral("Value must be higher than 100 psi setting by at least 0.5V");
const QString kPointsTooClose = QStringLiteral(
    "The voltage at 140 psi must be at least 0.5V higher than the voltage at 0 psi; nothing has "
    "been sent to the GCU");
const QString kTableRefused = QStringLiteral("Error sending air pressure table to ECU");

double plausiblePoint(qint64 reading, double fallback)
{
    const double volts = static_cast<double>(reading) / 100;
    return volts >= kMinSensorVolts && volts <= kMaxSensorVolts ? volts : fallback;
}

QLineEdit* makeVoltsBox(const QString& name, QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setAlignment(Qt::AlignRight);
    return box;
}

} // namespace

void showAirPressureCalibration(QWidget* parent)
{
    // One calibration window at a time: asking again brings the open one to the front.
    static QPointer<AirPressureCalibration> open;
    if (open) {
        open->raise();
        open->activateWindow();
        return;
    }
    QPointer<AirPressureCalibration> dialog = new AirPressureCalibration(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    open = dialog;
    dialog->load();
    if (!dialog)
        return;
    dialog->setWindowState(Qt::WindowNoState);
    dialog->show();
}

AirPressureCalibration::AirPressureCalibration(QWidget* parent)
    : QDialog(parent), gearbox_(QStringLiteral("GearboxControl"))
{
    setObjectName(QStringLiteral("TempCal"));
    setWindowTitle(QStringLiteral("Calibrate Sensors"));

    Frame1 = new QGroupBox(QStringLiteral("Air Pressure Settings"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Label2 = new QLabel(QStringLiteral("Sensor Voltage at 0 psi"), Frame1);
    Label2->setObjectName(QStringLiteral("Label2"));
    AirCompPressVoltsAtZero = makeVoltsBox(QStringLiteral("AirCompPressVoltsAtZero"), Frame1);
    Label1 = new QLabel(QStringLiteral("Sensor Voltage at 140 psi"), Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    AirCompPressVoltsAt140 = makeVoltsBox(QStringLiteral("AirCompPressVoltsAt140"), Frame1);
    auto* points = new QGridLayout(Frame1);
    points->addWidget(Label2, 0, 0);
    points->addWidget(AirCompPressVoltsAtZero, 0, 1);
    points->addWidget(Label1, 1, 0);
    points->addWidget(AirCompPressVoltsAt140, 1, 1);
    for (QWidget* w : std::initializer_list<QWidget*>{Frame1, Label2, AirCompPressVoltsAtZero,
                                                      Label1, AirCompPressVoltsAt140})
        w->setEnabled(false);

    ToECU = new QPushButton(QStringLiteral("To GCU"), this);
    ToECU->setObjectName(QStringLiteral("ToECU"));
    CalExit = new QPushButton(QStringLiteral("Exit"), this);
    CalExit->setObjectName(QStringLiteral("CalExit"));
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {ToECU, CalExit}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addLayout(buttons);

    for (QLineEdit* box : {AirCompPressVoltsAtZero, AirCompPressVoltsAt140})
        box->installEventFilter(this);
    onFocusLost(AirCompPressVoltsAtZero, [this] { zeroPointLostFocus(); });
    onFocusLost(AirCompPressVoltsAt140, [this] { fullPointLostFocus(); });
    connect(ToECU, &QPushButton::clicked, this, &AirPressureCalibration::ToECU_Click);
    connect(CalExit, &QPushButton::clicked, this, &AirPressureCalibration::CalExit_Click);
}

void AirPressureCalibration::load()
{
    RestoreWindowPosition(*this, places::tempCal());
    G.AirPressZeroVolts = 0;
    G.AirPress140Volts = 5;
    {
        QScopedValueRollback<bool> busy(sending_, true);
        gearbox_.SyncWithRPMTimer(false);
        G.AirPressZeroVolts = plausiblePoint(
            gearbox_.GetECUValue(Command(cmd::az) + G.CR, QString(), 4), G.AirPressZeroVolts);
        G.AirPress140Volts = plausiblePoint(
            gearbox_.GetECUValue(Command(cmd::ah) + G.CR, QString(), 4), G.AirPress140Volts);
        gearbox_.SyncWithRPMTimer(true);
    }
    AirCompPressVoltsAtZero->setText(voltsText(G.AirPressZeroVolts));
    AirCompPressVoltsAt140->setText(voltsText(G.AirPress140Volts));
    for (QWidget* w : std::initializer_list<QWidget*>{Frame1, Label2, AirCompPressVoltsAtZero,
                                                      Label1, AirCompPressVoltsAt140})
        w->setEnabled(true);
}

bool AirPressureCalibration::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress &&
        (watched == AirCompPressVoltsAtZero || watched == AirCompPressVoltsAt140)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Moving on with Tab and the editing shortcuts are not typing.
        const bool typing =
            !key->text().isEmpty() && key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        if (typing) {
            const auto* box = static_cast<QLineEdit*>(watched);
            if (!AcceptVoltsKey(box->text(), key->text().at(0).unicode()))
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AirPressureCalibration::zeroPointLostFocus()
{
    if (validating_)
        return;
    QScopedValueRollback<bool> validating(validating_, true);
    const double z = leadingNumber(AirCompPressVoltsAtZero->text());
    const double h = leadingNumber(AirCompPressVoltsAt140->text());
    AirCompPressVoltsAtZero->setText(voltsText(z));
    switch (checkZeroPoint(z, h)) {
    case PointCheck::OutOfRange:
        MsgBox(kOutOfRange);
        restorePoint(AirCompPressVoltsAtZero, G.AirPressZeroVolts);
        return;
    case PointCheck::TooClose:
        MsgBox(kZeroTooHigh);
        restorePoint(AirCompPressVoltsAtZero, G.AirPressZeroVolts);
        return;
    case PointCheck::Ok:
        break;
    }
    if (centivolts(z) != centivolts(G.AirPressZeroVolts))
        CalibrationChanged = true;
}

void AirPressureCalibration::fullPointLostFocus()
{
    if (validating_)
        return;
    QScopedValueRollback<bool> validating(validating_, true);
    const double z = leadingNumber(AirCompPressVoltsAtZero->text());
    const double h = leadingNumber(AirCompPressVoltsAt140->text());
    AirCompPressVoltsAt140->setText(voltsText(h));
    switch (checkFullPoint(h, z)) {
    case PointCheck::OutOfRange:
        MsgBox(kOutOfRange);
        restorePoint(AirCompPressVoltsAt140, G.AirPress140Volts);
        return;
    case PointCheck::TooClose:
        MsgBox(kFullTooLow);
        restorePoint(AirCompPressVoltsAt140, G.AirPress140Volts);
        return;
    case PointCheck::Ok:
        break;
    }
    if (centivolts(h) != centivolts(G.AirPress140Volts))
        CalibrationChanged = true;
}

void AirPressureCalibration::restorePoint(QLineEdit* box, double stored)
{
    box->setText(voltsText(stored));
    box->setFocus(Qt::OtherFocusReason);
}

void AirPressureCalibration::ToECU_Click()
{
    if (!CalibrationChanged || sending_)
        return;
    const double z = leadingNumber(AirCompPressVoltsAtZero->text());
    const double h = leadingNumber(AirCompPressVoltsAt140->text());
    // Each box was checked against the other as it was then; a box put back to its stored
    // point afterwards can leave a pair that would give no usable table.
    if (centivolts(h) - centivolts(z) < kMinPointSpacingCentivolts) {
        MsgBox(kPointsTooClose, Buttons::Ok, Icon::Exclamation);
        return;
    }
    {
        QScopedValueRollback<bool> busy(sending_, true);
        gearbox_.SyncWithRPMTimer(false);
        G.AirPress140Volts = h;
        G.AirPressZeroVolts = z;
        AirCompPressVoltsAt140->setText(voltsText(h));
        AirCompPressVoltsAtZero->setText(voltsText(z));
        SendAirCalibration();
        CalibrationChanged = false;
        SendPressureTable();
        gearbox_.SyncWithRPMTimer(true);
    }
    if (closeRequested_ && !closing_)
        close();
}

void AirPressureCalibration::SendAirCalibration()
{
    gearbox_.ComOutput(calibrationPointCommand(G.AirPressZeroVolts, Command(cmd::az)));
    gearbox_.ComOutput(calibrationPointCommand(G.AirPress140Volts, Command(cmd::ah)));
}

void AirPressureCalibration::SendPressureTable()
{
    const PressureTable PressureTable = BuildPressureTable();
    gearbox_.ComOutput(Command(cmd::lp) + G.CR);
    for (int r = 0; r < kPressureRecords; ++r) {
        if (!gearbox_.WriteLine(PressureTableRecord(PressureTable, r))) {
            MsgBox(kTableRefused);
            return;
        }
    }
    if (!gearbox_.WriteLine(kPressureTableEnd))
        MsgBox(kTableRefused);
}

void AirPressureCalibration::CalExit_Click()
{
    close();
}

void AirPressureCalibration::reject()
{
    close();
}

void AirPressureCalibration::closeEvent(QCloseEvent* event)
{
    // An exchange under way finishes first; the window closes when it is over.
    if (sending_ || closing_) {
        closeRequested_ = true;
        event->ignore();
        return;
    }
    QScopedValueRollback<bool> closing(closing_, true);
    closeRequested_ = false;
    if (CalibrationChanged &&
        MsgBox(
            QStringLiteral("The AirPress temperature sensor calibration has changed, update ECU?"),
            Buttons::YesNo, Icon::None, QStringLiteral("Calibration Changed")) == Answer::Yes) {
        ToECU_Click();
        // Points that could not be sent stay on screen to be put right.
        if (CalibrationChanged) {
            event->ignore();
            return;
        }
    }
    SaveWindowPosition(*this, places::tempCal());
    event->accept();
}

} // namespace vx
