#include "common/globals.h"
#include "common/timing.h"
#include "sim/vvt_controller.h"
#include "sim_ports.h"
#include "test_environment.h"
#include "vvt/map_model.h"
#include "vvt/map_records.h"
#include "vvt_fixture.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

using namespace vx;

class TestVvtUpload : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        env = std::make_unique<test::TestEnvironment>();
        ecu = std::make_unique<sim::VvtController>();
        ecu->fillMap(10);
        ecu->storePermanently();
        test::plugAtPort(*ecu, 1, *env);
        session = std::make_unique<test::OnlineWorkspace>();
    }
    void cleanup()
    {
        session.reset();
        ecu.reset();
        env.reset();
    }

    void editReachesTheControllerOnceAfterTheLastKey();
    void selectionUploadsItsColumns();
    void rejectedRecordClosesTheWorkspace();
    void saveInEcu_data();
    void saveInEcu();
    void linkLostWhileAskingToSaveInEcu();
    void adapterPulledWithAnEdit_data();
    void adapterPulledWithAnEdit();

private:
    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<sim::VvtController> ecu;
    std::unique_ptr<test::OnlineWorkspace> session;
};

void TestVvtUpload::editReachesTheControllerOnceAfterTheLastKey()
{
    QVERIFY(session->openRunning());
    QVERIFY(session->focus(65));
    ecu->clearReceivedLines();
    QElapsedTimer sinceLastKey;
    QTest::keyClicks(session->cell(65), "+");
    QTest::keyClicks(session->cell(65), "+");
    sinceLastKey.start();
    QTRY_COMPARE_WITH_TIMEOUT(ecu->cell(5, 2), 12, 2000);
    QVERIFY2(sinceLastKey.elapsed() >= 150, qPrintable(QString::number(sinceLastKey.elapsed())));
    QTRY_COMPARE(ecu->uploadOpen(), false);
    QTRY_VERIFY(session->workspace->timer3().isActive());

    for (int column = 0; column < kMapUsedColumns; ++column) {
        for (int row = 0; row < kMapRows; ++row)
            QCOMPARE(G.AdvanceMap[row][1][column].value_or(-1), ecu->cell(row, column));
    }
    const QByteArrayList expected = {"1en",
                                     "po",
                                     columnRecord(1, 2).toLatin1(),
                                     "S70500004000BA",
                                     "DEMO.camna",
                                     checksumLine(mapChecksumOf(1)).toLatin1(),
                                     "0en"};
    QCOMPARE(test::uploadLines(*ecu), expected);
    QCOMPARE(ecu->settings().checksum, sim::VvtController::checksumOf(ecu->settings().map));
    QCOMPARE(session->cell(65)->palette().color(QPalette::Text), changedCellColour());
    QCOMPARE(G.MapChanged[1], 1);
    QVERIFY(env->prompts.messages.isEmpty());
}

void TestVvtUpload::selectionUploadsItsColumns()
{
    timing::setScale(0.3);
    QVERIFY(session->openRunning());
    QVERIFY(session->focus(28));
    QTest::keyPress(session->cell(28), Qt::Key_Shift, Qt::ShiftModifier);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier);
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::ShiftModifier);
    QApplication::sendEvent(session->cell(28), &down);
    QApplication::sendEvent(session->cell(28), &right);
    QTest::keyRelease(session->cell(28), Qt::Key_Shift);
    ecu->clearReceivedLines();
    QTest::keyClicks(session->cell(28), "-");
    QTRY_COMPARE_WITH_TIMEOUT(ecu->cell(29, 1), 9, 2000);
    QCOMPARE(ecu->cell(28, 0), 9);
    QCOMPARE(ecu->cell(29, 0), 9);
    QCOMPARE(ecu->cell(28, 1), 9);
    QCOMPARE(ecu->cell(27, 0), 10);
    QTRY_COMPARE(ecu->uploadOpen(), false);
    const QByteArrayList lines = test::uploadLines(*ecu);
    QCOMPARE(lines.size(), 8);
    QCOMPARE(lines[2], columnRecord(1, 0).toLatin1());
    QCOMPARE(lines[3], columnRecord(1, 1).toLatin1());
    QTRY_VERIFY(!session->workspace->timer4().isActive());
    QVERIFY(session->workspace->timer3().isActive());
}

void TestVvtUpload::rejectedRecordClosesTheWorkspace()
{
    timing::setScale(0.3);
    QVERIFY(session->openRunning());
    ecu->setFailingRecordAddress(3 * 32);
    QVERIFY(session->focus(90));
    const int wakeUps = ecu->wakeUpCount();
    QTest::keyClicks(session->cell(90), "+");
    QTRY_COMPARE_WITH_TIMEOUT(session->shell.mainWindowShown, 1, 3000);
    QCOMPARE(env->prompts.texts(), QStringList{"Error sending advance data to system"});
    QCOMPARE(env->prompts.messages[0].title, QStringLiteral("Error"));
    // The escape character abandoned the upload in the controller.
    QTRY_COMPARE(ecu->wakeUpCount(), wakeUps + 1);
    QVERIFY(!ecu->uploadOpen());
    QCOMPARE(ecu->cell(0, 3), 10);
    QTRY_VERIFY(!session->workspace);
}

