#include "common/globals.h"
#include "common/timing.h"
#include "serial/command_table.h"
#include "serial/hex.h"
#include "serial/reply_wait.h"
#include "test_environment.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace vx;

namespace {

// Appends text to RxBuffer after a delay, as a controller's reply would arrive.
void arriveLater(int ms, const QString& text)
{
    QTimer::singleShot(ms, [text] { G.RxBuffer += text; });
}

} // namespace

class TestCommandExchange : public QObject
{
    Q_OBJECT
private slots:
    void init() { env = std::make_unique<test::TestEnvironment>(); }
    void cleanup() { env.reset(); }

    void commandTableHoldsEveryMnemonic();
    void hexDigits_data();
    void hexDigits();
    void hexStrings_data();
    void hexStrings();
    void roundingAndNumbers();

    void waitEndsWhenTheTailMatches();
    void waitIgnoresTerminatorFollowedByMore();
    void clearFlagEmptiesOnlyOnSuccess();
    void emptyTerminatorEndsAtOnce();
    void nestedWaitEndsTheOuterOne();
    void defaultTimeoutIsTwoSeconds();

private:
    std::unique_ptr<test::TestEnvironment> env;
};

void TestCommandExchange::commandTableHoldsEveryMnemonic()
{
    G.CommandTable.fill(QString());
    InitCommandTable();
    QCOMPARE(int(G.CommandTable.size()), 214);
    const QMap<int, QString> expected{
        {0, "ba"},   {1, "rp"},   {4, "unv"},  {5, "st"},   {12, "ve"},       {20, "do"},
        {30, "grantlid"}, {36, "ih"}, {47, "ee"}, {48, "it"}, {49, "et"},      {57, "g"},
        {58, "h"},   {69, "pd"},  {86, "st"},  {92, "df"},  {93, "az"},       {98, "lp"},
        {103, "bn"}, {200, "bl"}, {202, "ex"}, {212, "cl"},
    };
    for (auto it = expected.begin(); it != expected.end(); ++it)
        QCOMPARE(Command(it.key()), it.value());
    int unused = 0;
    for (const QString& entry : G.CommandTable)
        unused += entry == QLatin1String("##");
    QCOMPARE(unused, 96 + 1); // 104..199 and 213
    QCOMPARE(Command(104), QStringLiteral("##"));
    QCOMPARE(Command(213), QStringLiteral("##"));
    QCOMPARE(G.CR, QStringLiteral("\r"));
    QCOMPARE(G.LF, QStringLiteral("\n"));
    QCOMPARE(Command(cmd::do_), QStringLiteral("do"));
    QCOMPARE(Command(cmd::camParam0 + 11), QStringLiteral("ee"));
}

void TestCommandExchange::hexDigits_data()
{
    QTest::addColumn<QChar>("digit");
    QTest::addColumn<int>("value");
    QTest::newRow("0") << QChar('0') << 0;
    QTest::newRow("7") << QChar('7') << 7;
    QTest::newRow("9") << QChar('9') << 9;
    QTest::newRow("A") << QChar('A') << 10;
    QTest::newRow("C") << QChar('C') << 12;
    QTest::newRow("F") << QChar('F') << 15;
    QTest::newRow("lower case is not checked") << QChar('a') << 42;
}

void TestCommandExchange::hexDigits()
{
    QFETCH(QChar, digit);
    QFETCH(int, value);
    QCOMPARE(HexDigitValue(digit), value);
}

void TestCommandExchange::hexStrings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value");
    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("0A1F") << "0A1F" << qint64(2591);
    QTest::newRow("1A") << "1A" << qint64(26);
    QTest::newRow("00FA") << "00FA" << qint64(250);
    QTest::newRow("six digits") << "005B8D" << qint64(23437);
    QTest::newRow("eight digits") << "FFFFFFFF" << qint64(4294967295LL);
}

void TestCommandExchange::hexStrings()
{
    QFETCH(QString, text);
    QFETCH(qint64, value);
    QCOMPARE(HexStringToInt(text), value);
}

