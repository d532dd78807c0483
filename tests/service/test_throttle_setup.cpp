#include "common/globals.h"
#include "common/timing.h"
#include "service/throttle_setup.h"
#include "settings/settings_store.h"
#include "sim/gearbox_controller.h"
#include "sim/throttle_commands.h"
#include "sim/vvt_controller.h"
#include "sim_ports.h"
#include "test_environment.h"
#include "test_host.h"
#include "window_driver.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace vx;
using namespace vx::settings;

namespace {

constexpr int kGearboxPort = 2;
constexpr int kEnginePort = 1;
const QString kFlashFailed = QStringLiteral("Flash update failed!!! Please try again");
const QString kMinimum = QStringLiteral("Set the throttle to the MINIMUM position and click OK");
const QString kMaximum = QStringLiteral("Set the throttle to the MAXIMUM position and click OK");

QStringList itemsOf(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

class TestThrottleSetup : public QObject
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
        dialog = std::make_unique<ThrottleSetup>();
        dialog->SetActiveFormType("GearboxControl");
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
    void leavingAChoiceSendsItsCode_data();
    void leavingAChoiceSendsItsCode();
    void failedStoreIsReported_data();
    void failedStoreIsReported();
    void calibration_data();
    void calibration();
    void unansweredCommandReconnects_data();
    void unansweredCommandReconnects();
    void actionDuringAnExchange_data();
    void actionDuringAnExchange();
    void otherHostNamesReachNothing();
    void opensModallyForTheEngineControllerWhereItWasLeft();

private:
    QComboBox* combo(const char* name) const { return dialog->findChild<QComboBox*>(name); }
    QPushButton* button(const char* name) const { return dialog->findChild<QPushButton*>(name); }
    sim::ThrottleCommands& throttle() const { return *sim::ThrottleCommands::of(*gcu); }

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<sim::GearboxController> gcu;
    std::unique_ptr<test::TestHost> host;
    std::unique_ptr<ThrottleSetup> dialog;
};

void TestThrottleSetup::opening_data()
{
    QTest::addColumn<bool>("offline");
    QTest::addColumn<QString>("potLaw");
    QTest::addColumn<QString>("sense");
    QTest::addColumn<QStringList>("lawItems");
    QTest::addColumn<QString>("lawText");
    QTest::addColumn<QStringList>("senseItems");
    QTest::addColumn<QString>("senseText");

    const QStringList laws{"Linear", "Logarithmic"};
    const QStringList senses{"Normal", "Inverted"};
    const QStringList unknown{"Unknown"};
    QTest::newRow("linear, normal") << false << "01"
                                    << "00" << laws << "Linear" << senses << "Normal";
    QTest::newRow("logarithmic, inverted") << false << "00"
                                           << "01" << laws << "Logarithmic" << senses << "Inverted";
    QTest::newRow("codes the controller does not use")
        << false << "02"
        << "" << unknown << "Unknown" << unknown << "Unknown";
    QTest::newRow("offline") << true << "01"
                             << "00" << unknown << "Unknown" << unknown << "Unknown";
}

void TestThrottleSetup::opening()
{
    QFETCH(bool, offline);
    QFETCH(QString, potLaw);
    QFETCH(QString, sense);
    QFETCH(QStringList, lawItems);
    QFETCH(QString, lawText);
    QFETCH(QStringList, senseItems);
    QFETCH(QString, senseText);
    G.OfflineMode = offline;
    G.ThrottlePotLaw = potLaw;
    G.ThrottleSense = sense;

    dialog->load();

    QCOMPARE(dialog->windowTitle(), QStringLiteral("Throttle Setup"));
    QCOMPARE(dialog->findChild<QGroupBox*>("Frame2")->title(), QStringLiteral("Throttle Setup"));
    QCOMPARE(dialog->findChild<QGroupBox*>("ThrotPotType")->title(),
             QStringLiteral("Throttle Pot Type"));
    QCOMPARE(dialog->findChild<QGroupBox*>("Throt_Sense")->title(),
             QStringLiteral("Throttle Sense"));
    QCOMPARE(button("ThrotCal")->text(), QStringLiteral("Calibrate Throttle"));
    QCOMPARE(button("Exit")->text(), QStringLiteral("Exit"));
    QCOMPARE(itemsOf(combo("Combo1")), lawItems);
    QCOMPARE(combo("Combo1")->currentText(), lawText);
    QCOMPARE(itemsOf(combo("Combo2")), senseItems);
    QCOMPARE(combo("Combo2")->currentText(), senseText);
    QVERIFY(combo("Combo1")->isEditable());

    for (const char* name : {"Combo1", "Combo2"})
        QCOMPARE(combo(name)->isEnabled(), !offline);
    for (const char* name : {"ThrotPotType", "Throt_Sense"})
        QCOMPARE(dialog->findChild<QGroupBox*>(name)->isEnabled(), !offline);
    QCOMPARE(button("ThrotCal")->isEnabled(), !offline);
    QVERIFY(button("Exit")->isEnabled());
    QVERIFY(gcu->receivedLines().isEmpty());
    QVERIFY(host->syncCalls.isEmpty());
}

void TestThrottleSetup::leavingAChoiceSendsItsCode_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed"); // empty: the choice shown on opening is left as it is
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("potLaw");
    QTest::addColumn<QString>("sense");

