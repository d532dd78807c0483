#include "gearbox/firmware_version.h"
#include "gearbox/live_status.h"
#include "gearbox/number_entry.h"
#include "gearbox/parameter_table.h"
#include "serial/command_table.h"

#include <QtTest>

using namespace vx;
using namespace vx::gearbox;

namespace {

// A complete status answer as the controller frames it, with chosen answers.
QString statusReply(const QStringList& mnemonics, const QHash<QString, QString>& answers)
{
    QString reply;
    for (const QString& m : mnemonics)
        reply += m + "\r\n" + answers.value(m) + "\r\n*";
    return reply;
}

QHash<QString, QString> quietAnswers()
{
    return {{"rp", "0100"}, {"sy", "0003"}, {"th", "2D"}, {"rh", "00927C"}, {"bs", "60"},
            {"rs", "80"},   {"gn", "03"},   {"up", "01"}, {"dp", "00"},     {"nb", "00"},
            {"bp", "01"},   {"st", "05"},   {"ap", "78"}, {"mm", "01"}};
}

} // namespace

class TestGearboxLogic : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { InitCommandTable(); }

    void firmwareVersion_data();
    void firmwareVersion();
    void batchByFirmware_data();
    void batchByFirmware();
    void completeness();
    void decodesEveryField_data();
    void decodesEveryField();
    void engineSpeed_data();
    void engineSpeed();
    void decodingStopsAtAMissingField();
    void commitDigits_data();
    void commitDigits();
    void entryRules_data();
    void entryRules();
    void keyFilter_data();
    void keyFilter();
    void tableDrivesEveryBox();
};

void TestGearboxLogic::firmwareVersion_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::newRow("V2.3-6") << "ve\r\nV2.3-6\r\n*"
                            << "V2.3-6" << 20306;
    QTest::newRow("V2.03-08") << "ve\r\nV2.03-08\r\n*"
                              << "V2.03-08" << 20308;
    QTest::newRow("X") << "ve\r\nX2.1-0\r\n*"
                       << "X2.1-0" << 20100;
    QTest::newRow("V1.99-99") << "ve\r\nV1.99-99\r\n*"
                              << "V1.99-99" << 19999;
    QTest::newRow("no build") << "ve\r\nV3.1\r\n*"
                              << "V3.1" << 30100;
}

void TestGearboxLogic::firmwareVersion()
{
    QFETCH(QString, reply);
    QFETCH(QString, text);
    QFETCH(int, number);
    const FirmwareVersion v = parseFirmwareVersion(reply);
    QCOMPARE(v.text, text);
    QCOMPARE(v.number, number);
}

void TestGearboxLogic::batchByFirmware_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("commands");
    QTest::addColumn<int>("length");
    QTest::newRow("20305") << 20305 << 10 << 98;
    QTest::newRow("20306") << 20306 << 13 << 125;
    QTest::newRow("20307") << 20307 << 13 << 125;
    QTest::newRow("20308") << 20308 << 14 << 134;
}

void TestGearboxLogic::batchByFirmware()
{
    QFETCH(int, firmware);
    QFETCH(int, commands);
    QFETCH(int, length);
    const StatusBatch batch = statusBatch(firmware);
    QCOMPARE(batch.mnemonics.size(), commands);
    QCOMPARE(batch.expectedLength, length);
    QCOMPARE(batch.text.count('\r'), commands);
    QVERIFY(batch.text.startsWith("rp\rsy\rth\rrh\r"));
    // The complete answer of the batch is exactly as long as the expected length.
    QCOMPARE(statusReply(batch.mnemonics, quietAnswers()).size(), length);
}

