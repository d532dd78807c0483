#include "common/globals.h"
#include "common/timing.h"
#include "counting_link.h"
#include "debugwin/debug_log.h"
#include "serial/com_port.h"
#include "serial/port_map.h"
#include "serial/port_probe.h"
#include "serial/reply_wait.h"
#include "serial/workspace_link.h"
#include "sim/gearbox_controller.h"
#include "sim/vvt_controller.h"
#include "sim_ports.h"
#include "test_environment.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

using namespace vx;

class TestSerialPort : public QObject
{
    Q_OBJECT
private slots:
    void init() { env = std::make_unique<test::TestEnvironment>(); }
    void cleanup() { env.reset(); }

    void opensByNumberWithTheLineSettings();
    void receivedCharactersReachTheBuffer();
    void debugCopyOnlyWhenOn();
    void closedPortSendsNothing();
    void portFailures_data();
    void portFailures();
    void permissionDeniedNamesTheFix();
    void unpluggedDeviceClosesThePort();
    void serialErrorBox_data();
    void serialErrorBox();
    void probeListsTheOpenablePorts();
    void newDevicesKeepTheirNumbers();
    void valueReadsAndTimeOuts();
    void writeLineSeesAnErrorAnswer();

private:
    std::unique_ptr<test::TestEnvironment> env;
};

void TestSerialPort::opensByNumberWithTheLineSettings()
{
    sim::VvtController ecu;
    test::plugAtPort(ecu, 4, *env);
    ComPort port("VvtComPort");
    port.setPortNumber(4);
    port.setHandshaking(3);
    QVERIFY(port.setSettings("38400,N,8,1"));
    QVERIFY(!port.setSettings("fast"));
    const PortOpenResult opened = port.open();
    QVERIFY2(opened.ok(), qPrintable(opened.detail));
    QVERIFY(port.isOpen());
    QCOMPARE(ecu.link().baudRate(), 38400);
    QTRY_VERIFY(ecu.link().isOpenByProgram());
    port.close();
    QVERIFY(!port.isOpen());

    QVERIFY(port.setSettings("115200,N,8,1"));
    QVERIFY(port.open().ok());
    QCOMPARE(ecu.link().baudRate(), 115200);
}

void TestSerialPort::receivedCharactersReachTheBuffer()
{
    sim::VvtController ecu;
    test::plugAtPort(ecu, 1, *env);
    ComPort port("VvtComPort");
    port.setSettings("115200,N,8,1");
    QVERIFY(port.open().ok());

    G.RxBuffer.clear();
    port.output("ve\r");
    QVERIFY(WaitForReply(false, "*", 0));
    QCOMPARE(G.RxBuffer, QStringLiteral("ve\r\nV1.2-3\r\n*"));

    // Characters that arrive while no one waits stay until the next sender empties the buffer.
    port.output(QString(QChar(27)));
    QTRY_VERIFY(G.RxBuffer.endsWith("\n\r*"));
    QVERIFY(G.RxBuffer.startsWith("ve\r\n"));

    // While held, input waits in the port; it arrives once released.
    G.RxBuffer.clear();
    port.setInputHeld(true);
    port.output("do\r");
    QTest::qWait(50);
    QVERIFY(G.RxBuffer.isEmpty());
    port.setInputHeld(false);
    QTRY_VERIFY(G.RxBuffer.contains("VVT ECU Type"));
}

void TestSerialPort::debugCopyOnlyWhenOn()
{
    sim::VvtController ecu;
    test::plugAtPort(ecu, 1, *env);
    ComPort port("SetupCom");
    port.setSettings("115200,N,8,1");
    QVERIFY(port.open().ok());

    G.DisplayDebug = false;
    port.output("ve\r");
    QVERIFY(WaitForReply(true, "*", 0));
    QVERIFY(debugLog().text().isEmpty());

    G.DisplayDebug = true;
    port.output("ve\r");
    QVERIFY(WaitForReply(false, "*", 0));
    QCOMPARE(debugLog().text(), QStringLiteral("ve\r\nV1.2-3\r\n*"));
    QCOMPARE(debugLog().text(), G.RxBuffer);
}

void TestSerialPort::closedPortSendsNothing()
{
    sim::VvtController ecu;
    test::plugAtPort(ecu, 1, *env);
    ComPort port("VvtComPort");
    port.setSettings("115200,N,8,1");
    port.output("ve\r");
    test::CountingLink link(port);
    link.ComOutput("ve\r");
    QCOMPARE(link.GetECUString("ve\r", QString(), 6), QString());
    QTest::qWait(30);
    QVERIFY(ecu.receivedLines().isEmpty());
}

