#include "common/globals.h"
#include "gearbox_fixture.h"
#include "once_received.h"
#include "service/air_pressure_calibration.h"
#include "service/data_logger.h"
#include "service/throttle_setup.h"
#include "sim/air_pressure_table.h"
#include "window_driver.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace vx;
using vx::test::GearboxFixture;

// The workspace's tool buttons open the service dialogs on its own link, with its live status
// paused around their exchanges and running again afterwards.
class TestGearboxTools : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        fx = std::make_unique<GearboxFixture>();
        QVERIFY(fx->openAndConnect());
    }
    void cleanup() { fx.reset(); }

    void throttleSetupUsesTheGearboxLink();
    void dataLoggerPausesAndResumesPolling();
    void calibrateReadsThePointsFromTheGearbox();
    void workspaceClickedWhileTheCalibrationTalks_data();
    void workspaceClickedWhileTheCalibrationTalks();

private:
    static AirPressureCalibration* calibration()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<AirPressureCalibration*>(w);
                dialog && dialog->isVisible())
                return dialog;
        }
        return nullptr;
    }
    QTimer* readTimer() const { return fx->child<QTimer>("GearboxReadTimer"); }
    bool pollsAgain()
    {
        const qsizetype before = fx->gcu.receivedLines().size();
        return QTest::qWaitFor([&] { return fx->gcu.receivedLines().mid(before).contains("rp"); },
                               5000);
    }

    std::unique_ptr<GearboxFixture> fx;
};

void TestGearboxTools::throttleSetupUsesTheGearboxLink()
{
    bool shown = false;
    test::whenModalShown<ThrottleSetup>([&](ThrottleSetup& dialog) {
        shown = true;
        dialog.findChild<QComboBox*>("Combo1")->setCurrentText("Logarithmic");
        dialog.Combo1_LostFocus();
        dialog.reject();
    });
    QTest::mouseClick(fx->button("ThrotCal"), Qt::LeftButton);
    QVERIFY(shown);
    QVERIFY(fx->gcu.receivedLines().contains("00tt"));
    QCOMPARE(G.ThrottlePotLaw, QStringLiteral("00"));
    QVERIFY(readTimer()->isActive());
    QVERIFY(pollsAgain());
    QVERIFY2(fx->env->prompts.messages.isEmpty(), qPrintable(fx->env->prompts.texts().join('|')));
}

void TestGearboxTools::dataLoggerPausesAndResumesPolling()
{
    bool pausedMeanwhile = false;
    test::whenModalShown<DataLogger>([&](DataLogger& dialog) {
        pausedMeanwhile = !readTimer()->isActive();
        dialog.Cancel_Click();
    });
    QTest::mouseClick(fx->button("DataLogger"), Qt::LeftButton);
    QVERIFY(pausedMeanwhile);
    QVERIFY(readTimer()->isActive());
    QVERIFY(pollsAgain());
}

void TestGearboxTools::calibrateReadsThePointsFromTheGearbox()
{
    sim::AirPressureTable::of(fx->gcu)->setZeroCentivolts(62);
    sim::AirPressureTable::of(fx->gcu)->setFullCentivolts(431);
    QTest::mouseClick(fx->button("Calibrate"), Qt::LeftButton);
    AirPressureCalibration* dialog = calibration();
    QVERIFY(dialog);
    QCOMPARE(dialog->objectName(), QStringLiteral("TempCal"));
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->findChild<QLineEdit*>("AirCompPressVoltsAtZero")->text(),
             QStringLiteral("0.62"));
    QCOMPARE(dialog->findChild<QLineEdit*>("AirCompPressVoltsAt140")->text(),
             QStringLiteral("4.31"));
    QVERIFY(fx->gcu.receivedLines().contains("az"));
    QVERIFY(fx->gcu.receivedLines().contains("ah"));
    QVERIFY(pollsAgain());
    dialog->CalExit_Click();
    QTRY_VERIFY(!dialog->isVisible());
}

// The calibration window stays open beside the workspace, so the workspace's buttons can be
// clicked while the window waits for the controller.
void TestGearboxTools::workspaceClickedWhileTheCalibrationTalks_data()
{
    QTest::addColumn<QByteArray>("line"); // the click comes once the controller has this line
    QTest::addColumn<QString>("button");
    QTest::newRow("Exit, reading the points") << QByteArray("az") << QStringLiteral("GearboxExit");
    QTest::newRow("Exit, sending the table") << QByteArray("lp") << QStringLiteral("GearboxExit");
    QTest::newRow("UpShift, reading the points")
        << QByteArray("az") << QStringLiteral("TestUpshift");
    QTest::newRow("UpShift, sending the table")
        << QByteArray("lp") << QStringLiteral("TestUpshift");
}

void TestGearboxTools::workspaceClickedWhileTheCalibrationTalks()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, button);
    const bool exit = button == QLatin1String("GearboxExit");
    fx.reset();
    fx = std::make_unique<GearboxFixture>(0.3);
    QVERIFY(fx->openAndConnect());
    sim::FaultSettings slow;
    slow.replyDelay = std::chrono::milliseconds(40);
    const test::OnceReceived click(fx->gcu, line, [&] { fx->button(button)->click(); });
    if (line == "az")
        fx->gcu.setFaults(slow);
    QTest::mouseClick(fx->button("Calibrate"), Qt::LeftButton);
    if (line == "lp") {
        QPointer<AirPressureCalibration> dialog = calibration();
        QVERIFY(dialog);
        QLineEdit* zero = dialog->findChild<QLineEdit*>("AirCompPressVoltsAtZero");
        dialog->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), dialog.data());
        test::tabTo(zero);
        zero->selectAll();
        QTest::keyClick(zero, Qt::Key_Backspace);
        QTest::keyClicks(zero, "0.75");
        test::tabTo(dialog->findChild<QLineEdit*>("AirCompPressVoltsAt140"));
        QVERIFY(dialog->calibrationChanged());
        fx->gcu.setFaults(slow);
        dialog->findChild<QPushButton*>("ToECU")->click();
    }
    QVERIFY(click.acted());
    if (exit) {
        // What the dialog was doing is finished first; then the workspace and the dialog close.
        QTRY_VERIFY(fx->workspace.isNull());
        QVERIFY(!calibration());
        QCOMPARE(fx->shell.mainWindowShown, 1);
    } else {
        // A shift would take the dialog's reply: it is refused, and the dialog's exchange ends
        // as if nothing had been clicked.
        QCOMPARE(fx->env->prompts.beeps, 1);
        QVERIFY(!fx->gcu.receivedLines().contains("ps"));
        QVERIFY(calibration());
        QVERIFY(pollsAgain());
    }
    QVERIFY2(fx->env->prompts.messages.isEmpty(), qPrintable(fx->env->prompts.texts().join('|')));
    if (line == "lp")
        QVERIFY(fx->gcu.receivedLines().contains("S70500004000BA"));
}

QTEST_MAIN(TestGearboxTools)
#include "test_gearbox_tools.moc"
