#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>
#include <QTimer>

#include <chrono>

namespace vx::sim {

class CommandTable;
class Controller;

// The gearbox controller's data log in its flash memory: "da" dumps it (the echo, a header line
// with the number of records in hexadecimal, the records, "End of data" and the prompt) and "er"
// erases it (progress characters, then the prompt, or "Flash chip erase failed"). The escape
// character abandons a dump that is being sent.
class DataLog : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultRecordCount = 6000;
    static constexpr int kDefaultRecordsPerTick = 40;
    static constexpr std::chrono::milliseconds kSendTick{10};
    static constexpr int kDefaultEraseSteps = 10;
    static constexpr std::chrono::milliseconds kDefaultEraseStep{150};
    static constexpr char kEndOfData[] = "End of data";
    static constexpr char kEraseFailed[] = "Flash chip erase failed";

    static DataLog* install(Controller& controller, CommandTable& commands);
    static DataLog* of(const Controller& controller);

    const QByteArrayList& records() const { return m_records; }
    void setRecords(const QByteArrayList& records) { m_records = records; }
    // A log of count records as the controller writes them while driving.
    void setRecordCount(int count);
    static QByteArray simulatedRecord(int index);

    // How many records go out per send tick.
    void setRecordsPerTick(int count) { m_recordsPerTick = count > 0 ? count : 1; }
    // The dump stops halfway through record index, after the first half of it has gone out,
    // and goes on at resume(); -1 never stops.
    void holdInsideRecord(int index) { m_holdAt = index; }
    void resume();
    bool isHeld() const { return m_held; }
    bool isDumping() const { return m_dumping; }
    int dumpCount() const { return m_dumps; }

    void setEraseSteps(int progressCharacters, std::chrono::milliseconds interval);
    // The next count erases fail.
    void failNextErases(int count) { m_erasesToFail = count; }
    int eraseCount() const { return m_erases; }
    bool isErasing() const { return m_erasing; }

signals:
    void held();
    void dumpAbandoned();
    void eraseFinished(bool ok);

private:
    explicit DataLog(Controller& controller);

    void startDump(const QByteArray& line);
    void sendNextRecords();
    void abandonDump();
    void startErase(const QByteArray& line);
    void eraseStep();
    void stopAll();

    Controller& m_controller;
    QByteArrayList m_records;
    QTimer m_sendTimer;
    QTimer m_eraseTimer;
    int m_next = 0;
    int m_recordsPerTick = kDefaultRecordsPerTick;
    int m_holdAt = -1;
    bool m_held = false;
    bool m_dumping = false;
    int m_dumps = 0;
    int m_eraseSteps = kDefaultEraseSteps;
    int m_eraseStepsDone = 0;
    int m_erasesToFail = 0;
    int m_erases = 0;
    bool m_erasing = false;
};

} // namespace vx::sim
