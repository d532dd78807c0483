#include "common/globals.h"
#include "gearbox/parameter_table.h"
#include "gearbox_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace vx;
using vx::test::GearboxFixture;

class TestGearboxParameters : public QObject
{
    Q_OBJECT
private slots:
    void init() { fx = std::make_unique<GearboxFixture>(); }
    void cleanup() { fx.reset(); }

    void readsEverySetting();
    void commitSendsTheDigits_data();
    void commitSendsTheDigits();
    void refusedInput_data();
    void refusedInput();
    void plusAndMinusKeys_data();
    void plusAndMinusKeys();
    void unchangedTextSendsNothing();
    void lostFocusCommits();
    void gearRows_data();
    void gearRows();
    void setButtonsCaptureTheSensors();
    void switches();
    void autoShiftMode_data();
    void autoShiftMode();
    void maxGearsEnablesRows();
    void gearPatternLayout_data();
    void gearPatternLayout();
    void dataLoggerFollowsTheController();
    void combinedControllerHasNoCalibrate();

private:
    std::unique_ptr<GearboxFixture> fx;
};

void TestGearboxParameters::readsEverySetting()
{
    sim::GearboxSettings& s = fx->gcu.settings();
    s.setValue("ut", 0x7D);
    s.setValue("md", 9000);
    s.setValue("co", 100);
    s.setValue("wp", 1);
    s.setValue("bn", 0);
    s.setValue("rm", 1);
    s.setValue("am", 2);
    fx->gcu.setGearPosition('3', 0x99);
    fx->gcu.setRamPosition('r', 0x21);
    QVERIFY(fx->openAndConnect());
    // Every box shows the controller's value times its scale.
    for (const gearbox::NumberParameter& p : gearbox::numberParameters()) {
        const int value = *s.value(gearbox::mnemonic(p).toLatin1());
        QCOMPARE(fx->box(p.control)->text(), QString::number(value * p.show));
    }
    QCOMPARE(fx->box("UpshiftTimeout")->text(), QStringLiteral("1250"));
    QCOMPARE(fx->box("BarrelGear_3")->text(), QStringLiteral("153"));
    QCOMPARE(fx->box("RamGear_10")->text(), QStringLiteral("33"));
    QVERIFY(fx->child<QCheckBox>("SwapPaddles")->isChecked());
    QVERIFY(G.PaddlesSwapped);
    QVERIFY(!fx->child<QCheckBox>("BrakeFromNeutral")->isChecked());
    QVERIFY(fx->child<QCheckBox>("RPMMatchMode")->isChecked());
    QCOMPARE(fx->child<QComboBox>("AutoShiftOption")->currentText(),
             QStringLiteral("Always, (not in 1st)"));
    // Reading sends no setting back.
    QVERIFY(fx->sentSettings().isEmpty());
    const QByteArrayList lines = fx->gcu.receivedLines();
    const qsizetype gd = lines.indexOf("00gd");
    QCOMPARE(lines.mid(gd, 7), (QByteArrayList{"00gd", "ty", "wp", "bn", "mg", "g0", "h0"}));
    QVERIFY(lines.indexOf("gr") < lines.indexOf("hr"));
    QCOMPARE(lines.at(lines.indexOf("hr") + 1), QByteArray("gp"));
    QCOMPARE(lines.at(lines.indexOf("gp") + 1), QByteArray("bw"));
    QCOMPARE(lines.at(lines.indexOf("mp") + 1), QByteArray("rm"));
    QCOMPARE(lines.at(lines.indexOf("cf") + 1), QByteArray("am"));
    QCOMPARE(lines.at(lines.indexOf("am") + 1), QByteArray("wd"));
}

void TestGearboxParameters::commitSendsTheDigits_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("stored");
    QTest::newRow("upshift timeout 1250") << "UpshiftTimeout"
                                          << "1250" << QByteArray("7Dut") << "1250" << 0x7D;
    QTest::newRow("upshift timeout 125") << "UpshiftTimeout"
                                         << "125" << QByteArray("0Cut") << "125" << 12;
    QTest::newRow("max downshift 9000") << "MaxDownRPM"
                                        << "9000" << QByteArray("2328md") << "9000" << 9000;
    QTest::newRow("max downshift 1000") << "MaxDownRPM"
                                        << "1000" << QByteArray("03E8md") << "1000" << 1000;
    QTest::newRow("min blip 250") << "MinBlipRPM"
                                  << "250" << QByteArray("0FAmr") << "250" << 250;
    QTest::newRow("on pressure 100") << "OnPressure"
                                     << "100" << QByteArray("064co") << "100" << 100;
    QTest::newRow("leading zero") << "BarrelWindow"
                                  << "07" << QByteArray("07bw") << "7" << 7;
    QTest::newRow("max gears") << "MaxGears"
                               << "5" << QByteArray("05mg") << "5" << 5;
}

