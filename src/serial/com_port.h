#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>

#include <functional>

namespace vx {

// Why a port could not be opened.
enum class PortFailure { None, NoSuchPort, Busy, PermissionDenied, Other };

struct PortOpenResult
{
    PortFailure failure = PortFailure::None;
    QString device; // the device behind the port number, when there is one
    QString detail; // the system's words for an Other failure; the device's group when denied

    bool ok() const { return failure == PortFailure::None; }
};

// A serial port of one window, addressed by COM number. Everything it receives is appended to
// RxBuffer (and copied to the debug log when DisplayDebug is on) as soon as the event loop runs,
// so received characters become visible to waiting code only between its yields.
class ComPort : public QObject
{
    Q_OBJECT
public:
    explicit ComPort(const QString& name, QObject* parent = nullptr);
    ~ComPort() override;

    void setPortNumber(int number) { portNumber_ = number; }
    int portNumber() const { return portNumber_; }
    // Line settings as baud rate, parity letter, data bits and stop bits: "115200,N,8,1".
    bool setSettings(const QString& settings);
    QString settings() const { return settings_; }
    // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 RTS/CTS and XON/XOFF together.
    void setHandshaking(int mode) { handshaking_ = mode; }

    PortOpenResult open();
    void close();
    bool isOpen() const { return port_.isOpen(); }

    // Sends the text one byte per character.
    void output(const QString& text);
    // Adds bytes to the transmit queue without forcing them out: they leave as the line takes
    // them while the event loop runs. For long transfers, which fill the system's queue, where
    // forcing a write out would fail.
    void queueOutput(const QByteArray& bytes);
    qint64 bytesToWrite() const { return port_.bytesToWrite(); }
    // Blocks, without handling events, until the transmit queue is empty or the bound passed.
    bool drainTransmit(int boundMs);

    // While held, received characters wait in the port instead of reaching RxBuffer.
    void setInputHeld(bool held);

    // The serial error box: beep, the message, OK keeps the port, Cancel closes it.
    void reportSerialEvent(const QString& messageText);

    // Decides whether the device may be opened by this user (tests replace it).
    using AccessCheck = std::function<PortOpenResult(const QString& device)>;
    static void setAccessCheck(AccessCheck check);

signals:
    void received(const QString& text);
    void closed();

private:
    void readPending();
    void onError(QSerialPort::SerialPortError error);
    void applyLineSettings();

    QSerialPort port_;
    int portNumber_ = 1;
    QString settings_ = QStringLiteral("9600,N,8,1");
    int handshaking_ = 0;
    bool inputHeld_ = false;
};

// What to tell the user about a port that is not available: the usual words, or the reason
// and the fix when the port exists but this user may not open it.
QString portUnavailableText(int comNumber, const PortOpenResult& reason);

} // namespace vx