void TestSerialPort::portFailures_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("failure");
    QTest::newRow("no device assigned") << 3 << QString() << int(PortFailure::NoSuchPort);
    QTest::newRow("device absent") << 3 << "/nonexistent/ttyUSB9" << int(PortFailure::NoSuchPort);
    QTest::newRow("outside 1..17") << 18 << QString() << int(PortFailure::NoSuchPort);
}

void TestSerialPort::portFailures()
{
    QFETCH(int, number);
    QFETCH(QString, device);
    QFETCH(int, failure);
    if (!device.isEmpty())
        test::mapPort(number, device);
    ComPort port("VvtComPort");
    port.setPortNumber(number);
    port.setSettings("115200,N,8,1");
    const PortOpenResult result = port.open();
    QCOMPARE(int(result.failure), failure);
    QVERIFY(!port.isOpen());
    QCOMPARE(portUnavailableText(number, result),
             QStringLiteral("COM%1 is not available, please select a new COM port").arg(number));
}

void TestSerialPort::permissionDeniedNamesTheFix()
{
    sim::VvtController ecu;
    const QString path = test::plugAtPort(ecu, 2, *env);
    ComPort::setAccessCheck([](const QString& device) {
        return PortOpenResult{PortFailure::PermissionDenied, device, "dialout"};
    });
    ComPort port("VvtComPort");
    port.setPortNumber(2);
    const PortOpenResult result = port.open();
    QCOMPARE(result.failure, PortFailure::PermissionDenied);
    const QString text = portUnavailableText(2, result);
    QVERIFY(text.startsWith(QStringLiteral("COM2 (%1) cannot be opened: this user has no permission").arg(path)));
    QVERIFY(text.contains(QStringLiteral("sudo usermod -aG dialout ")));

    // Another program holding the port is not a permission problem.
    ComPort::setAccessCheck(nullptr);
    ComPort holder("GearboxComPort");
    holder.setPortNumber(2);
    QVERIFY(holder.open().ok());
    ComPort second("SetupCom");
    second.setPortNumber(2);
    const PortOpenResult busy = second.open();
    if (geteuid() != 0) // the exclusive lock does not apply to root
        QCOMPARE(busy.failure, PortFailure::Busy);
}

void TestSerialPort::unpluggedDeviceClosesThePort()
{
    sim::GearboxController gcu;
    test::plugAtPort(gcu, 1, *env);
    ComPort port("GearboxComPort");
    QSignalSpy closed(&port, &ComPort::closed);
    port.setSettings("115200,N,8,1");
    QVERIFY(port.open().ok());
    QTRY_VERIFY(gcu.link().isOpenByProgram());
    gcu.unplug();
    QTRY_VERIFY(!port.isOpen());
    QCOMPARE(closed.count(), 1);
    QVERIFY(env->prompts.messages.isEmpty());

    // Plugged in again, the same number opens the device again.
    QVERIFY(gcu.replug());
    QVERIFY(port.open().ok());
}

void TestSerialPort::serialErrorBox_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("staysOpen");
    QTest::newRow("OK ignores") << Answer::Ok << true;
    QTest::newRow("Cancel closes") << Answer::Cancel << false;
}

void TestSerialPort::serialErrorBox()
{
    QFETCH(Answer, answer);
    QFETCH(bool, staysOpen);
    sim::VvtController ecu;
    test::plugAtPort(ecu, 1, *env);
    ComPort port("VvtComPort");
    QVERIFY(port.open().ok());
    G.ControllerConnected = 1;
    env->prompts.answer(answer);
    port.reportSerialEvent("Receive Buffer Overflow");
    QCOMPARE(env->prompts.beeps, 1);
    const Message& m = env->prompts.messages.first();
    QCOMPARE(m.text, QStringLiteral("Receive Buffer Overflow"));
    QCOMPARE(m.title, QStringLiteral("Click Cancel to quit, OK to ignore."));
    QCOMPARE(m.buttons, Buttons::OkCancel);
    QCOMPARE(port.isOpen(), staysOpen);
    QCOMPARE(G.ControllerConnected, staysOpen ? 1 : 0);

    // A closed port reports nothing.
    port.close();
    port.reportSerialEvent("Transmit Buffer Full");
    QCOMPARE(env->prompts.messages.size(), 1);
}