void TestGearboxParameters::commitSendsTheDigits()
{
    QFETCH(QString, control);
    QFETCH(QString, typed);
    QFETCH(QByteArray, line);
    QFETCH(QString, shown);
    QFETCH(int, stored);
    QVERIFY(fx->openAndConnect());
    fx->typeAndEnter(fx->box(control), typed);
    QCOMPARE(fx->sentSettings(), QByteArrayList{line});
    QCOMPARE(fx->box(control)->text(), shown);
    const gearbox::NumberParameter& p = gearbox::numberParameter(control);
    QCOMPARE(fx->gcu.settings().value(gearbox::mnemonic(p).toLatin1()), std::optional<int>(stored));
    QVERIFY(fx->env->prompts.messages.isEmpty());
    QVERIFY(fx->child<QTimer>("GearboxReadTimer")->isActive());
}

void TestGearboxParameters::refusedInput_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("above range") << "UpshiftTimeout"
                                 << "2555"
                                 << "Value out of range";
    QTest::newRow("below range") << "PercentEngaged"
                                 << "5"
                                 << "Value out of range";
    QTest::newRow("beyond 16 bits") << "MaxDownRPM"
                                    << "40000"
                                    << "Value out of range";
    QTest::newRow("empty") << "BarrelWindow"
                           << ""
                           << "Invalid input";
    QTest::newRow("pasted letters") << "RamWindow"
                                    << "x1"
                                    << "Invalid input";
    QTest::newRow("too long") << "MinBlipRPM"
                              << "10000"
                              << "Invalid input";
    QTest::newRow("gear row") << "BarrelGear_2"
                              << "256"
                              << "Value out of range";
}

void TestGearboxParameters::refusedInput()
{
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QVERIFY(fx->openAndConnect());
    QLineEdit* box = fx->box(control);
    const QString before = box->text();
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(box, &focusIn);
    box->setText(text);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(fx->env->prompts.texts(), QStringList{message});
    QCOMPARE(fx->env->prompts.messages.first().title, QStringLiteral("Warning"));
    QCOMPARE(fx->env->prompts.messages.first().buttons, Buttons::Ok);
    QCOMPARE(box->text(), before);
    QVERIFY(fx->sentSettings().isEmpty());
}

void TestGearboxParameters::plusAndMinusKeys_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("value"); // set in the controller before connecting
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QByteArrayList>("sent");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("plus") << "UpshiftTimeout" << 125 << "+" << QByteArrayList{"7Eut"} << "1260"
                          << QStringList();
    QTest::newRow("plus at the top")
        << "UpshiftTimeout" << 255 << "+" << QByteArrayList() << "2550" << QStringList();
    QTest::newRow("minus at zero")
        << "UpshiftTimeout" << 0 << "-" << QByteArrayList() << "0" << QStringList();
    QTest::newRow("minus twice") << "PlayUpshift" << 100 << "-_" << QByteArrayList{"63pu", "62pu"}
                                 << "98" << QStringList();
    QTest::newRow("play downshift steps")
        << "PlayDownshift" << 140 << "=" << QByteArrayList{"8Dpd"} << "141" << QStringList();
    QTest::newRow("sixth digit then plus")
        << "MaxDownRPM" << 12000 << "1+" << QByteArrayList{"2F44md"} << "12100" << QStringList();
}

void TestGearboxParameters::plusAndMinusKeys()
{
    QFETCH(QString, control);
    QFETCH(int, value);
    QFETCH(QString, keys);
    QFETCH(QByteArrayList, sent);
    QFETCH(QString, shown);
    QFETCH(QStringList, messages);
    const gearbox::NumberParameter& p = gearbox::numberParameter(control);
    fx->gcu.settings().setValue(gearbox::mnemonic(p).toLatin1(), value);
    QVERIFY(fx->openAndConnect());
    QLineEdit* box = fx->box(control);
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(box, &focusIn);
    box->end(false);
    QTest::keyClicks(box, keys);
    QCOMPARE(fx->sentSettings(), sent);
    QCOMPARE(box->text(), shown);
    QCOMPARE(fx->env->prompts.texts(), messages);
}

