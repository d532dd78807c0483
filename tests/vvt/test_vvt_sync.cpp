#include "common/globals.h"
#include "common/timing.h"
#include "service/cam_pwm_parameters.h"
#include "sim/gearbox_controller.h"
#include "sim/vvt_controller.h"
#include "sim_ports.h"
#include "test_environment.h"
#include "vvt/map_model.h"
#include "vvt_fixture.h"

#include <QtTest>

#include <memory>

using namespace vx;

namespace {

const QString kRunning = QStringLiteral("Running");

// The PC holds the same map as the controller, under the controller's name.
void copyControllerMap(const sim::VvtController& ecu, const QString& name)
{
    for (int column = 0; column < kMapUsedColumns; ++column) {
        for (int row = 0; row < kMapRows; ++row)
            G.AdvanceMap[row][1][column] = ecu.cell(row, column);
    }
    ComputeMapChecksum();
    G.BufferCaption = name;
}

} // namespace

class TestVvtSync : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        env = std::make_unique<test::TestEnvironment>();
        timing::setScale(0.2);
        ecu = std::make_unique<sim::VvtController>();
        ecu->loadDemoMap();
        session = std::make_unique<test::OnlineWorkspace>();
    }
    void cleanup()
    {
        session.reset();
        ecu.reset();
        env.reset();
    }

    void emptySlotReadsTheControllerMap();
    void emptySlotWithoutAValidMap_data();
    void emptySlotWithoutAValidMap();
    void loadedMapAgainstTheController_data();
    void loadedMapAgainstTheController();
    void cylinders_data();
    void cylinders();
    void triggerPattern_data();
    void triggerPattern();
    void notAVvtController();
    void forceOffer_data();
    void forceOffer();
    void restartedControllerThatNeverComesBack();
    void exitDuringTheReload();
    void silentDuringTheReload_data();
    void silentDuringTheReload();

private:
    // What the test set in the controller is what it starts up with.
    void plug()
    {
        ecu->storePermanently();
        test::plugAtPort(*ecu, 1, *env);
    }
    void expectClosed()
    {
        QTRY_COMPARE_WITH_TIMEOUT(session->shell.mainWindowShown, 1, 5000);
        QTRY_VERIFY(!session->workspace);
    }
    void expectQuestions(const QStringList& texts, const QString& title = "Warning")
    {
        QCOMPARE(env->prompts.texts(), texts);
        for (const Message& m : env->prompts.messages) {
            if (m.buttons == Buttons::YesNo) {
                QCOMPARE(m.title, title);
                QCOMPARE(m.icon, Icon::Question);
                QCOMPARE(m.defaultButton, std::optional<Answer>(Answer::No));
            }
        }
    }

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<sim::VvtController> ecu;
    std::unique_ptr<test::OnlineWorkspace> session;
};

void TestVvtSync::emptySlotReadsTheControllerMap()
{
    ecu->setCell(0, 0, -128);
    ecu->setCell(29, 7, 127);
    ecu->settings().name = "TRACK.cam";
    ecu->settings().checksum = 0xFFFFF000;
    ecu->settings().camParams[0] = 0x64;
    ecu->settings().camParams[7] = 75;
    ecu->settings().exhaustAllThrottle = true;
    plug();
    QVERIFY(session->openRunning());
    QCOMPARE(G.BufferCaption, QStringLiteral("TRACK"));
    QVERIFY(session->shell.captionChanges > 0);
    QCOMPARE(session->workspace->windowTitle(), QStringLiteral("Vantorex ECU Manager - TRACK"));
    QCOMPARE(G.AdvanceMap[0][1][0], MapCell(-128));
    QCOMPARE(G.AdvanceMap[29][1][7], MapCell(127));
    QVERIFY(test::mapsAgree(*ecu));
    QCOMPARE(session->cell(0)->text(), QStringLiteral("-128"));
    QCOMPARE(session->cell(239)->text(), QStringLiteral(" 127"));
    QCOMPARE(G.MapChecksum[1], qint64(-4096));
    QCOMPARE(G.CamParams[0], 10.0);
    QCOMPARE(G.CamParams[7], 7.5);
    QCOMPARE(G.CamParams[3], 70.0);
    QVERIFY(!session->workspace->pwmParameters().GetThrottleEnable(0));
    QVERIFY(session->workspace->pwmParameters().GetThrottleEnable(1));
    QCOMPARE(session->workspace->pwmParameters().allThrottleButton(1)->text(),
             QStringLiteral("All Throttle Disable"));
    QVERIFY(env->prompts.messages.isEmpty());
    // Nothing was written to the controller.
    QVERIFY(test::uploadLines(*ecu).isEmpty());
}

