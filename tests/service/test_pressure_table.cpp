#include "common/globals.h"
#include "service/air_pressure_values.h"
#include "service/pressure_table.h"
#include "sim/air_pressure_table.h"

#include <QtTest>

using namespace vx;

class TestPressureTable : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetGlobals(); }

    void psiFromVolts_data();
    void psiFromVolts();
    void tableOfTheUsualSensor();
    void tableIsLimitedToOneByte_data();
    void tableIsLimitedToOneByte();
    void acceptVoltsKey_data();
    void acceptVoltsKey();
    void calibrationPointCommand_data();
    void calibrationPointCommand();
    void pointChecks_data();
    void pointChecks();
};

void TestPressureTable::psiFromVolts_data()
{
    QTest::addColumn<double>("zero");
    QTest::addColumn<double>("full");
    QTest::addColumn<double>("volts");
    QTest::addColumn<double>("psi");
    QTest::newRow("at the 0 psi point") << 0.5 << 4.5 << 0.5 << 0.0;
    QTest::newRow("at the 140 psi point") << 0.5 << 4.5 << 4.5 << 140.0;
    QTest::newRow("between") << 0.5 << 4.5 << 1.0 << 17.5;
    QTest::newRow("above the 140 psi point") << 0.5 << 4.5 << 5.0 << 157.5;
    QTest::newRow("below the 0 psi point") << 1.0 << 3.0 << 0.0 << -70.0;
}

void TestPressureTable::psiFromVolts()
{
    QFETCH(double, zero);
    QFETCH(double, full);
    QFETCH(double, volts);
    QFETCH(double, psi);
    G.AirPressZeroVolts = zero;
    G.AirPress140Volts = full;
    QCOMPARE(PsiFromVolts(volts), psi);
}

void TestPressureTable::tableOfTheUsualSensor()
{
    G.AirPressZeroVolts = 0.5;
    G.AirPress140Volts = 4.5;
    const PressureTable table = BuildPressureTable();
    QCOMPARE(table[0], 0);
    QCOMPARE(table[26], 0);
    QCOMPARE(table[51], 18);  // 17.5 psi, a half rounded to the even neighbour
    QCOMPARE(table[102], 52); // 52.5 psi
    QCOMPARE(table[255], 158);
    QCOMPARE(PressureTableRecord(table, 0),
             QStringLiteral(
                 "S325000000000000000000000000000000000000000000000000000000000000000102020304CE"));
    for (int r = 0; r < kPressureRecords; ++r) {
        const QString record = PressureTableRecord(table, r);
        QCOMPARE(record.size(), 78);
        QCOMPARE(record.mid(4, 8),
                 QStringLiteral("%1").arg(r * 32, 8, 16, QLatin1Char('0')).toUpper());
        QVERIFY2(sim::AirPressureTable::checkRecord(record.toLatin1()), qPrintable(record));
        for (int k = 0; k < kPressureRecordEntries; ++k)
            QCOMPARE(record.mid(12 + 2 * k, 2).toInt(nullptr, 16), table[r * 32 + k]);
    }
    QVERIFY(sim::AirPressureTable::checkRecord(kPressureTableEnd.toLatin1()));
}

void TestPressureTable::tableIsLimitedToOneByte_data()
{
    QTest::addColumn<double>("zero");
    QTest::addColumn<double>("full");
    QTest::addColumn<int>("reading");
    QTest::addColumn<int>("psi");
    QTest::addColumn<int>("sent");
    // A steep sensor: 280 psi per volt.
    QTest::newRow("above 255 psi") << 0.5 << 1.0 << 255 << 1260 << 255;
    QTest::newRow("just above 255 psi") << 0.5 << 1.0 << 73 << 261 << 255;
    QTest::newRow("below the 0 psi voltage") << 2.0 << 4.5 << 50 << 0 << 0;
    QTest::newRow("reading 0 is always 0 psi") << 0.0 << 0.5 << 0 << 0 << 0;
}