void TestGearboxParameters::unchangedTextSendsNothing()
{
    QVERIFY(fx->openAndConnect());
    fx->typeAndEnter(fx->box("RamWindow"), "10");
    QVERIFY(fx->sentSettings().isEmpty());
    // Plus past the commit range: the commit refuses the stepped value and puts the old one back.
    fx->gcu.settings().setValue("ut", 0);
    QLineEdit* box = fx->box("UpshiftTimeout");
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(box, &focusIn);
    box->setText("2545");
    QTest::keyClick(box, '+');
    QCOMPARE(fx->env->prompts.texts(), QStringList{"Value out of range"});
    QCOMPARE(box->text(), QStringLiteral("250"));
    QVERIFY(fx->sentSettings().isEmpty());
}

void TestGearboxParameters::lostFocusCommits()
{
    QVERIFY(fx->openAndConnect());
    fx->workspace->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(fx->workspace));
    QLineEdit* box = fx->box("Dog2DogPulse");
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    box->selectAll();
    QTest::keyClicks(box, "33");
    fx->box("WaitDisengage")->setFocus();
    QTRY_VERIFY(fx->box("WaitDisengage")->hasFocus());
    QCOMPARE(fx->sentSettings(), QByteArrayList{"21ip"});
}

void TestGearboxParameters::gearRows_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("barrel neutral") << "BarrelGear_0"
                                    << "200" << QByteArray("C8g0");
    QTest::newRow("barrel one digit") << "BarrelGear_4"
                                      << "9" << QByteArray("09g4");
    QTest::newRow("barrel reverse") << "BarrelGear_10"
                                    << "200" << QByteArray("C8gR");
}

void TestGearboxParameters::gearRows()
{
    QFETCH(QString, control);
    QFETCH(QString, typed);
    QFETCH(QByteArray, line);
    fx->gcu.settings().setValue("gp", 1); // reverse in use
    QVERIFY(fx->openAndConnect());
    fx->typeAndEnter(fx->box(control), typed);
    QCOMPARE(fx->sentSettings(), QByteArrayList{line});
    const char gear = line.back();
    QCOMPARE(fx->gcu.gearPosition(gear), std::optional<quint8>(quint8(typed.toInt())));
}

void TestGearboxParameters::setButtonsCaptureTheSensors()
{
    fx->gcu.settings().setValue("gp", 4);
    fx->gcu.live().setValue("bs", 200);
    fx->gcu.live().setValue("rs", 7);
    QVERIFY(fx->openAndConnect());
    QTRY_COMPARE(fx->label("BarrelSensor")->text(), QStringLiteral(" 200"));
    QTRY_COMPARE(fx->label("RamSensor")->text(), QStringLiteral(" 7"));

    fx->button("SetPlayUpshift")->click();
    QCOMPARE(fx->sentSettings(), QByteArrayList{"07pu"});
    QCOMPARE(fx->box("PlayUpshift")->text(), QStringLiteral(" 7"));
    fx->button("SetFullyEngagedDownshift")->click();
    QCOMPARE(fx->sentSettings(), QByteArrayList{"07fd"});

    // A two-axis gearbox captures both sensors into the row.
    fx->button("SetGear_10")->click();
    QCOMPARE(fx->sentSettings(), (QByteArrayList{"C8gR", "07hR"}));
    QCOMPARE(fx->box("BarrelGear_10")->text(), QStringLiteral(" 200"));
    QCOMPARE(fx->box("RamGear_10")->text(), QStringLiteral(" 7"));
    QCOMPARE(fx->gcu.ramPosition('R'), std::optional<quint8>(7));
    QVERIFY(fx->child<QTimer>("GearboxReadTimer")->isActive());
}

void TestGearboxParameters::switches()
{
    QVERIFY(fx->openAndConnect());
    QCheckBox* swap = fx->child<QCheckBox>("SwapPaddles");
    swap->click();
    QCOMPARE(fx->sentSettings(), QByteArrayList{"01wp"});
    QVERIFY(G.PaddlesSwapped);
    swap->click();
    QCOMPARE(fx->sentSettings(), QByteArrayList{"00wp"});
    fx->child<QCheckBox>("BrakeFromNeutral")->click();
    QCOMPARE(fx->sentSettings(), QByteArrayList{"01bn"});
    QVERIFY(G.BrakeFromNeutralOn);
    fx->child<QCheckBox>("RPMMatchMode")->click();
    QCOMPARE(fx->sentSettings(), QByteArrayList{"00rm"});
    QCOMPARE(fx->gcu.settings().value("rm"), std::optional<int>(0));
}

void TestGearboxParameters::autoShiftMode_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("shown");
    QTest::newRow("unset") << 255 << "Disabled";
    QTest::newRow("hold up paddle") << 3 << "Hold Up Paddle";
    QTest::newRow("unknown") << 7 << "";
}