void TestGearboxLogic::completeness()
{
    const StatusBatch batch = statusBatch(20308);
    const QString full = statusReply(batch.mnemonics, quietAnswers());
    QVERIFY(isComplete(full, batch));
    QVERIFY(!isComplete(full.left(full.size() - 1), batch));
    // With manual mode in the batch the brake pedal's name is not required.
    QString withoutBrake = full;
    withoutBrake.replace("bp\r", "xx\r");
    QVERIFY(isComplete(withoutBrake, batch));
    QString withoutGear = full;
    withoutGear.replace("gn\r", "xx\r");
    QVERIFY(!isComplete(withoutGear, batch));
}

void TestGearboxLogic::decodesEveryField_data()
{
    QTest::addColumn<QString>("mnemonic");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("shown");
    QTest::newRow("gear reverse") << "gn"
                                  << "FF"
                                  << "R";
    QTest::newRow("gear 3") << "gn"
                            << "03"
                            << " 3";
    QTest::newRow("throttle") << "th"
                              << "2D"
                              << " 45%";
    QTest::newRow("sync errors") << "sy"
                                 << "0102"
                                 << " 258";
    QTest::newRow("barrel") << "bs"
                            << "C8"
                            << " 200";
    QTest::newRow("ram") << "rs"
                         << "00"
                         << " 0";
    QTest::newRow("shift time") << "st"
                                << "05"
                                << " 50";
    QTest::newRow("air pressure") << "ap"
                                  << "78"
                                  << " 120";
}

void TestGearboxLogic::decodesEveryField()
{
    QFETCH(QString, mnemonic);
    QFETCH(QString, answer);
    QFETCH(QString, shown);
    const StatusBatch batch = statusBatch(20308);
    QHash<QString, QString> answers = quietAnswers();
    answers.insert(mnemonic, answer);
    const StatusView view = decodeStatus(statusReply(batch.mnemonics, answers), batch, 0, 4);
    const QHash<QString, std::optional<QString>> byName{
        {"gn", view.gear},         {"th", view.throttle},  {"sy", view.syncErrors},
        {"bs", view.barrelSensor}, {"rs", view.ramSensor}, {"st", view.shiftTime},
        {"ap", view.airPressure}};
    QCOMPARE(byName.value(mnemonic), std::optional<QString>(shown));
    QCOMPARE(view.upShift, Indicator::On);
    QCOMPARE(view.downShift, Indicator::Off);
    QCOMPARE(view.neutral, Indicator::Off);
    QCOMPARE(view.brakePedal, Indicator::On);
    QCOMPARE(view.manualMode, ManualModeView::On);
}

void TestGearboxLogic::engineSpeed_data()
{
    QTest::addColumn<int>("trigger");
    QTest::addColumn<int>("cylinders");
    QTest::addColumn<QString>("rp");
    QTest::addColumn<QString>("rh");
    QTest::addColumn<QString>("rpm");
    QTest::newRow("rev counter 4 cyl") << 1 << 4 << "0100"
                                       << "000000"
                                       << "3660";
    QTest::newRow("rev counter fast") << 1 << 4 << "003A"
                                      << "000000"
                                      << "10000";
    QTest::newRow("rev counter 6 cyl") << 1 << 6 << "0100"
                                       << "000000"
                                       << "2440";
    QTest::newRow("rev counter slow") << 1 << 4 << "FFFF"
                                      << "000000"
                                      << "0";
    QTest::newRow("rev counter 8 cyl") << 1 << 8 << "0100"
                                       << "000000"
                                       << "0";
    QTest::newRow("crank 2500") << 0 << 4 << "0000"
                                << "00927C"
                                << "2500";
    QTest::newRow("crank stopped") << 3 << 4 << "0000"
                                   << "000000"
                                   << "0";
    QTest::newRow("crank too fast") << 0 << 4 << "0000"
                                    << "000001"
                                    << "";
    // Line noise whose digits add up to a period of nothing is no speed.
    QTest::newRow("crank garbled to zero") << 0 << 4 << "0000"
                                           << "00001 "
                                           << "";
}

