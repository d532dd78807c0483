// Streams a 1 MB firmware file through the update window to the simulated bootloader over a
// link held to 115200 baud, checks what the bootloader wrote, and compares the time the load
// took with the least the line allows: bytes × 10 bits / 115200 baud.
#include "common/globals.h"
#include "common/prompts.h"
#include "serial/com_port.h"
#include "serial/command_table.h"
#include "serial/port_map.h"
#include "service/firmware_update.h"
#include "settings/settings_store.h"
#include "sim/bootloader.h"
#include "sim/firmware_maker.h"
#include "sim/vvt_controller.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using namespace vx;

constexpr qint64 kFileBytes = 1024 * 1024;
constexpr quint32 kSeed = 0x5EED;
constexpr int kPort = 1;
constexpr double kLineBitsPerSecond = 115200.0;
constexpr double kBitsPerByte = 10.0; // start bit, 8 data bits, stop bit

const QString kWarningStart = QStringLiteral("Please connect ECU");
const QString kComplete = QStringLiteral("Firmware update complete! Please power cycle ECU");

// Answers the update's boxes as a technician would on a good run; anything else ends the run.
class BenchPrompts final : public Prompts
{
public:
    explicit BenchPrompts(QString file) : file_(std::move(file)) {}

    Answer message(const Message& message) override
    {
        if (message.text.startsWith(kWarningStart) || message.text == kComplete)
            return Answer::Ok;
        unexpected << message.text;
        return Answer::Cancel;
    }
    std::optional<QString> openFile(const FileRequest&) override { return file_; }
    std::optional<QString> saveFile(const FileRequest&) override { return std::nullopt; }
    void beep() override {}

    QStringList unexpected;

private:
    QString file_;
};

double lineSeconds(qint64 bytes)
{
    return double(bytes) * kBitsPerByte / kLineBitsPerSecond;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir home;
    if (!home.isValid()) {
        std::fprintf(stderr, "firmware-stream: no temporary folder\n");
        return 1;
    }
    QDir(home.path()).mkpath(QStringLiteral("settings"));
    QDir(home.path()).mkpath(QStringLiteral("firmware"));
    settings::useStoreFolder(home.filePath(QStringLiteral("settings")));
    portmap::setDeviceLister([] { return QStringList(); });
    resetGlobals();
    InitCommandTable();

    const sim::TestFirmware firmware = sim::firmwareOfFileSize(kFileBytes, kSeed);
    const QString path = home.filePath(QStringLiteral("firmware/bench.hex"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(firmware.hexText) != firmware.hexText.size()) {
            std::fprintf(stderr, "firmware-stream: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const qint64 lines = firmware.hexText.count('\n');
    // "LF" and CR, then every line without its CR LF but with a CR.
    const qint64 streamBytes = 3 + firmware.hexText.size() - lines;

    sim::VvtController ecu;
    ecu.link().setThrottled(true);
    const QString device = home.filePath(QStringLiteral("ecu"));
    if (!ecu.plug(device)) {
        std::fprintf(stderr, "firmware-stream: %s\n", qPrintable(ecu.link().errorString()));
        return 1;
    }
    portmap::setDevicePath(kPort, device);
    G.ComPortNumber = kPort;
    G.FirmwareFolder = home.path() + QLatin1Char('/');

    BenchPrompts answers(path);
    installPrompts(&answers);

    ComPort port(QStringLiteral("SetupCom"));
    FirmwareUpdate window(port);
    window.show();

    QElapsedTimer clock;
    qint64 loadStart = -1;
    qint64 loadEnd = -1;
    QObject::connect(&ecu.bootloader(), &sim::Bootloader::commandReceived, &app,
                     [&](const QByteArray& command) {
                         if (command == "LF")
                             loadStart = clock.nsecsElapsed();
                     });
    QObject::connect(&port, &ComPort::received, &app, [&] {
        if (loadStart >= 0 && loadEnd < 0 && G.RxBuffer.contains(QLatin1Char('*')))
            loadEnd = clock.nsecsElapsed();
    });

    std::printf(
        "firmware-stream: %lld-byte file, %lld lines, %lld bytes to stream at 115200 baud\n",
        static_cast<long long>(firmware.hexText.size()), static_cast<long long>(lines),
        static_cast<long long>(streamBytes));
    std::fflush(stdout);
    clock.start();
    window.Start_Click();
    const double wholeSeconds = double(clock.nsecsElapsed()) / 1e9;
    installPrompts(nullptr);

    if (!answers.unexpected.isEmpty()) {
        std::fprintf(stderr, "firmware-stream: the update failed: %s\n",
                     qPrintable(answers.unexpected.join(QStringLiteral(" / "))));
        return 1;
    }
    if (ecu.bootloader().image() != firmware.image) {
        std::fprintf(stderr, "firmware-stream: the bootloader's image differs from the file's\n");
        return 1;
    }
    if (loadStart < 0 || loadEnd < 0) {
        std::fprintf(stderr, "firmware-stream: the load was not seen from start to end\n");
        return 1;
    }
    const double loadSeconds = double(loadEnd - loadStart) / 1e9;
    const qint64 allBytes = ecu.receivedByteCount();
    std::printf("firmware-stream: image matches the file (%lld bytes of program)\n",
                static_cast<long long>(firmware.image.byteCount()));
    std::printf("firmware-stream: whole update %.3f s for %lld bytes (line limit %.3f s)\n",
                wholeSeconds, static_cast<long long>(allBytes), lineSeconds(allBytes));
    std::printf("firmware-stream: load from \"LF\" to \"*\" %.3f s, line limit %.3f s\n",
                loadSeconds, lineSeconds(streamBytes));
    std::printf("firmware-stream ratio %.4f\n", loadSeconds / lineSeconds(streamBytes));
    return 0;
}
