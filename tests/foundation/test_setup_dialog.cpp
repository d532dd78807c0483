#include "common/globals.h"
#include "common/timing.h"
#include "serial/com_port.h"
#include "settings/settings_store.h"
#include "setupdlg/setup_dialog.h"
#include "sim/gearbox_controller.h"
#include "sim/vvt_controller.h"
#include "sim_ports.h"
#include "test_environment.h"
#include "window_driver.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace vx;
using namespace vx::settings;

namespace {

const QString kPleaseMakeSure = QStringLiteral(
    "Please make sure the ECU is switched on and is either plugged into a USB port or is Bluetooth "
    "paired with this computer, then click OK. Please be patient! This scan may take 10 or 15 "
    "seconds if the connection is via Bluetooth");
const QString kNotFound =
    QStringLiteral("ECU not found. Please unplug USB cable and plug back in again, also power cycle ECU");

QStringList comboItems(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

} // namespace

class TestSetupDialog : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        env = std::make_unique<test::TestEnvironment>();
        dialog = std::make_unique<Setup>();
    }
    void cleanup()
    {
        dialog.reset();
        env.reset();
    }

    void unavailableSavedPortWarnsOnceAndIsListedLast();
    void suppressedWarningAndPermissionText();
    void controlsShowTheOptions();
    void triggerPatternEnablesCylinders();
    void choicesReachTheGlobalsAndAreSavedOnClose();
    void firmwareUpgradeNeedsAnAvailablePort();

    void searchFindsTheController();
    void searchRejects_data();
    void searchRejects();
    void searchWithoutPorts();
    void closingTheDialogStopsTheSearch();
    void firmwareUpgradeWaitsForTheSearch();
    void secondSearchProbesAgain();

private:
    QString findText() const { return dialog->findChild<QPlainTextEdit*>("ComFindTxt")->toPlainText(); }
    QPushButton* findButton() const { return dialog->findChild<QPushButton*>("FindECU"); }

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<Setup> dialog;
};

void TestSetupDialog::unavailableSavedPortWarnsOnceAndIsListedLast()
{
    sim::VvtController ecu;
    sim::GearboxController gcu;
    test::plugAtPort(ecu, 2, *env);
    test::plugAtPort(gcu, 9, *env);
    G.ComPortNumber = 4;
    dialog->load();
    QCOMPARE(env->prompts.texts(), QStringList{"COM4 is not available, please select a new COM port"});
    QCOMPARE(env->prompts.messages[0].icon, Icon::Exclamation);
    QCOMPARE(env->prompts.messages[0].title, QStringLiteral("Warning"));
    auto* combo = dialog->findChild<QComboBox*>("Combo1");
    QCOMPARE(comboItems(combo), (QStringList{"COM2", "COM9", "COM4"}));
    QCOMPARE(combo->currentText(), QStringLiteral("COM4"));
    QVERIFY(!dialog->setupCom().isOpen());
}

void TestSetupDialog::suppressedWarningAndPermissionText()
{
    Setup::SetNoErrorMsg(true);
    dialog->load();
    QVERIFY(env->prompts.messages.isEmpty());

    // The flag lasts one load only.
    sim::VvtController ecu;
    test::plugAtPort(ecu, 1, *env);
    ComPort::setAccessCheck([](const QString& device) {
        return PortOpenResult{PortFailure::PermissionDenied, device, "uucp"};
    });
    Setup second;
    second.load();
    QCOMPARE(env->prompts.messages.size(), 1);
    QVERIFY(env->prompts.messages[0].text.startsWith("COM1 (" + env->path("com1") + ") cannot be opened"));
    QVERIFY(env->prompts.messages[0].text.contains("sudo usermod -aG uucp"));
}

void TestSetupDialog::controlsShowTheOptions()
{
    G.CylinderCount = 12;
    G.TriggerType = 1;
    G.DisplayDebug = true;
    G.ProgSettingsFromECU = 0;
    Setup::SetNoErrorMsg(true);
    dialog->load();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Program Setup"));
    QCOMPARE(findButton()->text(), QStringLiteral("Find GCU"));
    QVERIFY(dialog->findChild<QRadioButton*>("Cylinders_3")->isChecked());
    QCOMPARE(dialog->findChild<QRadioButton*>("Cylinders_3")->text(), QStringLiteral("12"));
    QVERIFY(dialog->findChild<QCheckBox*>("DebugComms")->isChecked());
    QVERIFY(!dialog->findChild<QCheckBox*>("UseEcuSettiings")->isChecked());
    auto* trigger = dialog->findChild<QComboBox*>("TrigTypeCombo");
    QCOMPARE(trigger->count(), 10);
    QCOMPARE(trigger->currentText(), QStringLiteral("Rev Counter (12V)"));
    QCOMPARE(trigger->itemText(9), QStringLiteral("20-1 LynxAE"));
    QCOMPARE(dialog->findChild<QPushButton*>("FirmwareUpgrade")->text(), QStringLiteral("Firmare Upgrade"));
}