void TestVvtUpload::saveInEcu_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("permanent");
    QTest::newRow("made permanent") << Answer::Yes << "" << QStringList() << true;
    QTest::newRow("flash fails") << Answer::Yes << "flash"
                                 << QStringList{"Flash update failed!!! Please retry"} << false;
    QTest::newRow("declined") << Answer::No << ""
                              << QStringList{"System non-volatile memory update aborted"} << false;
    QTest::newRow("no answer") << Answer::Yes << "silent" << QStringList() << false;
}

void TestVvtUpload::saveInEcu()
{
    QFETCH(Answer, answer);
    QFETCH(QString, fault);
    QFETCH(QStringList, messages);
    QFETCH(bool, permanent);
    timing::setScale(0.3);
    QVERIFY(session->openRunning());
    QVERIFY(session->focus(0));
    QTest::keyClicks(session->cell(0), "+");
    QTRY_COMPARE_WITH_TIMEOUT(ecu->cell(0, 0), 11, 2000);
    QTRY_VERIFY(!session->workspace->timer1().isActive());
    ecu->setFlashFails(fault == "flash");
    if (fault == "silent")
        ecu->setUnanswered({"unv"});
    env->prompts.answer(answer);
    session->workspace->Nvram_Click();

    const Message& question = env->prompts.messages.value(0);
    QCOMPARE(question.text,
             QStringLiteral("Are you sure you want to make this map permanent in the ECU?"));
    QCOMPARE(question.buttons, Buttons::YesNo);
    QCOMPARE(question.icon, Icon::Question);
    QCOMPARE(question.title, QStringLiteral("Warning"));
    QCOMPARE(question.defaultButton, std::optional<Answer>(Answer::No));
    QCOMPARE(env->prompts.texts().mid(1), messages);
    if (fault == "flash") {
        QCOMPARE(env->prompts.messages[1].icon, Icon::Critical);
        QCOMPARE(env->prompts.messages[1].title, QStringLiteral("Error"));
    }
    if (answer == Answer::No) {
        QCOMPARE(env->prompts.messages[1].icon, Icon::Information);
        QCOMPARE(env->prompts.messages[1].title, QString());
    }
    QCOMPARE(static_cast<qint8>(ecu->permanent().map[0]), permanent ? 11 : 10);
    const QColor text = session->cell(0)->palette().color(QPalette::Text);
    QCOMPARE(text == changedCellColour(), !permanent);
    if (fault == "silent") {
        QCOMPARE(session->workspace->statusText(), QStringLiteral("Lost connection"));
        QVERIFY(!session->workspace->port().isOpen());
    } else {
        QVERIFY(session->workspace->timer3().isActive());
    }
}

void TestVvtUpload::linkLostWhileAskingToSaveInEcu()
{
    timing::setScale(0.3);
    QVERIFY(session->openRunning());
    env->prompts.whileShown = [&](const Message&) {
        sim::FaultSettings faults;
        faults.silent = true;
        ecu->setFaults(faults);
        // The link is lost while the question is up; the connect ticks open the port again.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return session->workspace->statusText() == QStringLiteral("Lost connection") &&
                       session->workspace->port().isOpen();
            },
            3000));
        ecu->clearReceivedLines();
    };
    env->prompts.answer(Answer::Yes);
    session->workspace->Nvram_Click();
    env->prompts.whileShown = nullptr;
    QCOMPARE(env->prompts.messages.size(), 1);
    QVERIFY(!ecu->receivedLines().contains("unv"));
    QVERIFY(!session->workspace->timer3().isActive());
    ecu->setFaults({});
    QVERIFY(session->waitStatus(QStringLiteral("Running")));
}

void TestVvtUpload::adapterPulledWithAnEdit_data()
{
    QTest::addColumn<bool>("duringUpload");
    QTest::newRow("edit not yet sent") << false;
    QTest::newRow("edit being sent") << true;
}

void TestVvtUpload::adapterPulledWithAnEdit()
{
    QFETCH(bool, duringUpload);
    timing::setScale(0.3);
    QVERIFY(session->openRunning());
    QVERIFY(session->focus(65));
    if (duringUpload) {
        auto pull = std::make_shared<QMetaObject::Connection>();
        *pull = connect(ecu.get(), &sim::Controller::lineReceived, this,
                        [this, pull](const QByteArray& line) {
                            if (line != "po")
                                return;
                            disconnect(*pull);
                            QTimer::singleShot(0, ecu.get(), [this] { ecu->unplug(); });
                        });
    }
    QTest::keyClicks(session->cell(65), "+");
    if (!duringUpload)
        ecu->unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!session->workspace || test::statusOf(*session->workspace) ==
                                                        QStringLiteral("Reconnecting..."),
                             3000);
    QVERIFY(session->workspace);
    QVERIFY2(env->prompts.messages.isEmpty(), qPrintable(env->prompts.texts().join('|')));
    QCOMPARE(session->shell.mainWindowShown, 0);
    QCOMPARE(G.AdvanceMap[5][1][2], MapCell(11));
    QVERIFY(!session->workspace->timer1().isActive());

    // Back again: the controller still has the old value, so the reload is offered.
    env->prompts.answer(Answer::Yes);
    QVERIFY(ecu->replug());
    QVERIFY(session->waitStatus(QStringLiteral("Running")));
    QCOMPARE(env->prompts.texts(),
             QStringList{"ECU's cam position map is different to the PC's cam position map.\r"
                         "Reload the ECU's cam position map from the PC?"});
    QTRY_COMPARE(ecu->cell(5, 2), 11);
    QVERIFY(test::mapsAgree(*ecu));
}

QTEST_MAIN(TestVvtUpload)
#include "test_vvt_upload.moc"