void TestVvtSync::emptySlotWithoutAValidMap_data()
{
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("message");
    QTest::newRow("corrupt") << false
                             << "System's curve is corrupt, load file into Curve1 and retry";
    QTest::newRow("no name") << true << "System contains no curve, load file into Curve1 and retry";
}

void TestVvtSync::emptySlotWithoutAValidMap()
{
    QFETCH(bool, valid);
    QFETCH(QString, message);
    ecu->settings().mapValid = valid;
    ecu->settings().name.clear();
    plug();
    session->open();
    expectClosed();
    QCOMPARE(env->prompts.texts(), QStringList{message});
    QCOMPARE(env->prompts.messages[0].icon, Icon::Exclamation);
    QCOMPARE(env->prompts.messages[0].title, QStringLiteral("Warning"));
    QCOMPARE(G.BufferCaption, QStringLiteral("Empty"));
}

void TestVvtSync::loadedMapAgainstTheController_data()
{
    QTest::addColumn<QString>("difference");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("fullUpload");
    const QString reloadMap = "ECU's cam position map is different to the PC's cam position map.\r"
                              "Reload the ECU's cam position map from the PC?";
    const QString reloadPwm = "ECU's PWM parameters are different to the PC's PWM parameters.\r"
                              "Reload the ECU's PWM parameters from the PC?";
    QTest::newRow("equal") << "" << Answer::No << "" << false;
    QTest::newRow("other name, reload")
        << "name" << Answer::Yes << "ECU contains OTHER, Map1 contains DEMO, reload ECU?" << true;
    QTest::newRow("other name, refused")
        << "name" << Answer::No << "ECU contains OTHER, Map1 contains DEMO, reload ECU?" << false;
    QTest::newRow("no name, reload")
        << "noname" << Answer::Yes << "ECU contains no map, Map1 contains DEMO, reload ECU?"
        << true;
    QTest::newRow("corrupt, reload")
        << "corrupt" << Answer::Yes
        << "The ECU map is corrupt, Curve1 contains DEMO, reload system?" << true;
    QTest::newRow("corrupt, refused")
        << "corrupt" << Answer::No << "The ECU map is corrupt, Curve1 contains DEMO, reload system?"
        << false;
    QTest::newRow("other checksum, reload") << "checksum" << Answer::Yes << reloadMap << false;
    QTest::newRow("other checksum, refused") << "checksum" << Answer::No << reloadMap << false;
    QTest::newRow("other parameters, reload") << "parameters" << Answer::Yes << reloadPwm << false;
    QTest::newRow("other parameters, refused") << "parameters" << Answer::No << reloadPwm << false;
}