void TestSetupDialog::triggerPatternEnablesCylinders()
{
    Setup::SetNoErrorMsg(true);
    dialog->load();
    auto* trigger = dialog->findChild<QComboBox*>("TrigTypeCombo");
    auto* frame = dialog->findChild<QGroupBox*>("Frame4");
    for (int i = 0; i < 10; ++i) {
        trigger->setCurrentIndex(i);
        emit trigger->activated(i);
        QCOMPARE(G.TriggerType, i);
        QCOMPARE(frame->isEnabled(), i == 1);
        QCOMPARE(dialog->findChild<QRadioButton*>("Cylinders_0")->isEnabled(), i == 1);
    }
}

void TestSetupDialog::choicesReachTheGlobalsAndAreSavedOnClose()
{
    sim::VvtController ecu;
    test::plugAtPort(ecu, 12, *env);
    dialog->load();
    env->prompts.clear();
    dialog->show();

    auto* combo = dialog->findChild<QComboBox*>("Combo1");
    combo->setCurrentIndex(combo->findText("COM12"));
    emit combo->activated(combo->currentIndex());
    QCOMPARE(G.ComPortNumber, 12);
    dialog->findChild<QRadioButton*>("Cylinders_1")->click();
    QCOMPARE(G.CylinderCount, 6);
    dialog->findChild<QCheckBox*>("DebugComms")->click();
    QVERIFY(G.DisplayDebug);
    dialog->findChild<QCheckBox*>("UseEcuSettiings")->click();
    QCOMPARE(G.ProgSettingsFromECU, 0);

    // The frame's close button saves like Exit does.
    dialog->close();
    QCOMPARE(GetSetting(kAppVvt, kConfig, "ComPortNo"), QStringLiteral("12"));
    QCOMPARE(GetSetting(kAppVvt, kConfig, "CylNo"), QStringLiteral("6"));
    QCOMPARE(GetSetting(kAppVvt, kConfig, "DisplayDebug"), QStringLiteral("True"));
    QCOMPARE(GetSetting(kAppVvt, kConfig, "ProgSettingsFromECU"), QStringLiteral("0"));
    QVERIFY(HasSetting(kAppVvt, kWindows, "SetupLeft"));
    QVERIFY(!dialog->setupActive());
}

void TestSetupDialog::firmwareUpgradeNeedsAnAvailablePort()
{
    G.ComPortNumber = 6;
    Setup::SetNoErrorMsg(true);
    dialog->load();
    dialog->FirmwareUpgrade_Click();
    QCOMPARE(env->prompts.texts(), QStringList{"COM6 is not available, please select a new COM port"});
    QCOMPARE(env->prompts.messages[0].icon, Icon::Exclamation);
}

void TestSetupDialog::searchFindsTheController()
{
    sim::VvtController ecu;
    sim::VvtController silent;
    sim::FaultSettings quiet;
    quiet.silent = true;
    silent.setFaults(quiet);
    test::plugAtPort(silent, 2, *env);
    test::plugAtPort(ecu, 5, *env);
    G.ComPortNumber = 2;
    dialog->load();
    dialog->show();
    env->prompts.answer(Answer::Ok);
    env->prompts.answer(Answer::Ok);
    dialog->FindECU_Click();

    QCOMPARE(env->prompts.texts(), (QStringList{kPleaseMakeSure, "ECU found on COM5, Firmware version V1.2-3\r\n"}));
    QCOMPARE(env->prompts.messages[0].title, QStringLiteral("Find ECU"));
    QCOMPARE(env->prompts.messages[0].icon, Icon::Information);
    QCOMPARE(env->prompts.messages[1].title, QStringLiteral("ECU Found!"));
    QCOMPARE(env->prompts.messages[1].icon, Icon::Information);
    QCOMPARE(G.ComPortNumber, 5);
    QCOMPARE(dialog->findChild<QComboBox*>("Combo1")->currentText(), QStringLiteral("COM5"));
    QCOMPARE(findText(), QStringLiteral("Scanning COM ports...\nTrying COM2...no ECU\nTrying COM5...found!\nScan complete"));
    QCOMPARE(findButton()->text(), QStringLiteral("Find ECU"));
    QVERIFY(findButton()->isEnabled());
    QVERIFY(!dialog->setupCom().isOpen());
    QCOMPARE(ecu.receivedLines(), (QByteArrayList{"ve", "g0"}));
    QCOMPARE(ecu.wakeUpCount(), 3);
    QCOMPARE(silent.wakeUpCount(), 3); // all three wake-up tries are made
}

void TestSetupDialog::searchRejects_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<QByteArray>("illegal");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::newRow("ve rejected") << QByteArray("V1.2-3") << QByteArray("ve")
                                 << QByteArrayList{"ve", "ve", "ve"};
    QTest::newRow("g0 rejected") << QByteArray("V1.2-3") << QByteArray("g")
                                 << QByteArrayList{"ve", "g0", "ve", "g0", "ve", "g0"};
    QTest::newRow("10-character version reply") << QByteArray("V1.") << QByteArray()
                                                << QByteArrayList{"ve", "ve", "ve"};
}