    QTest::newRow("linear left unchanged") << "Combo1"
                                           << "" << QByteArray("01tt") << "01"
                                           << "01";
    QTest::newRow("logarithmic") << "Combo1"
                                 << "Logarithmic" << QByteArray("00tt") << "00"
                                 << "01";
    QTest::newRow("inverted left unchanged") << "Combo2"
                                             << "" << QByteArray("01ts") << "01"
                                             << "01";
    QTest::newRow("normal") << "Combo2"
                            << "Normal" << QByteArray("00ts") << "01"
                            << "00";
    QTest::newRow("pot law typed in other case") << "Combo1"
                                                 << "linear" << QByteArray() << "01"
                                                 << "01";
    QTest::newRow("sense typed as nonsense") << "Combo2"
                                             << "Upside down" << QByteArray() << "01"
                                             << "01";
}

void TestThrottleSetup::leavingAChoiceSendsItsCode()
{
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QByteArray, sent);
    QFETCH(QString, potLaw);
    QFETCH(QString, sense);
    G.ThrottlePotLaw = "01";
    G.ThrottleSense = "01";
    dialog->load();
    QComboBox* choice = combo(qPrintable(box));
    QVERIFY(test::showActive(*dialog, choice));
    if (!typed.isEmpty()) {
        choice->lineEdit()->selectAll();
        QTest::keyClicks(choice, typed);
        QCOMPARE(choice->currentText(), typed);
    }

    test::tabTo(button("Exit"));

    QCOMPARE(gcu->receivedLines(), sent.isEmpty() ? QByteArrayList() : QByteArrayList{sent});
    QCOMPARE(G.ThrottlePotLaw, potLaw);
    QCOMPARE(G.ThrottleSense, sense);
    if (!sent.isEmpty())
        QCOMPARE(sent.endsWith("tt") ? throttle().potLaw() : throttle().sense(), sent.left(2));
    // Polling is paused for the exchange and running again afterwards, even when nothing went out.
    QCOMPARE(host->syncCalls, (QList<bool>{false, true}));
    QCOMPARE(host->reconnects, 0);
    QVERIFY(env->prompts.messages.isEmpty());
    QCOMPARE(itemsOf(choice).size(), 2);
}

void TestThrottleSetup::failedStoreIsReported_data()
{
    QTest::addColumn<QByteArray>("failing");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("title");

    QTest::newRow("pot law") << QByteArray("tt") << int(Icon::Critical) << "Error";
    QTest::newRow("sense") << QByteArray("ts") << int(Icon::Critical) << "Error";
    QTest::newRow("maximum") << QByteArray("grantlid") << int(Icon::None)
                             << "Vantorex VVT ECU Software";
}

void TestThrottleSetup::failedStoreIsReported()
{
    QFETCH(QByteArray, failing);
    QFETCH(int, icon);
    QFETCH(QString, title);
    throttle().setFailingStores({failing});
    G.ThrottlePotLaw = "01";
    G.ThrottleSense = "00";
    dialog->load();

    if (failing == "grantlid") {
        env->prompts.answer(Answer::Ok);
        env->prompts.answer(Answer::Ok);
        env->prompts.answer(Answer::Ok);
        dialog->ThrotCal_Click();
    } else {
        QComboBox* choice = combo(failing == "tt" ? "Combo1" : "Combo2");
        choice->setCurrentIndex(1);
        env->prompts.answer(Answer::Ok);
        if (failing == "tt")
            dialog->Combo1_LostFocus();
        else
            dialog->Combo2_LostFocus();
        // The code is kept although the controller did not store it.
        QCOMPARE(failing == "tt" ? G.ThrottlePotLaw : G.ThrottleSense,
                 failing == "tt" ? QString("00") : QString("01"));
    }

    const Message& reported = env->prompts.messages.last();
    QCOMPARE(reported.text, kFlashFailed);
    QCOMPARE(int(reported.icon), icon);
    QCOMPARE(reported.title, title);
    QCOMPARE(reported.buttons, Buttons::Ok);
    QCOMPARE(host->syncCalls.last(), true);
    QCOMPARE(host->reconnects, 0);
}