void TestVvtSync::loadedMapAgainstTheController()
{
    QFETCH(QString, difference);
    QFETCH(Answer, answer);
    QFETCH(QString, question);
    QFETCH(bool, fullUpload);
    copyControllerMap(*ecu, "DEMO");
    const int before = ecu->cell(4, 2);
    G.AdvanceMap[4][1][2] = 33; // differs from the controller only where a reload would show
    ComputeMapChecksum();
    ecu->settings().checksum = sim::VvtController::checksumOf(ecu->settings().map);
    if (difference != "checksum")
        ecu->settings().checksum = static_cast<quint32>(G.MapChecksum[1]);
    if (difference == "name")
        ecu->settings().name = "OTHER.cam";
    if (difference == "noname")
        ecu->settings().name.clear();
    if (difference == "corrupt")
        ecu->settings().mapValid = false;
    if (difference == "parameters")
        ecu->settings().camParams[6] = 21;
    plug();
    if (!question.isEmpty())
        env->prompts.answer(answer);
    session->open();
    if (answer == Answer::No && !question.isEmpty()) {
        expectClosed();
    } else {
        QVERIFY(session->waitStatus(kRunning));
    }
    expectQuestions(question.isEmpty() ? QStringList() : QStringList{question});
    const QByteArrayList uploads = test::uploadLines(*ecu);
    const bool uploaded = uploads.contains("S325000000E0" + QByteArray(64, '0') + "FA") ||
                          std::any_of(uploads.cbegin(), uploads.cend(), [](const QByteArray& l) {
                              return l.startsWith("S325000000E0");
                          });
    const bool reloaded = answer == Answer::Yes && difference != "parameters";
    QCOMPARE(uploaded, reloaded);
    if (reloaded) {
        QCOMPARE(ecu->cell(4, 2), 33);
        QVERIFY(test::mapsAgree(*ecu));
        QCOMPARE(ecu->settings().name, QByteArray("DEMO.cam"));
        QVERIFY(!ecu->uploadOpen());
        // A full reload sends the parameters with four digits.
        QCOMPARE(test::commandLines(*ecu).contains("02BCih"), fullUpload);
    } else {
        QCOMPARE(ecu->cell(4, 2), before);
    }
    if (difference == "parameters" && answer == Answer::Yes) {
        QCOMPARE(ecu->settings().camParams[6], 20);
        QVERIFY(test::commandLines(*ecu).contains("14ii"));
        QVERIFY(test::commandLines(*ecu).contains("2BCih"));
    }
}

void TestVvtSync::cylinders_data()
{
    QTest::addColumn<int>("fromEcu");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("ecuCylinders");
    QTest::addColumn<int>("pcCylinders");
    QTest::addColumn<bool>("running");
    const QString question =
        "The ECU is configured for 4 cylinders, but the PC is configured for 6 "
        "cylinders, change cylinder mode in ECU?";
    QTest::newRow("taken from the controller")
        << 1 << Answer::No << QStringList() << 4 << 4 << true;
    QTest::newRow("changed in the controller")
        << 0 << Answer::Yes << QStringList{question} << 6 << 6 << true;
    QTest::newRow("refused") << 0 << Answer::No
                             << QStringList{question,
                                            "Use Setup to change the PC's cylinder mode setting"}
                             << 4 << 6 << false;
}

void TestVvtSync::cylinders()
{
    QFETCH(int, fromEcu);
    QFETCH(Answer, answer);
    QFETCH(QStringList, messages);
    QFETCH(int, ecuCylinders);
    QFETCH(int, pcCylinders);
    QFETCH(bool, running);
    G.ProgSettingsFromECU = fromEcu;
    G.CylinderCount = 6;
    plug();
    env->prompts.answer(answer);
    session->open();
    if (running)
        QVERIFY(session->waitStatus(kRunning));
    else
        expectClosed();
    expectQuestions(messages);
    QCOMPARE(ecu->settings().cylinders, ecuCylinders);
    QCOMPARE(G.CylinderCount, pcCylinders);
}

void TestVvtSync::triggerPattern_data()
{
    QTest::addColumn<int>("fromEcu");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("ecuTrigger");
    QTest::addColumn<bool>("running");
    const QString question =
        "ECU and PC have different trigger types\rECU = Rev Counter (12V)\rPC = Multitooth "
        "36-1-1-1\rChange trigger type in the ECU?";
    QTest::newRow("taken from the controller") << 1 << Answer::No << QStringList() << 1 << true;
    QTest::newRow("changed in the controller")
        << 0 << Answer::Yes
        << QStringList{question, "The ECU will have now restarted in Multitooth 36-1-1-1 trigger "
                                 "mode. Please "
                                 "re-connect to the ECU"}
        << 4 << false;
    QTest::newRow("refused")
        << 0 << Answer::No
        << QStringList{question, "Use Setup to change the PC's trigger type to match the "
                                 "ECU (Rev Counter (12V))"}
        << 1 << false;
}

