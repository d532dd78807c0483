#include "sim/data_log.h"

#include "sim/command_table.h"
#include "sim/controller.h"

#include <algorithm>

namespace vx::sim {
namespace {

constexpr char kCrLf[] = "\r\n";
constexpr char kProgress = '.';

// How far into the erase a failing chip gives up.
constexpr int kFailAfterSteps = 3;

QByteArray headerOf(qsizetype count)
{
    return QByteArray::number(count, 16).toUpper().rightJustified(4, '0');
}

} // namespace

DataLog::DataLog(Controller& controller) : QObject(&controller), m_controller(controller)
{
    setObjectName(QStringLiteral("DataLog"));
    setRecordCount(kDefaultRecordCount);
    m_sendTimer.setInterval(kSendTick);
    connect(&m_sendTimer, &QTimer::timeout, this, &DataLog::sendNextRecords);
    m_eraseTimer.setInterval(kDefaultEraseStep);
    connect(&m_eraseTimer, &QTimer::timeout, this, &DataLog::eraseStep);

    connect(&controller, &Controller::wokenUp, this, [this] {
        if (m_dumping)
            abandonDump();
    });
    // A power cycle or a pulled cable ends whatever was under way.
    connect(&controller.link(), &PtyLink::plugged, this, &DataLog::stopAll);
    connect(&controller.link(), &PtyLink::unplugged, this, &DataLog::stopAll);
    connect(&controller.link(), &PtyLink::programClosedPort, this, &DataLog::stopAll);
}

DataLog* DataLog::install(Controller& controller, CommandTable& commands)
{
    auto* log = new DataLog(controller);
    commands.add("da", [log](const Command& command) {
        if (command.isSetting())
            return Reply::illegal();
        log->startDump(command.line);
        return Reply::nothing();
    });
    commands.add("er", [log](const Command& command) {
        if (command.isSetting())
            return Reply::illegal();
        log->startErase(command.line);
        return Reply::nothing();
    });
    return log;
}

DataLog* DataLog::of(const Controller& controller)
{
    return controller.findChild<DataLog*>(QStringLiteral("DataLog"), Qt::FindDirectChildrenOnly);
}

void DataLog::setRecordCount(int count)
{
    m_records.clear();
    m_records.reserve(count);
    for (int i = 0; i < count; ++i)
        m_records.append(simulatedRecord(i));
}

// Time in tenths of a second, engine speed, gear, throttle and air pressure, as logged on a run.
QByteArray DataLog::simulatedRecord(int index)
{
    const int rpm = 1500 + (index * 37) % 6000;
    const int gear = 1 + (index / 200) % 6;
    const int throttle = (index * 7) % 100;
    const int psi = 90 + index % 20;
    return QByteArray::number(index / 10) + '.' + QByteArray::number(index % 10) + ',' +
           QByteArray::number(rpm) + ',' + QByteArray::number(gear) + ',' +
           QByteArray::number(throttle) + ',' + QByteArray::number(psi);
}

void DataLog::resume()
{
    if (!m_held)
        return;
    m_held = false;
    m_holdAt = -1;
    const QByteArray& record = m_records.at(m_next);
    m_controller.link().send(record.mid(record.size() / 2) + kCrLf);
    ++m_next;
    m_sendTimer.start();
}

void DataLog::startDump(const QByteArray& line)
{
    stopAll();
    ++m_dumps;
    m_dumping = true;
    m_next = 0;
    m_controller.link().send(line + kCrLf + headerOf(m_records.size()) + kCrLf);
    m_sendTimer.start();
}

void DataLog::sendNextRecords()
{
    QByteArray chunk;
    const int last = std::min<int>(m_next + m_recordsPerTick, m_records.size());
    for (; m_next < last; ++m_next) {
        const QByteArray& record = m_records.at(m_next);
        if (m_next == m_holdAt) {
            chunk += record.left(record.size() / 2);
            m_controller.link().send(chunk);
            m_sendTimer.stop();
            m_held = true;
            emit held();
            return;
        }
        chunk += record + kCrLf;
    }
    if (m_next >= m_records.size()) {
        chunk += QByteArray(kEndOfData) + kCrLf + m_controller.prompt();
        m_sendTimer.stop();
        m_dumping = false;
    }
    m_controller.link().send(chunk);
}

void DataLog::abandonDump()
{
    m_sendTimer.stop();
    m_dumping = false;
    m_held = false;
    emit dumpAbandoned();
}

void DataLog::startErase(const QByteArray& line)
{
    stopAll();
    ++m_erases;
    m_erasing = true;
    m_eraseStepsDone = 0;
    m_controller.link().send(line + kCrLf);
    m_eraseTimer.start();
}

void DataLog::eraseStep()
{
    const bool failing = m_erasesToFail > 0;
    const int steps = failing ? std::min(kFailAfterSteps, m_eraseSteps) : m_eraseSteps;
    if (m_eraseStepsDone < steps) {
        ++m_eraseStepsDone;
        m_controller.link().send(QByteArray(1, kProgress));
        return;
    }
    m_eraseTimer.stop();
    m_erasing = false;
    if (failing) {
        --m_erasesToFail;
        m_controller.link().send(kCrLf + QByteArray(kEraseFailed) + kCrLf + m_controller.prompt());
        emit eraseFinished(false);
        return;
    }
    m_records.clear();
    m_controller.link().send(kCrLf + m_controller.prompt());
    emit eraseFinished(true);
}

void DataLog::setEraseSteps(int progressCharacters, std::chrono::milliseconds interval)
{
    m_eraseSteps = std::max(0, progressCharacters);
    m_eraseTimer.setInterval(interval);
}

void DataLog::stopAll()
{
    m_sendTimer.stop();
    m_eraseTimer.stop();
    m_dumping = false;
    m_held = false;
    m_erasing = false;
}

} // namespace vx::sim