void TestGearboxLogic::engineSpeed()
{
    QFETCH(int, trigger);
    QFETCH(int, cylinders);
    QFETCH(QString, rp);
    QFETCH(QString, rh);
    QFETCH(QString, rpm);
    const StatusBatch batch = statusBatch(20305);
    QHash<QString, QString> answers = quietAnswers();
    answers.insert("rp", rp);
    answers.insert("rh", rh);
    const StatusView view =
        decodeStatus(statusReply(batch.mnemonics, answers), batch, trigger, cylinders);
    QCOMPARE(view.rpm, std::optional<QString>(rpm));
    // Without manual mode in the batch its indicator is hidden; fields not asked for stay.
    QCOMPARE(view.manualMode, ManualModeView::Hidden);
    QCOMPARE(view.brakePedal, Indicator::Unchanged);
    QVERIFY(!view.shiftTime);
}

void TestGearboxLogic::decodingStopsAtAMissingField()
{
    const StatusBatch batch = statusBatch(20308);
    QString reply = statusReply(batch.mnemonics, quietAnswers());
    reply.replace("gn\r", "xx\r");
    const StatusView view = decodeStatus(reply, batch, 0, 4);
    QCOMPARE(view.ramSensor, std::optional<QString>(" 128"));
    QVERIFY(!view.gear);
    QCOMPARE(view.upShift, Indicator::Unchanged);
    QCOMPARE(view.manualMode, ManualModeView::Unchanged);
    QVERIFY(!view.airPressure);
}

void TestGearboxLogic::commitDigits_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("digits");
    QTest::newRow("upshift timeout 1250") << "UpshiftTimeout" << 1250 << "7D";
    QTest::newRow("upshift timeout 125") << "UpshiftTimeout" << 125 << "0C";
    QTest::newRow("upshift timeout 135") << "UpshiftTimeout" << 135 << "0E";
    QTest::newRow("max downshift 9000") << "MaxDownRPM" << 9000 << "2328";
    QTest::newRow("max downshift 1000") << "MaxDownRPM" << 1000 << "03E8";
    QTest::newRow("min blip 250") << "MinBlipRPM" << 250 << "0FA";
    QTest::newRow("on pressure 100") << "OnPressure" << 100 << "064";
    QTest::newRow("barrel window 7") << "BarrelWindow" << 7 << "07";
}

void TestGearboxLogic::commitDigits()
{
    QFETCH(QString, control);
    QFETCH(int, value);
    QFETCH(QString, digits);
    const NumberParameter& p = numberParameter(control);
    QCOMPARE(QLatin1String(p.control), control);
    QCOMPARE(gearbox::commitDigits(value, p.show, p.width), digits);
}

void TestGearboxLogic::entryRules_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("value");
    QTest::newRow("in range") << "UpshiftTimeout"
                              << "1250" << int(EntryError::None) << 1250;
    QTest::newRow("upper bound") << "UpshiftTimeout"
                                 << "2550" << int(EntryError::None) << 2550;
    QTest::newRow("above") << "UpshiftTimeout"
                           << "2555" << int(EntryError::OutOfRange) << 0;
    QTest::newRow("below") << "PercentEngaged"
                           << "9" << int(EntryError::OutOfRange) << 0;
    QTest::newRow("too long") << "BarrelWindow"
                              << "100" << int(EntryError::Invalid) << 0;
    QTest::newRow("empty") << "BarrelWindow"
                           << "" << int(EntryError::Invalid) << 0;
    QTest::newRow("letters") << "RamWindow"
                             << "1a" << int(EntryError::Invalid) << 0;
    QTest::newRow("beyond 16 bits") << "MaxDownRPM"
                                    << "40000" << int(EntryError::OutOfRange) << 0;
    QTest::newRow("min blip five digits") << "MinBlipRPM"
                                          << "10000" << int(EntryError::Invalid) << 0;
}

void TestGearboxLogic::entryRules()
{
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(int, error);
    QFETCH(int, value);
    const NumberParameter& p = numberParameter(control);
    const Entry entry = checkEntry(text, p.length, p.min, p.max);
    QCOMPARE(int(entry.error), error);
    if (entry.error == EntryError::None)
        QCOMPARE(entry.value, value);
}

