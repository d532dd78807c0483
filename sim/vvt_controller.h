#pragma once

#include "sim/controller.h"
#include "sim/engine_model.h"
#include "sim/vvt_settings.h"

#include <QHash>
#include <QSet>

#include <optional>

namespace vx::sim {

// The variable-valve-timing engine controller (the ECU): it keeps a cam advance map with its
// name and checksum, the cam PWM parameters and its engine settings, takes map uploads as S3
// records, makes the running settings permanent on "unv" (what a restart comes back with) and
// reports live data from a simulated engine.
class VvtController : public Controller
{
    Q_OBJECT

public:
    static constexpr char kDefaultVersion[] = "V1.2-3";

    explicit VvtController(QObject* parent = nullptr);

    // The running settings, and the copy in non-volatile memory a restart comes back with.
    VvtSettings& settings() { return m_running; }
    const VvtSettings& settings() const { return m_running; }
    VvtSettings& permanent() { return m_permanent; }
    // Makes the running settings permanent at once, as after "unv".
    void storePermanently() { m_permanent = m_running; }

    // A map cell of the running map as a signed byte.
    int cell(int row, int column) const;
    void setCell(int row, int column, int value);
    // Fills the map and sets the checksum the program computes for it.
    void fillMap(int value);
    static quint32 checksumOf(const std::array<quint8, 256>& map);
    // A plausible map for a demo (advance rising with speed and throttle), made permanent.
    void loadDemoMap();

    EngineModel& engine() { return m_engine; }
    // A live query answered with this text instead of the engine's value.
    void setLiveAnswer(const QByteArray& mnemonic, const QByteArray& answer)
    {
        m_liveAnswers[mnemonic] = answer;
    }

    bool uploadOpen() const { return m_uploadOpen; }
    int restartCount() const { return m_restarts; }

    // Faults of this controller: flash writes ("sp", "unv", cam parameters) that fail, a record
    // address answered with "Error", commands that are never answered.
    void setFlashFails(bool fails) { m_flashFails = fails; }
    void setFailingRecordAddress(std::optional<quint32> address) { m_failingAddress = address; }
    void setUnanswered(const QSet<QByteArray>& mnemonics) { m_unanswered = mnemonics; }

protected:
    QByteArray description() const override;
    std::optional<Reply> otherLine(const QByteArray& line) override;

private:
    void addSettingCommands();
    void addMapCommands();
    void addLiveCommands();
    void add(const QByteArray& mnemonic, CommandHandler handler);
    void addLive(const QByteArray& mnemonic, std::function<QByteArray()> answer);
    Reply record(const QByteArray& line);
    void powerUp();

    VvtSettings m_running;
    VvtSettings m_permanent;
    EngineModel m_engine;
    QSet<QByteArray> m_unanswered;
    QHash<QByteArray, QByteArray> m_liveAnswers;
    std::optional<quint32> m_failingAddress;
    bool m_flashFails = false;
    bool m_uploadOpen = false;
    int m_restarts = 0;
};

} // namespace vx::sim