void TestSerialPort::probeListsTheOpenablePorts()
{
    ComPort port("SetupCom");
    PortProbe none = FindComPorts(port);
    for (int n = 1; n <= kPortCount; ++n)
        QVERIFY(!none.isAvailable(n));
    QVERIFY(env->prompts.messages.isEmpty());

    sim::VvtController ecu;
    sim::GearboxController gcu;
    test::plugAtPort(ecu, 3, *env);
    test::plugAtPort(gcu, 12, *env);
    test::mapPort(5, env->path("absent"));
    const PortProbe probe = FindComPorts(port);
    for (int n = 1; n <= kPortCount; ++n)
        QCOMPARE(probe.isAvailable(n), n == 3 || n == 12);
    QVERIFY(!port.isOpen());
    QVERIFY(ecu.receivedLines().isEmpty());
}

void TestSerialPort::newDevicesKeepTheirNumbers()
{
    QStringList present{"/dev/serial/by-id/usb-A", "/dev/ttyS0"};
    portmap::setDeviceLister([&present] { return present; });
    test::mapPort(1, "/dev/rfcomm0"); // chosen by the user, kept
    portmap::assignNewDevices();
    QCOMPARE(portmap::devicePath(1), QStringLiteral("/dev/rfcomm0"));
    QCOMPARE(portmap::devicePath(2), QStringLiteral("/dev/serial/by-id/usb-A"));
    QCOMPARE(portmap::devicePath(3), QStringLiteral("/dev/ttyS0"));

    // Unplugged, the adapter keeps its number; a new one gets the next free number; plugged in
    // again, the first one is still COM2.
    present = {"/dev/ttyS0", "/dev/serial/by-id/usb-B"};
    portmap::assignNewDevices();
    present = {"/dev/serial/by-id/usb-A", "/dev/serial/by-id/usb-B", "/dev/ttyS0"};
    portmap::assignNewDevices();
    QCOMPARE(portmap::devicePath(2), QStringLiteral("/dev/serial/by-id/usb-A"));
    QCOMPARE(portmap::devicePath(4), QStringLiteral("/dev/serial/by-id/usb-B"));
    QCOMPARE(portmap::devicePath(5), QString());
}

void TestSerialPort::valueReadsAndTimeOuts()
{
    sim::VvtController ecu;
    test::plugAtPort(ecu, 1, *env);
    ComPort port("VvtComPort");
    QVERIFY(port.open().ok());
    test::CountingLink link(port);
    QCOMPARE(link.GetECUString("ve\r", QString(), 6), QStringLiteral("V1.2-3"));
    QCOMPARE(link.GetECUValue("g0\r", QString(), 2), qint64(0));

    sim::FaultSettings silent;
    silent.silent = true;
    ecu.setFaults(silent);
    QCOMPARE(link.GetECUValue("g0\r", QString(), 2), qint64(-1));
    QCOMPARE(env->prompts.texts(), QStringList{"ECU not responding"});
    QCOMPARE(env->prompts.messages[0].title, QStringLiteral("Vantorex VVT ECU Software"));

    // A prompt still in the buffer from an earlier exchange is not taken for the reply.
    ecu.setFaults({});
    sim::FaultSettings slow;
    slow.replyDelay = std::chrono::milliseconds(150);
    ecu.setFaults(slow);
    G.RxBuffer = "g0\r\n00\r\n*";
    QElapsedTimer clock;
    clock.start();
    link.SendValue(250, "md", 4);
    QVERIFY2(clock.elapsed() >= 140, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(ecu.receivedLines().last(), QByteArray("00FAmd"));
    QCOMPARE(link.reconnects, 0);

    ecu.setFaults(silent);
    timing::setScale(0.05);
    link.SendValue(7, "bw", 2);
    QCOMPARE(ecu.receivedLines().last(), QByteArray("07bw"));
    QCOMPARE(link.reconnects, 1);
}

void TestSerialPort::writeLineSeesAnErrorAnswer()
{
    sim::VvtController ecu;
    ecu.addRawLineHandler("S3", [](const QByteArray& line) {
        return line.endsWith("FF") ? sim::Reply::raw(line + "\r\nError\r\n*") : sim::Reply::raw(line + "\r\n*");
    });
    test::plugAtPort(ecu, 1, *env);
    ComPort port("VvtComPort");
    QVERIFY(port.open().ok());
    test::CountingLink link(port);
    G.RxBuffer.clear();
    QVERIFY(link.WriteLine("S3050000000000FA"));
    QVERIFY(WaitForReply(false, "*", 0));
    QVERIFY(link.WriteLine("S3050000000000FF"));
    // The answer arrives while the next line goes out: that line reports the failure.
    QTRY_VERIFY(G.RxBuffer.contains("Error"));
    QVERIFY(!link.WriteLine("S70500004000BA"));
    QCOMPARE(ecu.wakeUpCount(), 0); // the escape ends an upload without waking anything
    QTRY_COMPARE(ecu.receivedLines().size(), 3);
}

QTEST_MAIN(TestSerialPort)
#include "test_serial_port.moc"