void TestGearboxParameters::autoShiftMode()
{
    QFETCH(int, code);
    QFETCH(QString, shown);
    fx->gcu.settings().setValue("am", code);
    QVERIFY(fx->openAndConnect());
    QComboBox* list = fx->child<QComboBox>("AutoShiftOption");
    QCOMPARE(list->currentText(), shown);
    QCOMPARE(list->count(), 4);
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(list, &focusIn);
    list->setCurrentIndex(1);
    emit list->activated(1);
    QCOMPARE(fx->sentSettings(), QByteArrayList{"01am"});
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(list, &focusOut);
    QVERIFY(fx->sentSettings().isEmpty());
}

void TestGearboxParameters::maxGearsEnablesRows()
{
    QVERIFY(fx->openAndConnect());
    for (int i = 0; i <= 6; ++i)
        QVERIFY(fx->box(QStringLiteral("BarrelGear_%1").arg(i))->isEnabled());
    QVERIFY(!fx->box("BarrelGear_7")->isEnabled());
    fx->typeAndEnter(fx->box("MaxGears"), "5");
    QCOMPARE(fx->sentSettings(), QByteArrayList{"05mg"});
    for (int i = 1; i <= 9; ++i) {
        QCOMPARE(fx->box(QStringLiteral("BarrelGear_%1").arg(i))->isEnabled(), i <= 5);
        QCOMPARE(fx->button(QStringLiteral("SetGear_%1").arg(i))->isEnabled(), i <= 5);
        QCOMPARE(fx->label(QStringLiteral("GearLabel_%1").arg(i))->isEnabled(), i <= 5);
    }
}

void TestGearboxParameters::gearPatternLayout_data()
{
    QTest::addColumn<int>("pattern");
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<bool>("twoAxis");
    QTest::newRow("barrel 0") << 0 << false << false;
    QTest::newRow("barrel 1") << 1 << true << false;
    QTest::newRow("barrel 2") << 2 << true << false;
    QTest::newRow("barrel 3") << 3 << false << false;
    QTest::newRow("two-axis") << 4 << true << true;
}

void TestGearboxParameters::gearPatternLayout()
{
    QFETCH(int, pattern);
    QFETCH(bool, reverse);
    QFETCH(bool, twoAxis);
    fx->gcu.settings().setValue("gp", pattern);
    QVERIFY(fx->openAndConnect());
    QCOMPARE(fx->workspace->gearPatternCode(), pattern);
    QCOMPARE(fx->box("BarrelGear_10")->isEnabled(), reverse);
    QCOMPARE(fx->button("SetGear_10")->isEnabled(), reverse);
    QCOMPARE(fx->box("RamGear_3")->isVisible(), twoAxis);
    QCOMPARE(fx->label("LeftRight")->isVisible(), twoAxis);
    QCOMPARE(fx->box("MaxGears")->isEnabled(), !twoAxis);
    QCOMPARE(fx->box("BarrelGear_0")->isEnabled(), !twoAxis);
    const auto title = [this](const char* name) { return fx->child<QGroupBox>(name)->title(); };
    QCOMPARE(title("BarrelFrame"),
             twoAxis ? "Gear Position Configuration" : "Barrel Position Configuration");
    QCOMPARE(title("Frame6"), twoAxis ? "Backward" : "Upshift");
    QCOMPARE(title("Frame7"), twoAxis ? "Foward" : "Downshift");
    QCOMPARE(fx->label("Label2")->text(), twoAxis ? "L/R Sensor:" : "Barrel Sensor:");
    QCOMPARE(fx->label("Label4")->text(), twoAxis ? "F/B Sensor:" : "Ram Sensor:");
    QCOMPARE(fx->label("Label14")->text(), twoAxis ? "F/B Window" : "Ram Window");
    QCOMPARE(fx->label("Label21")->text(), twoAxis ? "L/R Window" : "Barrel Window");
    QCOMPARE(fx->button("UpShift")->text(), twoAxis ? "Back Ram" : "Up Ram");
    QCOMPARE(fx->button("DownShift")->text(), twoAxis ? "Fwd Ram" : "Down Ram");
}

void TestGearboxParameters::dataLoggerFollowsTheController()
{
    fx->gcu.setDataLogger(false);
    QVERIFY(fx->openAndConnect());
    QVERIFY(!fx->button("DataLogger")->isEnabled());
    QVERIFY(fx->button("Calibrate")->isEnabled());
}

void TestGearboxParameters::combinedControllerHasNoCalibrate()
{
    fx->gcu.setCombined(true);
    QVERIFY(fx->openAndConnect());
    QVERIFY(G.VvtEcuType);
    QVERIFY(!fx->button("Calibrate")->isEnabled());
    QVERIFY(fx->button("DataLogger")->isEnabled());
}

QTEST_MAIN(TestGearboxParameters)
#include "test_gearbox_parameters.moc"