void TestPressureTable::tableIsLimitedToOneByte()
{
    QFETCH(double, zero);
    QFETCH(double, full);
    QFETCH(int, reading);
    QFETCH(int, psi);
    QFETCH(int, sent);
    G.AirPressZeroVolts = zero;
    G.AirPress140Volts = full;
    const PressureTable table = BuildPressureTable();
    QCOMPARE(table[reading], psi);
    const QString record = PressureTableRecord(table, reading / 32);
    QCOMPARE(record.mid(12 + 2 * (reading % 32), 2).toInt(nullptr, 16), sent);
    QVERIFY2(sim::AirPressureTable::checkRecord(record.toLatin1()), qPrintable(record));
}

void TestPressureTable::acceptVoltsKey_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("digit") << "0." << int('5') << true;
    QTest::newRow("first point") << "1" << int('.') << true;
    QTest::newRow("second point") << "1." << int('.') << false;
    QTest::newRow("fifth character") << "4.99" << int('1') << false;
    QTest::newRow("point as fifth character") << "4499" << int('.') << false;
    QTest::newRow("backspace on a full box") << "4.99" << 8 << true;
    QTest::newRow("backspace on an empty box") << "" << 8 << true;
    QTest::newRow("carriage return") << "1.2" << 13 << false;
    QTest::newRow("carriage return on a full box") << "4.99" << 13 << false;
    QTest::newRow("letter") << "1" << int('a') << false;
    QTest::newRow("minus") << "" << int('-') << false;
    QTest::newRow("space") << "1" << int(' ') << false;
}

void TestPressureTable::acceptVoltsKey()
{
    QFETCH(QString, text);
    QFETCH(int, key);
    QFETCH(bool, accepted);
    QCOMPARE(AcceptVoltsKey(text, key), accepted);
}

void TestPressureTable::calibrationPointCommand_data()
{
    QTest::addColumn<double>("volts");
    QTest::addColumn<QString>("mnemonic");
    QTest::addColumn<QString>("command");
    QTest::newRow("1.25 V") << 1.25 << "az"
                            << "007Daz\r";
    QTest::newRow("0.50 V") << 0.5 << "az"
                            << "0032az\r";
    QTest::newRow("4.99 V") << 4.99 << "ah"
                            << "01F3ah\r";
    QTest::newRow("0.01 V") << 0.01 << "ah"
                            << "0001ah\r";
}

void TestPressureTable::calibrationPointCommand()
{
    QFETCH(double, volts);
    QFETCH(QString, mnemonic);
    QFETCH(QString, command);
    QCOMPARE(vx::calibrationPointCommand(volts, mnemonic), command);
}

void TestPressureTable::pointChecks_data()
{
    QTest::addColumn<double>("zero");
    QTest::addColumn<double>("full");
    QTest::addColumn<int>("zeroCheck");
    QTest::addColumn<int>("fullCheck");
    QTest::newRow("usual sensor") << 0.5 << 4.5 << int(PointCheck::Ok) << int(PointCheck::Ok);
    QTest::newRow("exactly half a volt apart")
        << 1.8 << 2.3 << int(PointCheck::Ok) << int(PointCheck::Ok);
    QTest::newRow("less than half a volt apart")
        << 4.6 << 5.0 << int(PointCheck::TooClose) << int(PointCheck::OutOfRange);
    QTest::newRow("the wrong way round")
        << 3.0 << 1.0 << int(PointCheck::TooClose) << int(PointCheck::TooClose);
    QTest::newRow("0 V") << 0.0 << 4.5 << int(PointCheck::OutOfRange) << int(PointCheck::Ok);
    QTest::newRow("ends of the range")
        << 0.01 << 4.99 << int(PointCheck::Ok) << int(PointCheck::Ok);
}

void TestPressureTable::pointChecks()
{
    QFETCH(double, zero);
    QFETCH(double, full);
    QFETCH(int, zeroCheck);
    QFETCH(int, fullCheck);
    QCOMPARE(int(checkZeroPoint(zero, full)), zeroCheck);
    QCOMPARE(int(checkFullPoint(full, zero)), fullCheck);
}

QTEST_APPLESS_MAIN(TestPressureTable)
#include "test_pressure_table.moc"
