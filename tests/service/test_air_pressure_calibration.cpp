#include "common/globals.h"
#include "service/air_pressure_calibration.h"
#include "service/pressure_table.h"
#include "settings/settings_store.h"
#include "sim/air_pressure_table.h"
#include "sim/gearbox_controller.h"
#include "sim_ports.h"
#include "test_environment.h"
#include "test_host.h"
#include "window_driver.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace vx;
using namespace vx::settings;

namespace {

constexpr int kGearboxPort = 2;
const QString kOutOfRange = QStringLiteral("Value out of range (0.01-4.99V)");
const QString kZeroTooHigh =
    QStringLiteral("Value must be lower than 0 psi setting by at least 0.5V");
const QString kFullTooLow =
    QStringLiteral("Value must be higher than 100 psi setting by at least 0.5V");
const QString kTableRefused = QStringLiteral("Error sending air pressure table to ECU");
const QString kChangedQuestion =
    QStringLiteral("The AirPress temperature sensor calibration has changed, update ECU?");

QByteArrayList recordLines(const QByteArrayList& lines)
{
    QByteArrayList records;
    for (const QByteArray& line : lines) {
        if (line.startsWith("S3") || line.startsWith("S7"))
            records << line;
    }
    return records;
}

} // namespace

class TestAirPressureCalibration : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        env = std::make_unique<test::TestEnvironment>();
        gcu = std::make_unique<sim::GearboxController>();
        test::plugAtPort(*gcu, kGearboxPort, *env);
        host = std::make_unique<test::TestHost>("GearboxControl", kGearboxPort);
        QVERIFY(host->isOpen());
        dialog = std::make_unique<AirPressureCalibration>();
    }
    void cleanup()
    {
        QCOMPARE(env->prompts.unexpected, 0);
        dialog.reset();
        host.reset();
        gcu.reset();
        env.reset();
    }

    void opening_data();
    void opening();
    void silentControllerLeavesTheDefaults();
    void keystrokes_data();
    void keystrokes();
    void leavingABox_data();
    void leavingABox();
    void toGcuSendsThePointsAndTheTable();
    void refusedRecordStopsTheTable_data();
    void refusedRecordStopsTheTable();
    void pairThatGivesNoTableIsNotSent();
    void closing_data();
    void closing();
    void closeDuringTheExchangeWaitsForItsEnd();
    void opensWithoutWaitingWhereItWasLeft();

private:
    QLineEdit* zeroBox() const { return dialog->findChild<QLineEdit*>("AirCompPressVoltsAtZero"); }
    QLineEdit* fullBox() const { return dialog->findChild<QLineEdit*>("AirCompPressVoltsAt140"); }
    QPushButton* toGcu() const { return dialog->findChild<QPushButton*>("ToECU"); }
    sim::AirPressureTable& sensor() const { return *sim::AirPressureTable::of(*gcu); }
    // Opens the dialog on the controller's points and gives it the focus.
    bool open(int zero = 50, int full = 450);
    // Replaces a box's text as the user does: select, backspace, type, then Tab on.
    void retype(QLineEdit* box, const QString& text, QWidget* next);

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<sim::GearboxController> gcu;
    std::unique_ptr<test::TestHost> host;
    std::unique_ptr<AirPressureCalibration> dialog;
};

bool TestAirPressureCalibration::open(int zero, int full)
{
    sensor().setZeroCentivolts(zero);
    sensor().setFullCentivolts(full);
    dialog->load();
    gcu->clearReceivedLines();
    host->syncCalls.clear();
    return test::showActive(*dialog, dialog->findChild<QPushButton*>("CalExit"));
}

void TestAirPressureCalibration::retype(QLineEdit* box, const QString& text, QWidget* next)
{
    test::tabTo(box);
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
    test::tabTo(next);
}

void TestAirPressureCalibration::opening_data()
{
    QTest::addColumn<int>("zero");
    QTest::addColumn<int>("full");
    QTest::addColumn<QString>("zeroText");
    QTest::addColumn<QString>("fullText");
    QTest::newRow("usual sensor") << 0x32 << 0x1C2 << "0.50"
                                  << "4.50";
    QTest::newRow("0 V and 5 V are not plausible") << 0 << 0x1F4 << "0.00"
                                                   << "5.00";
    QTest::newRow("ends of the plausible range") << 1 << 0x1F3 << "0.01"
                                                 << "4.99";
}

