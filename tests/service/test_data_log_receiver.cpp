#include "common/globals.h"
#include "service/data_log_receiver.h"

#include <QtTest>

using namespace vx;

class TestDataLogReceiver : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetGlobals(); }

    void gaugeScale_data();
    void gaugeScale();
    void linesAreTakenOnlyWhenComplete();
    void headerSkipsTheEchoAndShortLines_data();
    void headerSkipsTheEchoAndShortLines();
    void gaugeOfALargeLogEndsFull();
    void endOfDataStaysInTheBuffer();
    void refusedWriteStopsTaking();
};

void TestDataLogReceiver::gaugeScale_data()
{
    QTest::addColumn<qint64>("count");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("step");
    QTest::newRow("empty log") << qint64(0) << 10.0 << 1.0;
    QTest::newRow("unreadable count") << qint64(-3) << 10.0 << 1.0;
    QTest::newRow("one line") << qint64(1) << 1.0 << 1.0;
    QTest::newRow("largest without halving") << qint64(32767) << 32767.0 << 1.0;
    QTest::newRow("halved once") << qint64(32768) << 16384.0 << 0.5;
    QTest::newRow("40000 lines") << qint64(40000) << 20000.0 << 0.5;
    QTest::newRow("halved twice") << qint64(65535) << 16383.75 << 0.25;
}

void TestDataLogReceiver::gaugeScale()
{
    QFETCH(qint64, count);
    QFETCH(double, maximum);
    QFETCH(double, step);
    const GaugeScale scale = gaugeScaleForLineCount(count);
    QCOMPARE(scale.maximum, maximum);
    QCOMPARE(scale.step, step);
}

void TestDataLogReceiver::linesAreTakenOnlyWhenComplete()
{
    QStringList written;
    DataLogReceiver receiver([&](const QString& line) {
        written << line;
        return true;
    });
    QString buffer = "da\r\n00";
    QCOMPARE(receiver.take(buffer), DataLogReceiver::Result::NeedMore);
    QVERIFY(receiver.waitingForHeader());
    buffer += "03\r\n1.0,25";
    QCOMPARE(receiver.take(buffer), DataLogReceiver::Result::NeedMore);
    QVERIFY(!receiver.waitingForHeader());
    QCOMPARE(receiver.scale().maximum, 3.0);
    QVERIFY(written.isEmpty());
    QCOMPARE(buffer, QStringLiteral("1.0,25"));
    buffer += "00,2\r";
    QCOMPARE(receiver.take(buffer), DataLogReceiver::Result::NeedMore);
    QVERIFY(written.isEmpty());
    buffer += "\n1.1,2600,2\r\n\r\n";
    QCOMPARE(receiver.take(buffer), DataLogReceiver::Result::NeedMore);
    QCOMPARE(written, (QStringList{"1.0,2500,2", "1.1,2600,2", ""}));
    QCOMPARE(receiver.gaugeValue(), 3.0);
    QVERIFY(buffer.isEmpty());
}

void TestDataLogReceiver::headerSkipsTheEchoAndShortLines_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("echo, then the count") << "da\r\n0002\r\na\r\nb\r\n"
                                          << 2.0 << QStringList{"a", "b"};
    QTest::newRow("short lines before the count") << "\r\nok\r\n002\r\nabc\r\n"
                                                  << 2.0 << QStringList{"abc"};
    QTest::newRow("count of 0") << "da\r\n000\r\nx\r\n" << 10.0 << QStringList{"x"};
    QTest::newRow("a line naming da is no count") << "reading data\r\n00C\r\nx\r\n"
                                                  << 12.0 << QStringList{"x"};
}

void TestDataLogReceiver::headerSkipsTheEchoAndShortLines()
{
    QFETCH(QString, received);
    QFETCH(double, maximum);
    QFETCH(QStringList, written);
    QStringList lines;
    DataLogReceiver receiver([&](const QString& line) {
        lines << line;
        return true;
    });
    QCOMPARE(receiver.take(received), DataLogReceiver::Result::NeedMore);
    QCOMPARE(receiver.scale().maximum, maximum);
    QCOMPARE(lines, written);
}

void TestDataLogReceiver::gaugeOfALargeLogEndsFull()
{
    DataLogReceiver receiver([](const QString&) { return true; });
    QString buffer = "da\r\n9C40\r\n";
    for (int i = 0; i < 20000; ++i)
        buffer += "1\r\n";
    receiver.take(buffer);
    QCOMPARE(receiver.gaugeValue(), 10000.0);
    for (int i = 0; i < 20001; ++i)
        buffer += "1\r\n";
    receiver.take(buffer);
    // One line more than announced leaves the gauge at its maximum.
    QCOMPARE(receiver.gaugeValue(), 20000.0);
    QCOMPARE(receiver.linesWritten(), qint64(40001));
}

void TestDataLogReceiver::endOfDataStaysInTheBuffer()
{
    QStringList written;
    DataLogReceiver receiver([&](const QString& line) {
        written << line;
        return true;
    });
    QString buffer = "da\r\n0001\r\n5.5,3000\r\nEnd of data\r\n*";
    QCOMPARE(receiver.take(buffer), DataLogReceiver::Result::EndOfData);
    QCOMPARE(written, QStringList{"5.5,3000"});
    QCOMPARE(buffer, QStringLiteral("End of data\r\n*"));
    QCOMPARE(receiver.take(buffer), DataLogReceiver::Result::EndOfData);
    QCOMPARE(written.size(), 1);
}

void TestDataLogReceiver::refusedWriteStopsTaking()
{
    int calls = 0;
    DataLogReceiver receiver([&](const QString&) { return ++calls < 2; });
    QString buffer = "da\r\n0003\r\na\r\nb\r\nc\r\n";
    QCOMPARE(receiver.take(buffer), DataLogReceiver::Result::WriteFailed);
    QCOMPARE(calls, 2);
    QCOMPARE(buffer, QStringLiteral("c\r\n"));
}

QTEST_APPLESS_MAIN(TestDataLogReceiver)
#include "test_data_log_receiver.moc"