void TestCommandExchange::roundingAndNumbers()
{
    QCOMPARE(roundHalfEven(12.5), qint64(12));
    QCOMPARE(roundHalfEven(17.5), qint64(18));
    QCOMPARE(roundHalfEven(52.5), qint64(52));
    QCOMPARE(roundHalfEven(-2.5), qint64(-2));
    QCOMPARE(hexPadded(125, 2), QStringLiteral("7D"));
    QCOMPARE(hexPadded(250, 4), QStringLiteral("00FA"));
    QCOMPARE(hexPadded(700, 2), QStringLiteral("2BC"));
    QCOMPARE(leadingNumber(" 25"), 25.0);
    QCOMPARE(leadingNumber("7.5x"), 7.5);
    QCOMPARE(leadingNumber("-4"), -4.0);
    QCOMPARE(leadingNumber("abc"), 0.0);
}

void TestCommandExchange::waitEndsWhenTheTailMatches()
{
    G.RxBuffer = "ve\r";
    arriveLater(20, "\nV1.2-3\r\n");
    arriveLater(40, "*");
    QVERIFY(WaitForReply(false, "*", 0));
    QCOMPARE(G.RxBuffer, QStringLiteral("ve\r\nV1.2-3\r\n*"));
    QCOMPARE(G.ReplyWaiting, 0);
    QVERIFY(!COMTimeout().isActive());
}

void TestCommandExchange::waitIgnoresTerminatorFollowedByMore()
{
    timing::setScale(0.05); // 2000 ms becomes 100 ms
    G.RxBuffer = "rp\r\n0100\r\n*sy";
    QVERIFY(!WaitForReply(false, "*", 0));
    QCOMPARE(G.RxBuffer, QStringLiteral("rp\r\n0100\r\n*sy"));
    QCOMPARE(G.ReplyWaiting, 0);
    QVERIFY(!COMTimeout().isActive());

    // Arriving later, the terminator at the tail ends the wait.
    arriveLater(10, "\r\n0000\r\n*");
    QVERIFY(WaitForReply(false, "*", 0));
}

void TestCommandExchange::clearFlagEmptiesOnlyOnSuccess()
{
    timing::setScale(0.05);
    G.RxBuffer = "partial";
    QVERIFY(!WaitForReply(true, "*", 0));
    QCOMPARE(G.RxBuffer, QStringLiteral("partial"));

    arriveLater(5, " reply\r\n*");
    QVERIFY(WaitForReply(true, "*", 0));
    QVERIFY(G.RxBuffer.isEmpty());

    // A terminator longer than the buffer never matches.
    G.RxBuffer = ">";
    QVERIFY(!WaitForReply(false, "TestMode>", 0));
}

void TestCommandExchange::emptyTerminatorEndsAtOnce()
{
    G.RxBuffer.clear();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(WaitForReply(false, QString(), 0));
    QVERIFY(clock.elapsed() < 1000);
}

void TestCommandExchange::nestedWaitEndsTheOuterOne()
{
    // A second exchange started during a wait shares the flag and the timer: when it finishes
    // it ends the outer wait too.
    bool innerResult = false;
    QTimer::singleShot(10, [&innerResult] {
        arriveLater(10, "#");
        innerResult = WaitForReply(false, "#", 0);
    });
    G.RxBuffer.clear();
    QVERIFY(!WaitForReply(false, "*", 0));
    QVERIFY(innerResult);
    QVERIFY(!COMTimeout().isActive());

    // Unless the outer terminator already ends the buffer by then.
    QTimer::singleShot(10, [&innerResult] {
        QTimer::singleShot(5, [] { G.RxBuffer += "#*"; });
        innerResult = WaitForReply(false, "#*", 0);
    });
    G.RxBuffer.clear();
    QVERIFY(WaitForReply(false, "*", 0));
    QVERIFY(innerResult);
}

void TestCommandExchange::defaultTimeoutIsTwoSeconds()
{
    G.RxBuffer = "no prompt";
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!WaitForReply(false, "*", 0));
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 1990 && elapsed < 3500, qPrintable(QString::number(elapsed)));
}

QTEST_MAIN(TestCommandExchange)
#include "test_command_exchange.moc"