void TestAirPressureCalibration::opening()
{
    QFETCH(int, zero);
    QFETCH(int, full);
    QFETCH(QString, zeroText);
    QFETCH(QString, fullText);
    G.AirPressZeroVolts = 1.5;
    sensor().setZeroCentivolts(zero);
    sensor().setFullCentivolts(full);

    dialog->load();

    QCOMPARE(dialog->windowTitle(), QStringLiteral("Calibrate Sensors"));
    QCOMPARE(dialog->findChild<QGroupBox*>("Frame1")->title(),
             QStringLiteral("Air Pressure Settings"));
    QCOMPARE(dialog->findChild<QLabel*>("Label2")->text(),
             QStringLiteral("Sensor Voltage at 0 psi"));
    QCOMPARE(dialog->findChild<QLabel*>("Label1")->text(),
             QStringLiteral("Sensor Voltage at 140 psi"));
    QCOMPARE(toGcu()->text(), QStringLiteral("To GCU"));
    QCOMPARE(dialog->findChild<QPushButton*>("CalExit")->text(), QStringLiteral("Exit"));
    QCOMPARE(zeroBox()->text(), zeroText);
    QCOMPARE(fullBox()->text(), fullText);
    QCOMPARE(G.AirPressZeroVolts, zeroText.toDouble());
    QCOMPARE(G.AirPress140Volts, fullText.toDouble());
    QVERIFY(zeroBox()->isEnabled() && fullBox()->isEnabled());
    QCOMPARE(gcu->receivedLines(), (QByteArrayList{"az", "ah"}));
    QCOMPARE(host->syncCalls, (QList<bool>{false, true}));
    QVERIFY(env->prompts.messages.isEmpty());
    QVERIFY(!dialog->calibrationChanged());
}

void TestAirPressureCalibration::silentControllerLeavesTheDefaults()
{
    sim::FaultSettings silent;
    silent.silent = true;
    gcu->setFaults(silent);
    env->prompts.answer(Answer::Ok);
    env->prompts.answer(Answer::Ok);

    dialog->load();

    QCOMPARE(env->prompts.texts(), (QStringList{"ECU not responding", "ECU not responding"}));
    QCOMPARE(zeroBox()->text(), QStringLiteral("0.00"));
    QCOMPARE(fullBox()->text(), QStringLiteral("5.00"));
    QCOMPARE(host->syncCalls, (QList<bool>{false, true}));
}

void TestAirPressureCalibration::keystrokes_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("result");
    QTest::newRow("no fifth character") << "4.99"
                                        << "1"
                                        << "4.99";
    QTest::newRow("backspace passes") << "4.99"
                                      << "\b\b1"
                                      << "4.1";
    QTest::newRow("one point only") << ""
                                    << "1..5"
                                    << "1.5";
    QTest::newRow("letters and signs refused") << ""
                                               << "a-2 x"
                                               << "2";
    QTest::newRow("carriage return refused") << "1.2"
                                             << "\r5"
                                             << "1.25";
}

void TestAirPressureCalibration::keystrokes()
{
    QFETCH(QString, start);
    QFETCH(QString, typed);
    QFETCH(QString, result);
    QVERIFY(open());
    QLineEdit* box = zeroBox();
    test::tabTo(box);
    box->setText(start);
    box->end(false);
    for (const QChar c : typed) {
        if (c == QLatin1Char('\b'))
            QTest::keyClick(box, Qt::Key_Backspace);
        else if (c == QLatin1Char('\r'))
            QTest::keyClick(box, Qt::Key_Return);
        else
            QTest::keyClick(box, c.toLatin1());
    }
    QCOMPARE(box->text(), result);
    QVERIFY(dialog->isVisible());
}

void TestAirPressureCalibration::leavingABox_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("storedZero");
    QTest::addColumn<int>("storedFull");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("changed");

    QTest::newRow("new 0 psi point") << "zero" << 50 << 450 << "0.6"
                                     << ""
                                     << "0.60" << true;
    QTest::newRow("same 0 psi point") << "zero" << 50 << 450 << ".5"
                                      << ""
                                      << "0.50" << false;
    QTest::newRow("0 psi point of 0 V")
        << "zero" << 50 << 450 << "0" << kOutOfRange << "0.50" << false;
    QTest::newRow("0 psi point too near")
        << "zero" << 50 << 450 << "4.2" << kZeroTooHigh << "0.50" << false;
    QTest::newRow("0 psi 4.60 against 5.00")
        << "zero" << 50 << 500 << "4.60" << kZeroTooHigh << "0.50" << false;
    QTest::newRow("exactly half a volt below") << "zero" << 50 << 230 << "1.80"
                                               << ""
                                               << "1.80" << true;
    QTest::newRow("new 140 psi point") << "full" << 50 << 450 << "4"
                                       << ""
                                       << "4.00" << true;
    QTest::newRow("140 psi point too near")
        << "full" << 50 << 450 << "0.9" << kFullTooLow << "4.50" << false;
    QTest::newRow("140 psi point of 5 V")
        << "full" << 50 << 450 << "5" << kOutOfRange << "4.50" << false;
    QTest::newRow("140 psi below the 0 psi point")
        << "full" << 200 << 450 << "1.5" << kFullTooLow << "4.50" << false;
}