void TestThrottleSetup::calibration_data()
{
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QByteArrayList>("sent");
    QTest::addColumn<int>("wakeUps");
    QTest::addColumn<QList<bool>>("syncCalls");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");

    QTest::newRow("cancelled at the minimum")
        << QList<Answer>{Answer::Cancel} << QStringList{kMinimum} << QByteArrayList() << 0
        << QList<bool>() << 0x10 << 0xE8;
    QTest::newRow("cancelled at the maximum")
        << QList<Answer>{Answer::Ok, Answer::Cancel} << QStringList{kMinimum, kMaximum}
        << QByteArrayList{"mi"} << 1 << QList<bool>{false, true} << 0x21 << 0xE8;
    QTest::newRow("both end points learnt")
        << QList<Answer>{Answer::Ok, Answer::Ok} << QStringList{kMinimum, kMaximum}
        << QByteArrayList{"mi", "grantlid"} << 1 << QList<bool>{false, true} << 0x21 << 0xD3;
}

void TestThrottleSetup::calibration()
{
    QFETCH(QList<Answer>, answers);
    QFETCH(QStringList, messages);
    QFETCH(QByteArrayList, sent);
    QFETCH(int, wakeUps);
    QFETCH(QList<bool>, syncCalls);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    dialog->load();
    for (Answer a : answers)
        env->prompts.answer(a);
    // The technician moves the pedal while each message is up.
    env->prompts.whileShown = [this](const Message& m) {
        throttle().setReading(m.text == kMinimum ? 0x21 : 0xD3);
    };

    dialog->ThrotCal_Click();

    QCOMPARE(env->prompts.texts(), messages);
    for (const Message& m : env->prompts.messages) {
        QCOMPARE(m.buttons, Buttons::OkCancel);
        QCOMPARE(m.title, QString());
        QCOMPARE(m.icon, Icon::None);
    }
    QCOMPARE(gcu->receivedLines(), sent);
    QCOMPARE(gcu->wakeUpCount(), wakeUps);
    QCOMPARE(host->syncCalls, syncCalls);
    QCOMPARE(host->reconnects, 0);
    QCOMPARE(throttle().minimum(), minimum);
    QCOMPARE(throttle().maximum(), maximum);
}

void TestThrottleSetup::unansweredCommandReconnects_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("answeredLines"); // -1: not even the escape is answered
    QTest::addColumn<QByteArrayList>("sent");

    QTest::newRow("pot law") << "Combo1" << 0 << QByteArrayList{"01tt"};
    QTest::newRow("sense") << "Combo2" << 0 << QByteArrayList{"00ts"};
    QTest::newRow("escape before the minimum") << "ThrotCal" << -1 << QByteArrayList();
    QTest::newRow("minimum") << "ThrotCal" << 0 << QByteArrayList{"mi"};
    QTest::newRow("maximum") << "ThrotCal" << 1 << QByteArrayList{"mi", "grantlid"};
}

void TestThrottleSetup::unansweredCommandReconnects()
{
    QFETCH(QString, action);
    QFETCH(int, answeredLines);
    QFETCH(QByteArrayList, sent);
    timing::setScale(0.05);
    sim::FaultSettings faults;
    if (answeredLines < 0)
        faults.silent = true;
    else
        faults.silentAfterLines = answeredLines;
    gcu->setFaults(faults);
    dialog->load();

    if (action == "ThrotCal") {
        env->prompts.answer(Answer::Ok);
        env->prompts.answer(Answer::Ok);
        dialog->ThrotCal_Click();
    } else if (action == "Combo1") {
        dialog->Combo1_LostFocus();
    } else {
        dialog->Combo2_LostFocus();
    }

    QTRY_COMPARE(gcu->receivedLines(), sent);
    QCOMPARE(host->reconnects, 1);
    QVERIFY(!host->isOpen());
    // The host's lost-connection handling owns the polling from here: it is not resumed.
    QCOMPARE(host->syncCalls, QList<bool>{false});
    for (const QString& text : env->prompts.texts())
        QVERIFY2(text == kMinimum || text == kMaximum, qPrintable(text));
    QVERIFY(dialog->isEnabled());
}

void TestThrottleSetup::actionDuringAnExchange_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<int>("sentBeforeSecond");
    QTest::addColumn<QByteArrayList>("sent");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<QList<bool>>("syncCalls");

    QTest::newRow("calibrate clicked while the pot law is sent")
        << "Combo1"
        << "ThrotCal" << 1 << QByteArrayList{"00tt"} << 1 << QList<bool>{false, true};
    QTest::newRow("sense left while the pot law is sent")
        << "Combo1"
        << "Combo2" << 1 << QByteArrayList{"00tt", "00ts"} << 0
        << QList<bool>{false, true, false, true};
    QTest::newRow("pot law left while the minimum is learnt")
        << "ThrotCal"
        << "Combo1" << 1 << QByteArrayList{"mi", "grantlid", "00tt"} << 0
        << QList<bool>{false, true, false, true};
    QTest::newRow("calibrate clicked again while the maximum is learnt")
        << "ThrotCal"
        << "ThrotCal" << 2 << QByteArrayList{"mi", "grantlid"} << 1 << QList<bool>{false, true};
}