void TestVvtSync::triggerPattern()
{
    QFETCH(int, fromEcu);
    QFETCH(Answer, answer);
    QFETCH(QStringList, messages);
    QFETCH(int, ecuTrigger);
    QFETCH(bool, running);
    G.ProgSettingsFromECU = fromEcu;
    G.TriggerType = 4;
    plug();
    env->prompts.answer(answer);
    session->open();
    if (running) {
        QVERIFY(session->waitStatus(kRunning));
        QCOMPARE(G.TriggerType, 1);
    } else {
        expectClosed();
    }
    expectQuestions(messages);
    QCOMPARE(ecu->settings().triggerType, ecuTrigger);
    QCOMPARE(ecu->restartCount(), ecuTrigger == 4 ? 1 : 0);
    if (ecuTrigger == 4) {
        QCOMPARE(env->prompts.messages[1].icon, Icon::Exclamation);
        QCOMPARE(env->prompts.messages[1].title, QStringLiteral("Warning"));
    }
}

void TestVvtSync::notAVvtController()
{
    sim::GearboxController gcu;
    test::plugAtPort(gcu, 1, *env);
    session->open();
    expectClosed();
    QCOMPARE(env->prompts.texts(), QStringList{"The connected ECU is NOT a VVT Control ECU!!"});
    QCOMPARE(env->prompts.messages[0].title, kProgramTitle);
    QCOMPARE(session->shell.mapFunctionsDisabled, 1);
    QVERIFY(!G.VvtEcuType);
}

void TestVvtSync::forceOffer_data()
{
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("forced");
    QTest::addColumn<bool>("running");
    QTest::newRow("cancel") << QList<Answer>{Answer::Cancel} << 1 << false << false;
    QTest::newRow("no, then normal check refused")
        << QList<Answer>{Answer::No, Answer::No} << 2 << false << false;
    QTest::newRow("yes, cancel") << QList<Answer>{Answer::Yes, Answer::Cancel} << 2 << false
                                 << false;
    QTest::newRow("yes, no, normal check refused")
        << QList<Answer>{Answer::Yes, Answer::No, Answer::No} << 3 << false << false;
    QTest::newRow("yes, yes") << QList<Answer>{Answer::Yes, Answer::Yes} << 2 << true << true;
}

void TestVvtSync::forceOffer()
{
    QFETCH(QList<Answer>, answers);
    QFETCH(int, questions);
    QFETCH(bool, forced);
    QFETCH(bool, running);
    copyControllerMap(*ecu, "TRACK");
    const int before = ecu->cell(3, 3);
    G.AdvanceMap[3][1][3] = 44;
    ComputeMapChecksum();
    G.MapLoaded = true;
    G.CylinderCount = 6;
    G.TriggerType = 2;
    G.CamParams[11] = 9.5;
    plug();
    for (Answer a : answers)
        env->prompts.answer(a);
    session->open();
    if (running)
        QVERIFY(session->waitStatus(kRunning, 8000));
    else
        expectClosed();
    QVERIFY(!G.MapLoaded);
    QCOMPARE(env->prompts.messages.size(), questions);
    const QString warning =
        "\r(WARNING: This will change ALL parameters in the ECU\rwhich may not be "
        "compatible with the engine!)";
    const Message& first = env->prompts.messages[0];
    QCOMPARE(first.text, "Overwrite ALL the settings in the ECU with the current map?" + warning);
    QCOMPARE(first.title, QStringLiteral("Force Settings to ECU"));
    QCOMPARE(first.buttons, Buttons::YesNoCancel);
    QCOMPARE(first.icon, Icon::Critical);
    QCOMPARE(first.defaultButton, std::optional<Answer>(Answer::Cancel));
    if (answers.size() > 1 && answers[0] == Answer::Yes)
        QCOMPARE(env->prompts.messages[1].text, "Are you sure....?" + warning);
    QCOMPARE(ecu->restartCount(), forced ? 1 : 0);
    if (forced) {
        QCOMPARE(ecu->settings().cylinders, 6);
        QCOMPARE(ecu->settings().triggerType, 2);
        QCOMPARE(static_cast<qint8>(ecu->permanent().map[3 * 32 + 3]), 44);
        QCOMPARE(ecu->settings().camParams[11], 95);
        QCOMPARE(ecu->permanent().name, QByteArray("TRACK.cam"));
        QVERIFY(test::mapsAgree(*ecu));
        QVERIFY(!session->workspace->loadBusy());
    } else {
        QCOMPARE(ecu->settings().cylinders, 4);
        QCOMPARE(ecu->cell(3, 3), before);
    }
}