void TestAirPressureCalibration::leavingABox()
{
    QFETCH(QString, box);
    QFETCH(int, storedZero);
    QFETCH(int, storedFull);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QFETCH(bool, changed);
    QVERIFY(open(storedZero, storedFull));
    QLineEdit* edited = box == "zero" ? zeroBox() : fullBox();
    QLineEdit* other = box == "zero" ? fullBox() : zeroBox();
    if (!message.isEmpty())
        env->prompts.answer(Answer::Ok);

    retype(edited, typed, other);

    QCOMPARE(env->prompts.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    for (const Message& m : env->prompts.messages) {
        QCOMPARE(m.title, QStringLiteral("Vantorex VVT ECU Software"));
        QCOMPARE(m.buttons, Buttons::Ok);
    }
    QCOMPARE(edited->text(), shown);
    // A refused value keeps the focus in its box; the other box is not checked meanwhile.
    QCOMPARE(QApplication::focusWidget(), message.isEmpty() ? other : edited);
    QCOMPARE(dialog->calibrationChanged(), changed);
    QVERIFY(gcu->receivedLines().isEmpty());
}

void TestAirPressureCalibration::toGcuSendsThePointsAndTheTable()
{
    QVERIFY(open());
    retype(zeroBox(), "1.25", fullBox());
    retype(fullBox(), "4", toGcu());
    QVERIFY(dialog->calibrationChanged());

    toGcu()->click();

    QCOMPARE(G.AirPressZeroVolts, 1.25);
    QCOMPARE(G.AirPress140Volts, 4.0);
    const PressureTable expected = BuildPressureTable();
    QByteArrayList sent{"007Daz", "0190ah", "lp"};
    for (int r = 0; r < kPressureRecords; ++r)
        sent << PressureTableRecord(expected, r).toLatin1();
    sent << "S70500004000BA";
    QTRY_COMPARE(gcu->receivedLines(), sent);
    QTRY_COMPARE(sensor().loadsCompleted(), 1);
    QCOMPARE(sensor().zeroCentivolts(), 125);
    QCOMPARE(sensor().fullCentivolts(), 400);
    for (int i = 0; i < kPressureTableEntries; ++i)
        QCOMPARE(int(sensor().table()[i]), std::min(expected[i], 255));
    QCOMPARE(host->syncCalls, (QList<bool>{false, true}));
    QVERIFY(env->prompts.messages.isEmpty());
    QVERIFY(!dialog->calibrationChanged());

    // Nothing has changed since: a second click sends nothing.
    gcu->clearReceivedLines();
    toGcu()->click();
    QVERIFY(gcu->receivedLines().isEmpty());
    QCOMPARE(host->syncCalls.size(), 2);
}

void TestAirPressureCalibration::refusedRecordStopsTheTable_data()
{
    QTest::addColumn<int>("record");
    QTest::newRow("first record") << 0;
    QTest::newRow("fourth record") << 3;
    QTest::newRow("last record") << 7;
}

void TestAirPressureCalibration::refusedRecordStopsTheTable()
{
    QFETCH(int, record);
    QVERIFY(open());
    const sim::AirPressureTable::Table before = sensor().table();
    sensor().failRecord(record);
    retype(fullBox(), "4.2", toGcu());
    env->prompts.answer(Answer::Ok);

    toGcu()->click();

    QCOMPARE(env->prompts.texts(), QStringList{kTableRefused});
    QCOMPARE(env->prompts.messages[0].title, QStringLiteral("Vantorex VVT ECU Software"));
    // The refusal reaches the program while the next line goes out at the latest; nothing
    // follows that line.
    const QByteArrayList records = recordLines(gcu->receivedLines());
    QVERIFY2(records.size() >= record + 1 && records.size() <= record + 2,
             qPrintable(QString::number(records.size())));
    QCOMPARE(sensor().loadsCompleted(), 0);
    QVERIFY(sensor().table() == before);
    // The points went out before the table and count as sent.
    QCOMPARE(sensor().fullCentivolts(), 420);
    QVERIFY(!dialog->calibrationChanged());
    QCOMPARE(host->syncCalls, (QList<bool>{false, true}));
}

void TestAirPressureCalibration::pairThatGivesNoTableIsNotSent()
{
    QVERIFY(open(200, 450));
    retype(zeroBox(), "0.5", fullBox());
    retype(fullBox(), "1.2", zeroBox());
    env->prompts.answer(Answer::Ok);
    // Refused against 1.20: the box goes back to the stored 2.00, above the 140 psi point.
    retype(zeroBox(), "0.9", toGcu());
    QCOMPARE(zeroBox()->text(), QStringLiteral("2.00"));
    QCOMPARE(fullBox()->text(), QStringLiteral("1.20"));
    env->prompts.answer(Answer::Ok);

    toGcu()->click();

    QCOMPARE(
        env->prompts.texts(),
        (QStringList{kZeroTooHigh, "The voltage at 140 psi must be at least 0.5V higher than the "
                                   "voltage at 0 psi; nothing has been sent to the GCU"}));
    QCOMPARE(env->prompts.messages[1].icon, Icon::Exclamation);
    QVERIFY(gcu->receivedLines().isEmpty());
    QVERIFY(host->syncCalls.isEmpty());
    QVERIFY(dialog->calibrationChanged());
    QCOMPARE(G.AirPressZeroVolts, 2.0);
}

void TestAirPressureCalibration::closing_data()
{
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("sent");
    QTest::newRow("unchanged") << false << "Exit" << -1 << false;
    QTest::newRow("changed, update") << true << "Exit" << int(Answer::Yes) << true;
    QTest::newRow("changed, keep the controller's") << true << "Exit" << int(Answer::No) << false;
    QTest::newRow("window closed, update") << true << "close" << int(Answer::Yes) << true;
    QTest::newRow("escape, keep the controller's") << true << "escape" << int(Answer::No) << false;
}

void TestAirPressureCalibration::closing()
{
    QFETCH(bool, changed);
    QFETCH(QString, how);
    QFETCH(int, answer);
    QFETCH(bool, sent);
    QVERIFY(open());
    auto* exit = dialog->findChild<QPushButton*>("CalExit");
    if (changed)
        retype(zeroBox(), "0.8", exit);
    else
        test::tabTo(exit);
    if (answer >= 0)
        env->prompts.answer(Answer(answer));
    dialog->move(144, 96);

    if (how == "Exit")
        exit->click();
    else if (how == "close")
        dialog->close();
    else
        QTest::keyClick(exit, Qt::Key_Escape);

    QVERIFY(!dialog->isVisible());
    if (changed) {
        QCOMPARE(env->prompts.texts(), QStringList{kChangedQuestion});
        QCOMPARE(env->prompts.messages[0].title, QStringLiteral("Calibration Changed"));
        QCOMPARE(env->prompts.messages[0].buttons, Buttons::YesNo);
    } else {
        QVERIFY(env->prompts.messages.isEmpty());
    }
    if (sent)
        QTRY_COMPARE(sensor().loadsCompleted(), 1);
    QCOMPARE(gcu->receivedLines().contains("0050az"), sent);
    QCOMPARE(GetSetting(kAppVvtGcu, kWindows, "TempCalLeft"), QStringLiteral("2160"));
    QCOMPARE(GetSetting(kAppVvtGcu, kWindows, "TempCalTop"), QStringLiteral("1440"));
}

void TestAirPressureCalibration::closeDuringTheExchangeWaitsForItsEnd()
{
    QVERIFY(open());
    retype(fullBox(), "4.4", toGcu());
    // The window is asked to close while the records go out: it stays until they are sent.
    bool stayed = false;
    QTimer::singleShot(0, dialog.get(), [&] {
        dialog->close();
        stayed = dialog->isVisible();
    });

    toGcu()->click();

    QVERIFY(stayed);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(recordLines(gcu->receivedLines()).size(), kPressureRecords + 1);
    QTRY_COMPARE(sensor().loadsCompleted(), 1);
    QVERIFY(env->prompts.messages.isEmpty());
}

void TestAirPressureCalibration::opensWithoutWaitingWhereItWasLeft()
{
    SaveSetting(kAppVvtGcu, kWindows, "TempCalLeft", "1440");
    SaveSetting(kAppVvtGcu, kWindows, "TempCalTop", "2880");

    showAirPressureCalibration(nullptr);

    QPointer<AirPressureCalibration> shown;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<AirPressureCalibration*>(w);
            d && d != dialog.get() && d->isVisible())
            shown = d;
    }
    QVERIFY(shown);
    QVERIFY(!shown->isModal());
    QCOMPARE(shown->windowState(), Qt::WindowNoState);
    QCOMPARE(shown->pos(), QPoint(96, 192));
    QCOMPARE(shown->findChild<QLineEdit*>("AirCompPressVoltsAtZero")->text(),
             QStringLiteral("0.50"));

    // Asking again brings the same window forward.
    showAirPressureCalibration(nullptr);
    int open = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        open += qobject_cast<AirPressureCalibration*>(w) && w != dialog.get() ? 1 : 0;
    QCOMPARE(open, 1);
    QCOMPARE(gcu->receivedLines(), (QByteArrayList{"az", "ah"}));

    shown->findChild<QPushButton*>("CalExit")->click();
    QTRY_VERIFY(!shown);
}

QTEST_MAIN(TestAirPressureCalibration)
#include "test_air_pressure_calibration.moc"
