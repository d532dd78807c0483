#pragma once

#include <QByteArray>
#include <QObject>

#include <array>

namespace vx::sim {

class CommandTable;
class Controller;

// The gearbox controller's air-pressure sensor calibration: the sensor voltage at 0 psi ("az")
// and at 140 psi ("ah") in hundredths of a volt, and the 256-entry psi table loaded after "lp" as
// S3 records at addresses 0..FF, ended by the S7 record. Each record is checked as the loader
// checks it (count, address, checksum) and answered with "Error" when it is bad; the table
// takes the new entries only when the S7 record ends a clean load.
class AirPressureTable : public QObject
{
    Q_OBJECT

public:
    static constexpr int kEntries = 256;
    using Table = std::array<quint8, kEntries>;

    static AirPressureTable* install(Controller& controller, CommandTable& commands);
    static AirPressureTable* of(const Controller& controller);

    int zeroCentivolts() const { return m_zero; }
    int fullCentivolts() const { return m_full; }
    void setZeroCentivolts(int value) { m_zero = value; }
    void setFullCentivolts(int value) { m_full = value; }

    const Table& table() const { return m_table; }
    bool isLoading() const { return m_loading; }
    int loadsCompleted() const { return m_loads; }
    // The S3 record with this number (0 = the first after "lp") is answered with "Error".
    void failRecord(int number) { m_failRecord = number; }

    // Whether a record line is well formed: "S3" or "S7", then the byte count, the address and
    // the data as hexadecimal byte pairs, and the ones' complement checksum.
    static bool checkRecord(const QByteArray& line, QByteArray* bytes = nullptr);

private:
    explicit AirPressureTable(Controller& controller);

    QByteArray takeRecord(const QByteArray& line);
    void abandonLoad();

    int m_zero = 50;  // 0.50 V
    int m_full = 450; // 4.50 V
    Table m_table{};
    Table m_staged{};
    bool m_loading = false;
    bool m_loadFailed = false;
    int m_recordNumber = 0;
    int m_failRecord = -1;
    int m_loads = 0;
};

} // namespace vx::sim