void TestVvtSync::restartedControllerThatNeverComesBack()
{
    timing::setScale(0.1);
    copyControllerMap(*ecu, "TRACK");
    G.MapLoaded = true;
    connect(ecu.get(), &sim::Controller::lineReceived, this, [&](const QByteArray& line) {
        if (line == "00000000ch")
            ecu->setUnanswered({"cy"});
    });
    plug();
    env->prompts.answer(Answer::Yes);
    env->prompts.answer(Answer::Yes);
    session->open();
    QTRY_VERIFY_WITH_TIMEOUT(env->prompts.texts().contains("ECU not responding"), 8000);
    QCOMPARE(env->prompts.texts().count("ECU not responding"), 1);
    QVERIFY(!session->workspace->loadBusy());
    // The workspace stays and reconnects.
    QVERIFY(session->workspace);
    QTRY_COMPARE(session->workspace->statusText(), QStringLiteral("Lost connection"));
    QCOMPARE(session->shell.mainWindowShown, 0);
}

void TestVvtSync::exitDuringTheReload()
{
    copyControllerMap(*ecu, "DEMO");
    ecu->settings().checksum = static_cast<quint32>(G.MapChecksum[1]);
    ecu->settings().name = "OTHER.cam";
    connect(ecu.get(), &sim::Controller::lineReceived, this, [&](const QByteArray& line) {
        if (line == "po")
            QTimer::singleShot(0, this, [&] {
                test::buttonOf(*session->workspace, "ChangAdvExit_0")->click();
            });
    });
    plug();
    env->prompts.answer(Answer::Yes);
    session->open();
    QTRY_COMPARE_WITH_TIMEOUT(session->shell.mainWindowShown, 1, 5000);
    QTRY_VERIFY(!session->workspace);
    // Nothing is reported about an upload the operator broke off.
    QCOMPARE(env->prompts.texts(),
             QStringList{"ECU contains OTHER, Map1 contains DEMO, reload ECU?"});
    QCOMPARE(G.ControllerConnected, 0);
}

void TestVvtSync::silentDuringTheReload_data()
{
    QTest::addColumn<QString>("difference");
    QTest::addColumn<QByteArray>("unanswered");
    QTest::newRow("parameters") << "parameters" << QByteArray("2BCih");
    QTest::newRow("whole map") << "name" << QByteArray("02BCih");
}

void TestVvtSync::silentDuringTheReload()
{
    QFETCH(QString, difference);
    QFETCH(QByteArray, unanswered);
    copyControllerMap(*ecu, "DEMO");
    ecu->settings().checksum = static_cast<quint32>(G.MapChecksum[1]);
    if (difference == "name")
        ecu->settings().name = "OTHER.cam";
    else
        ecu->settings().camParams[6] = 21;
    connect(ecu.get(), &sim::Controller::lineReceived, this, [&](const QByteArray& line) {
        if (line != unanswered)
            return;
        sim::FaultSettings faults;
        faults.silent = true;
        ecu->setFaults(faults);
    });
    plug();
    env->prompts.answer(Answer::Yes);
    bool runningSeen = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        runningSeen = runningSeen ||
                      (session->workspace && test::statusOf(*session->workspace) == kRunning);
    });
    watch.start(2);
    session->open();
    QTRY_VERIFY_WITH_TIMEOUT(ecu->faults().silent, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(test::statusOf(*session->workspace),
                              QStringLiteral("Reconnecting..."), 5000);
    QVERIFY(!runningSeen);
    QVERIFY(!session->workspace->timer3().isActive());
    QCOMPARE(session->shell.mainWindowShown, 0);
    QCOMPARE(env->prompts.messages.size(), 1);
}

QTEST_MAIN(TestVvtSync)
#include "test_vvt_sync.moc"