void TestGearboxLogic::keyFilter_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QChar>("key");
    QTest::addColumn<bool>("discard");
    QTest::addColumn<QString>("newText");
    QTest::addColumn<bool>("commit");
    const QChar enter(kEnterKey);
    const QChar backspace(kBackspaceKey);
    QTest::newRow("digit") << "UpshiftTimeout"
                           << "12" << 0 << QChar('5') << false << QString() << false;
    QTest::newRow("letter") << "UpshiftTimeout"
                            << "12" << 0 << QChar('a') << true << QString() << false;
    QTest::newRow("point") << "UpshiftTimeout"
                           << "12" << 0 << QChar('.') << true << QString() << false;
    QTest::newRow("plus at max") << "UpshiftTimeout"
                                 << "2550" << 0 << QChar('+') << true << QString() << false;
    QTest::newRow("plus past max") << "UpshiftTimeout"
                                   << "2545" << 0 << QChar('=') << true << "2555" << true;
    QTest::newRow("minus at min") << "UpshiftTimeout"
                                  << "0" << 0 << QChar('-') << true << QString() << false;
    QTest::newRow("minus") << "UpshiftTimeout"
                           << "1250" << 0 << QChar('_') << true << "1240" << true;
    QTest::newRow("sixth digit") << "MaxDownRPM"
                                 << "12000" << 0 << QChar('1') << true << QString() << false;
    QTest::newRow("plus on full box") << "MaxDownRPM"
                                      << "12000" << 0 << QChar('+') << true << "12100" << true;
    QTest::newRow("step limit") << "MaxDownRPM"
                                << "14000" << 0 << QChar('+') << true << QString() << false;
    QTest::newRow("backspace on full box")
        << "MaxDownRPM"
        << "12000" << 0 << backspace << false << QString() << false;
    QTest::newRow("enter") << "BarrelWindow"
                           << "25" << 0 << enter << true << QString() << true;
    QTest::newRow("typing over a selection")
        << "BarrelWindow"
        << "25" << 2 << QChar('9') << false << QString() << false;
    QTest::newRow("min blip fifth character")
        << "MinBlipRPM"
        << "1000" << 0 << QChar('0') << false << QString() << false;
    QTest::newRow("play downshift steps") << "PlayDownshift"
                                          << "140" << 0 << QChar('+') << true << "141" << true;
}

void TestGearboxLogic::keyFilter()
{
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(int, selected);
    QFETCH(QChar, key);
    QFETCH(bool, discard);
    QFETCH(QString, newText);
    QFETCH(bool, commit);
    const NumberParameter& p = numberParameter(control);
    const KeyDecision d =
        filterNumberKey(key, text, selected, KeyRule{p.stepMax, p.stepMin, p.step, p.keyLength});
    QCOMPARE(d.discard, discard);
    QCOMPARE(d.text.value_or(QString()), newText);
    QCOMPARE(d.commit, commit);
}

void TestGearboxLogic::tableDrivesEveryBox()
{
    QSet<QString> mnemonics;
    for (const NumberParameter& p : numberParameters()) {
        QVERIFY2(!mnemonic(p).isEmpty() && mnemonic(p) != "##", p.control);
        mnemonics.insert(mnemonic(p));
        QVERIFY(p.min <= p.max);
        QVERIFY(p.step > 0);
    }
    QCOMPARE(mnemonics.size(), kNumberParameterCount);
    // Every box is read once by the full read, after the gear rows.
    int boxes = 0;
    for (const char* name : readOrderAfterGears())
        boxes += numberParameterIndex(QLatin1String(name)) ? 1 : 0;
    QCOMPARE(boxes, kNumberParameterCount - 1);
}

QTEST_APPLESS_MAIN(TestGearboxLogic)
#include "test_gearbox_logic.moc"
