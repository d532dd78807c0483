#include "common/globals.h"
#include "gearbox/gear_change_pattern.h"
#include "gearbox/indicator_light.h"
#include "gearbox_fixture.h"
#include "once_received.h"
#include "serial/workspace_link.h"
#include "window_driver.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace vx;
using vx::test::GearboxFixture;

namespace {

bool anyWindow(QWidget*) { return true; }

const QColor kRed(255, 0, 0);
const QStringList kOutputs{"ThrotBlip", "UpShift",    "DownShift",     "LeftRam",
                           "RightRam",  "NeutralUp",  "NeutralDown",   "SparkCut",
                           "DogToDog",  "ReverseAct", "AirCompressor", "Clutch"};
const QStringList kLights{"UpRamLight",
                          "DownRamLight",
                          "LeftRamLight",
                          "RightRamLight",
                          "NeutralPulsingUpLight",
                          "NeutralPulsingDownLight",
                          "SparkCutLight",
                          "RevLimiitingLight",
                          "ReverseActLight",
                          "AirCompLight",
                          "ClutchLight"};

} // namespace

class TestGearboxTestMode : public QObject
{
    Q_OBJECT
private slots:
    void init() { fx = std::make_unique<GearboxFixture>(); }
    void cleanup() { fx.reset(); }

    void operateButtons_data();
    void operateButtons();
    void testModeSwitch_data();
    void testModeSwitch();
    void outputsAndInterlocks_data();
    void outputsAndInterlocks();
    void leavingResetsEveryLight();
    void noPromptLeavesTheLight();
    void patternDialogSendsOnlyAChange();
    void patternDialogOneChoiceAtATime();
    void patternDialogFromTheWorkspace();
    void patternDialogInTestModeReconnects();

private:
    void enterTestMode();
    QColor fill(const QString& light) const
    {
        return fx->child<gearbox::IndicatorLight>(light)->fill();
    }
    QColor face() const { return fx->workspace->palette().color(QPalette::Button); }
    std::unique_ptr<GearboxFixture> fx;
};

void TestGearboxTestMode::enterTestMode()
{
    fx->button("EnableDisable")->click();
    QVERIFY(fx->gcu.inTestMode());
    fx->sentSettings();
}

void TestGearboxTestMode::operateButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("gear");
    QTest::newRow("upshift") << "TestUpshift" << QByteArray("ps") << " 1";
    QTest::newRow("downshift") << "TestDownshift" << QByteArray("ws") << " 1";
    QTest::newRow("neutral") << "TestNeutralShift" << QByteArray("ns") << " 0";
    QTest::newRow("reset") << "ResetGearbox" << QByteArray("re") << " 0";
}

void TestGearboxTestMode::operateButtons()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, line);
    QFETCH(QString, gear);
    QVERIFY(fx->openAndConnect());
    fx->button(button)->click();
    QCOMPARE(fx->sentSettings(), QByteArrayList{line});
    QVERIFY(fx->child<QTimer>("GearboxReadTimer")->isActive());
    QTRY_COMPARE(fx->label("GearPosition")->text(), gear);
}

void TestGearboxTestMode::testModeSwitch_data()
{
    QTest::addColumn<int>("pattern");
    QTest::addColumn<bool>("sideRams");
    QTest::newRow("barrel") << 0 << false;
    QTest::newRow("two-axis") << 4 << true;
}

void TestGearboxTestMode::testModeSwitch()
{
    QFETCH(int, pattern);
    QFETCH(bool, sideRams);
    fx->gcu.settings().setValue("gp", pattern);
    QVERIFY(fx->openAndConnect());
    for (const QString& output : kOutputs)
        QVERIFY2(!fx->button(output)->isEnabled(), qPrintable(output));
    QPushButton* toggle = fx->button("EnableDisable");
    toggle->click();
    QCOMPARE(fx->sentSettings(), QByteArrayList{"tm"});
    QCOMPARE(toggle->text(), QStringLiteral("Disable"));
    QCOMPARE(fx->workspace->Prompt, QStringLiteral("TestMode>"));
    QCOMPARE(workspaceLink("GearboxControl")->Prompt(), QStringLiteral("TestMode>"));
    for (const QString& output : kOutputs) {
        const bool side = output == "LeftRam" || output == "RightRam";
        QCOMPARE(fx->button(output)->isEnabled(), !side || sideRams);
    }
    QVERIFY(!fx->child<QGroupBox>("OperateGearbox")->isEnabled());
    QVERIFY(!fx->button("TestUpshift")->isEnabled());
    QVERIFY(!fx->button("ResetGearbox")->isEnabled());
    // Polling goes on in test mode, and commits wait for the test-mode prompt.
    fx->gcu.live().setValue("th", 0x40);
    QTRY_COMPARE(fx->label("CurrThrotPos")->text(), QStringLiteral(" 64%"));
    fx->typeAndEnter(fx->box("BarrelWindow"), "9");
    QCOMPARE(fx->sentSettings(), QByteArrayList{"09bw"});
    QVERIFY(fx->env->prompts.messages.isEmpty());

    toggle->click();
    QCOMPARE(fx->sentSettings(), QByteArrayList{"ex"});
    QCOMPARE(toggle->text(), QStringLiteral("Enable"));
    QCOMPARE(fx->workspace->Prompt, QStringLiteral("*"));
    QVERIFY(!fx->gcu.inTestMode());
    for (const QString& output : kOutputs)
        QVERIFY(!fx->button(output)->isEnabled());
    QVERIFY(fx->child<QGroupBox>("OperateGearbox")->isEnabled());
    QVERIFY(fx->button("TestUpshift")->isEnabled());
    QCOMPARE(G.ControllerConnected, 1);
}