void TestSetupDialog::searchRejects()
{
    QFETCH(QByteArray, version);
    QFETCH(QByteArray, illegal);
    QFETCH(QByteArrayList, lines);
    sim::VvtController ecu;
    ecu.setVersion(version);
    if (!illegal.isEmpty()) {
        sim::FaultSettings f;
        f.illegalCommands = {illegal};
        ecu.setFaults(f);
    }
    test::plugAtPort(ecu, 1, *env);
    dialog->load();
    env->prompts.answer(Answer::Ok);
    env->prompts.answer(Answer::Ok);
    G.ComPortNumber = 1;
    dialog->FindECU_Click();
    QCOMPARE(env->prompts.texts(), (QStringList{kPleaseMakeSure, kNotFound}));
    QCOMPARE(env->prompts.messages[1].icon, Icon::Critical);
    QCOMPARE(env->prompts.messages[1].title, QStringLiteral("ECU not found!!!"));
    QCOMPARE(ecu.receivedLines(), lines);
    QVERIFY(findText().endsWith("Trying COM1...no ECU\nScan complete"));
    QVERIFY(!dialog->setupCom().isOpen());
}

void TestSetupDialog::searchWithoutPorts()
{
    Setup::SetNoErrorMsg(true);
    dialog->load();
    env->prompts.answer(Answer::Ok);
    env->prompts.answer(Answer::Ok);
    G.ComPortNumber = 7;
    dialog->FindECU_Click();
    QCOMPARE(env->prompts.texts(), (QStringList{kPleaseMakeSure, kNotFound}));
    QCOMPARE(findText(), QStringLiteral("Scanning COM ports...\nScan complete"));
    QCOMPARE(G.ComPortNumber, 7);
}

void TestSetupDialog::closingTheDialogStopsTheSearch()
{
    sim::VvtController slow;
    sim::FaultSettings f;
    f.replyDelay = std::chrono::milliseconds(400);
    slow.setFaults(f);
    sim::VvtController ecu;
    test::plugAtPort(slow, 1, *env);
    test::plugAtPort(ecu, 2, *env);
    dialog->load();
    dialog->show();
    env->prompts.answer(Answer::Ok);
    env->prompts.whileShown = [this](const Message&) {
        QTimer::singleShot(60, dialog.get(), [this] { dialog->close(); });
    };
    dialog->FindECU_Click();
    QCOMPARE(env->prompts.texts(), QStringList{kPleaseMakeSure});
    QVERIFY(!dialog->setupCom().isOpen());
    QVERIFY(findText().endsWith("Trying COM1...no ECU"));
    QVERIFY(ecu.receivedLines().isEmpty());
    QCOMPARE(G.ComPortNumber, 1);
}

void TestSetupDialog::firmwareUpgradeWaitsForTheSearch()
{
    sim::VvtController slow;
    sim::FaultSettings f;
    f.replyDelay = std::chrono::milliseconds(400);
    slow.setFaults(f);
    sim::VvtController ecu;
    test::plugAtPort(slow, 1, *env);
    test::plugAtPort(ecu, 2, *env);
    G.ComPortNumber = 1;
    dialog->load();
    dialog->show();
    auto* upgrade = dialog->findChild<QPushButton*>("FirmwareUpgrade");
    bool updateShown = false;
    test::whenModalShown("FirmwareUpdate", [&](QWidget* window) {
        updateShown = true;
        window->close();
    });
    env->prompts.answer(Answer::Ok);
    env->prompts.answer(Answer::Ok);
    env->prompts.whileShown = [&](const Message& message) {
        if (message.title == QLatin1String("Find ECU"))
            QTimer::singleShot(60, dialog.get(), [upgrade] { upgrade->click(); });
    };
    dialog->FindECU_Click();

    QVERIFY(!updateShown);
    QCOMPARE(env->prompts.texts(), (QStringList{kPleaseMakeSure, "ECU found on COM2, Firmware version V1.2-3\r\n"}));
    QCOMPARE(ecu.receivedLines(), (QByteArrayList{"ve", "g0"}));
    QVERIFY(upgrade->isEnabled());
}

void TestSetupDialog::secondSearchProbesAgain()
{
    Setup::SetNoErrorMsg(true);
    dialog->load();
    env->prompts.answer(Answer::Ok);
    env->prompts.answer(Answer::Ok);
    dialog->FindECU_Click();
    QCOMPARE(findButton()->text(), QStringLiteral("Find ECU"));

    // Plugged in after the dialog opened: only a new probe sees it.
    sim::GearboxController gcu;
    test::plugAtPort(gcu, 8, *env);
    env->prompts.clear();
    env->prompts.answer(Answer::Ok);
    env->prompts.answer(Answer::Ok);
    dialog->FindECU_Click();
    QCOMPARE(env->prompts.messages.last().text, QStringLiteral("ECU found on COM8, Firmware version V2.3-8\r\n"));
    QCOMPARE(G.ComPortNumber, 8);
}

QTEST_MAIN(TestSetupDialog)
#include "test_setup_dialog.moc"