void TestThrottleSetup::actionDuringAnExchange()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(int, sentBeforeSecond);
    QFETCH(QByteArrayList, sent);
    QFETCH(int, beeps);
    QFETCH(QList<bool>, syncCalls);
    sim::FaultSettings slow;
    slow.replyDelay = std::chrono::milliseconds(300);
    gcu->setFaults(slow);
    G.ThrottlePotLaw = "01";
    G.ThrottleSense = "00";
    dialog->load();
    combo("Combo1")->setCurrentText("Logarithmic");
    const auto run = [this](const QString& action) {
        if (action == "Combo1")
            dialog->Combo1_LostFocus();
        else if (action == "Combo2")
            dialog->Combo2_LostFocus();
        else
            dialog->ThrotCal_Click();
    };
    if (first == "ThrotCal") {
        env->prompts.answer(Answer::Ok);
        env->prompts.answer(Answer::Ok);
    }

    // The second action comes while the first waits for the reply to its command.
    bool secondDone = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
        if (!secondDone && gcu->receivedLines().size() == sentBeforeSecond) {
            secondDone = true;
            run(second);
        }
    });
    watch.start(1);
    run(first);

    QVERIFY(secondDone);
    QCOMPARE(gcu->receivedLines(), sent);
    QCOMPARE(env->prompts.beeps, beeps);
    QCOMPARE(host->reconnects, 0);
    QCOMPARE(host->syncCalls, syncCalls);
    if (sent.contains("00tt"))
        QCOMPARE(throttle().potLaw(), QByteArray("00"));
    for (const QString& text : env->prompts.texts())
        QVERIFY2(text == kMinimum || text == kMaximum, qPrintable(text));
}

void TestThrottleSetup::otherHostNamesReachNothing()
{
    timing::setScale(0.05);
    for (const QString& name : {QStringLiteral("Setup"), QString()}) {
        ThrottleSetup other;
        other.SetActiveFormType(name);
        other.load();
        other.Combo1_LostFocus();
        env->prompts.answer(Answer::Ok);
        env->prompts.answer(Answer::Ok);
        other.ThrotCal_Click();
        QCOMPARE(G.ThrottlePotLaw, QStringLiteral("01"));
    }
    QVERIFY(gcu->receivedLines().isEmpty());
    QCOMPARE(gcu->wakeUpCount(), 0);
    QVERIFY(host->syncCalls.isEmpty());
    QCOMPARE(host->reconnects, 0);
}

void TestThrottleSetup::opensModallyForTheEngineControllerWhereItWasLeft()
{
    sim::VvtController ecu;
    test::plugAtPort(ecu, kEnginePort, *env);
    test::TestHost engineHost("Changadv", kEnginePort);
    QVERIFY(engineHost.isOpen());
    SaveSetting(kAppVvt, kWindows, "ThrottleSetupLeft", "1440");
    SaveSetting(kAppVvt, kWindows, "ThrottleSetupTop", "720");
    G.ThrottleSense = "01";

    bool shown = false;
    test::whenModalShown<ThrottleSetup>([&](ThrottleSetup& modal) {
        shown = true;
        QCOMPARE(modal.pos(), QPoint(96, 48));
        QVERIFY(modal.isModal());
        modal.findChild<QComboBox*>("Combo2")->setCurrentText("Normal");
        modal.Combo2_LostFocus();
        modal.move(192, 144);
        modal.findChild<QPushButton*>("Exit")->click();
    });
    showThrottleSetup(nullptr, "Changadv");

    QVERIFY(shown);
    QCOMPARE(ecu.receivedLines(), QByteArrayList{"00ts"});
    QCOMPARE(sim::ThrottleCommands::of(ecu)->sense(), QByteArray("00"));
    QVERIFY(gcu->receivedLines().isEmpty());
    QCOMPARE(engineHost.syncCalls, (QList<bool>{false, true}));
    QCOMPARE(GetSetting(kAppVvt, kWindows, "ThrottleSetupLeft"), QStringLiteral("2880"));
    QCOMPARE(GetSetting(kAppVvt, kWindows, "ThrottleSetupTop"), QStringLiteral("2160"));
}

QTEST_MAIN(TestThrottleSetup)
#include "test_throttle_setup.moc"