void TestGearboxTestMode::outputsAndInterlocks_data()
{
    QTest::addColumn<QStringList>("presses");
    QTest::addColumn<QStringList>("red");
    QTest::addColumn<QStringList>("disabled");
    QTest::newRow("up ram") << QStringList{"UpShift"} << QStringList{"UpRamLight"}
                            << QStringList{"NeutralUp", "NeutralDown"};
    QTest::newRow("up ram twice") << QStringList{"UpShift", "UpShift"} << QStringList()
                                  << QStringList();
    QTest::newRow("up then down ram")
        << QStringList{"UpShift", "DownShift"} << QStringList{"DownRamLight"}
        << QStringList{"NeutralUp", "NeutralDown"};
    QTest::newRow("left then right ram")
        << QStringList{"LeftRam", "RightRam"} << QStringList{"RightRamLight"}
        << QStringList{"NeutralUp", "NeutralDown"};
    QTest::newRow("neutral up") << QStringList{"NeutralUp"} << QStringList{"NeutralPulsingUpLight"}
                                << QStringList{"NeutralDown", "UpShift", "DownShift"};
    QTest::newRow("neutral down") << QStringList{"NeutralDown"}
                                  << QStringList{"NeutralPulsingDownLight"}
                                  << QStringList{"NeutralUp", "UpShift", "DownShift"};
    QTest::newRow("spark cut") << QStringList{"SparkCut"} << QStringList{"SparkCutLight"}
                               << QStringList{"DogToDog"};
    QTest::newRow("rev limit") << QStringList{"DogToDog"} << QStringList{"RevLimiitingLight"}
                               << QStringList{"SparkCut"};
    QTest::newRow("reverse after rams")
        << QStringList{"UpShift", "ReverseAct"} << QStringList{"ReverseActLight"}
        << QStringList{"NeutralUp", "NeutralDown", "UpShift", "DownShift"};
    QTest::newRow("air compressor")
        << QStringList{"AirCompressor"} << QStringList{"AirCompLight"} << QStringList();
    QTest::newRow("clutch") << QStringList{"Clutch"} << QStringList{"ClutchLight"} << QStringList();
    QTest::newRow("throttle blip") << QStringList{"ThrotBlip"} << QStringList() << QStringList();
}

void TestGearboxTestMode::outputsAndInterlocks()
{
    QFETCH(QStringList, presses);
    QFETCH(QStringList, red);
    QFETCH(QStringList, disabled);
    fx->gcu.settings().setValue("gp", 4);
    QVERIFY(fx->openAndConnect());
    enterTestMode();
    QByteArrayList expected;
    for (const QString& name : presses) {
        fx->button(name)->click();
        const QByteArray mnemonic =
            QHash<QString, QByteArray>{
                {"ThrotBlip", "bl"},   {"UpShift", "us"},       {"DownShift", "ds"},
                {"LeftRam", "lr"},     {"RightRam", "rr"},      {"NeutralUp", "nu"},
                {"NeutralDown", "nd"}, {"SparkCut", "sc"},      {"DogToDog", "td"},
                {"ReverseAct", "ra"},  {"AirCompressor", "ac"}, {"Clutch", "cl"}}
                .value(name);
        expected << mnemonic;
    }
    QCOMPARE(fx->sentSettings(), expected);
    for (const QString& light : kLights)
        QCOMPARE(fill(light), red.contains(light) ? kRed : face());
    for (const QString& output : kOutputs)
        QVERIFY2(fx->button(output)->isEnabled() == !disabled.contains(output), qPrintable(output));
    QVERIFY(fx->child<QTimer>("GearboxReadTimer")->isActive());
}

void TestGearboxTestMode::leavingResetsEveryLight()
{
    QVERIFY(fx->openAndConnect());
    enterTestMode();
    for (const char* name : {"UpShift", "SparkCut", "ReverseAct", "AirCompressor", "Clutch"})
        fx->button(name)->click();
    QCOMPARE(fill("ClutchLight"), kRed);
    QCOMPARE(fill("ReverseActLight"), kRed);
    QVERIFY(fx->gcu.outputOn("cl"));
    fx->button("EnableDisable")->click();
    for (const QString& light : kLights)
        QCOMPARE(fill(light), face());
    QVERIFY(!fx->gcu.outputOn("cl"));
}

void TestGearboxTestMode::noPromptLeavesTheLight()
{
    QVERIFY(fx->openAndConnect());
    enterTestMode();
    sim::FaultSettings silent;
    silent.silent = true;
    fx->gcu.setFaults(silent);
    fx->button("Clutch")->click();
    QCOMPARE(fill("ClutchLight"), face());
    QCOMPARE(G.ControllerConnected, 0);
    // The reconnect leaves test mode and resets the switch and outputs.
    fx->gcu.setFaults({});
    QVERIFY(fx->waitRunning());
    QCOMPARE(fx->button("EnableDisable")->text(), QStringLiteral("Enable"));
    QVERIFY(!fx->gcu.inTestMode());
    QVERIFY(!fx->button("Clutch")->isEnabled());
}

void TestGearboxTestMode::patternDialogSendsOnlyAChange()
{
    QVERIFY(fx->openAndConnect());
    WorkspaceLink* link = workspaceLink("GearboxControl");
    {
        GearChangePattern dialog(*link);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Gear Change Pattern Setup"));
        dialog.load();
        QVERIFY(dialog.findChild<QRadioButton*>("PatternType_0")->isChecked());
        QCOMPARE(fx->sentSettings(), QByteArrayList{"do"});
        dialog.findChild<QRadioButton*>("PatternType_0")->click();
        QVERIFY(fx->sentSettings().isEmpty());
        dialog.findChild<QRadioButton*>("PatternType_1")->click();
        QCOMPARE(fx->sentSettings(), QByteArrayList{"01gp"});
        QVERIFY(fx->child<QTimer>("GearboxReadTimer")->isActive());
        QCOMPARE(fx->gcu.settings().value("gp"), std::optional<int>(1));
    }
    QCOMPARE(G.GearPattern, std::optional<int>(1));
    // Opened again, it shows the last choice of this run.
    GearChangePattern again(*link);
    again.load();
    QVERIFY(again.findChild<QRadioButton*>("PatternType_1")->isChecked());
    again.findChild<QRadioButton*>("PatternType_2")->click();
    QCOMPARE(fx->sentSettings(), (QByteArrayList{"do", "02gp"}));
}

void TestGearboxTestMode::patternDialogOneChoiceAtATime()
{
    QVERIFY(fx->openAndConnect());
    GearChangePattern dialog(*workspaceLink("GearboxControl"));
    dialog.load();
    fx->sentSettings();
    sim::FaultSettings slow;
    slow.replyDelay = std::chrono::milliseconds(40);
    fx->gcu.setFaults(slow);
    // Another option is clicked while the first choice still waits for its prompt.
    test::OnceReceived again(fx->gcu, "01gp",
                             [&] { dialog.findChild<QRadioButton*>("PatternType_2")->click(); });
    dialog.findChild<QRadioButton*>("PatternType_1")->click();
    QVERIFY(again.acted());
    again.stop();
    QCOMPARE(fx->env->prompts.beeps, 1);
    QCOMPARE(fx->sentSettings(), QByteArrayList{"01gp"});
    QVERIFY(dialog.findChild<QRadioButton*>("PatternType_1")->isChecked());
    QCOMPARE(G.GearPattern, std::optional<int>(1));
    QCOMPARE(fx->gcu.settings().value("gp"), std::optional<int>(1));
    QCOMPARE(G.ControllerConnected, 1);
    QVERIFY(fx->child<QTimer>("GearboxReadTimer")->isActive());
}

void TestGearboxTestMode::patternDialogFromTheWorkspace()
{
    QVERIFY(fx->openAndConnect());
    bool seen = false;
    test::whenModal(anyWindow, [&](QWidget* modal) {
        auto* dialog = qobject_cast<GearChangePattern*>(modal);
        QVERIFY(dialog);
        seen = true;
        QVERIFY(!fx->child<QTimer>("GearboxReadTimer")->isActive());
        dialog->findChild<QRadioButton*>("PatternType_3")->click();
        dialog->findChild<QPushButton*>("Exit")->click();
    });
    fx->button("GearPattern")->click();
    QVERIFY(seen);
    QCOMPARE(fx->sentSettings(), (QByteArrayList{"do", "03gp"}));
    // The layout follows the pattern last read, not the choice just sent.
    QCOMPARE(fx->workspace->gearPatternCode(), 0);
    QVERIFY(fx->child<QTimer>("GearboxReadTimer")->isActive());
    QVERIFY(fx->box("UpshiftTimeout")->isEnabled());
}

void TestGearboxTestMode::patternDialogInTestModeReconnects()
{
    QVERIFY(fx->openAndConnect());
    enterTestMode();
    test::whenModal(anyWindow, [](QWidget* dialog) { dialog->close(); });
    fx->button("GearPattern")->click();
    QCOMPARE(G.ControllerConnected, 0);
    QCOMPARE(fx->env->prompts.messages.size(), 0);
    QVERIFY(fx->waitRunning());
    QVERIFY(!fx->gcu.inTestMode());
}

QTEST_MAIN(TestGearboxTestMode)
#include "test_gearbox_test_mode.moc"
