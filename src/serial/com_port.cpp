#include "serial/com_port.h"

#include "common/globals.h"
#include "common/prompts.h"
#include "debugwin/debug_log.h"
#include "serial/port_map.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace vx {

namespace {

PortOpenResult systemAccessCheck(const QString& device)
{
    PortOpenResult result;
    result.device = device;
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(device);
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
        result.failure = PortFailure::PermissionDenied;
        struct stat info {};
        if (::stat(path.constData(), &info) == 0) {
            if (const group* g = ::getgrgid(info.st_gid))
                result.detail = QString::fromLocal8Bit(g->gr_name);
        }
    }
#endif
    return result;
}

ComPort::AccessCheck& accessCheck()
{
    static ComPort::AccessCheck check = systemAccessCheck;
    return check;
}

QString currentUserName()
{
#ifdef Q_OS_UNIX
    if (const passwd* pw = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(pw->pw_name);
#endif
    return qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
}

QSerialPort::Parity parityOf(QChar letter)
{
    switch (letter.toUpper().toLatin1()) {
    case 'E':
        return QSerialPort::EvenParity;
    case 'O':
        return QSerialPort::OddParity;
    case 'M':
        return QSerialPort::MarkParity;
    case 'S':
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

} // namespace

ComPort::ComPort(const QString& name, QObject* parent) : QObject(parent)
{
    setObjectName(name);
    connect(&port_, &QSerialPort::readyRead, this, &ComPort::readPending);
    connect(&port_, &QSerialPort::errorOccurred, this, &ComPort::onError);
}

ComPort::~ComPort() = default;

void ComPort::setAccessCheck(AccessCheck check)
{
    accessCheck() = check ? std::move(check) : systemAccessCheck;
}

bool ComPort::setSettings(const QString& settings)
{
    const QStringList parts = settings.split(QLatin1Char(','));
    bool baudOk = false;
    if (parts.size() != 4 || parts[0].toInt(&baudOk) <= 0 || !baudOk)
        return false;
    settings_ = settings;
    return true;
}

void ComPort::applyLineSettings()
{
    const QStringList parts = settings_.split(QLatin1Char(','));
    port_.setBaudRate(parts[0].toInt());
    port_.setParity(parts[1].isEmpty() ? QSerialPort::NoParity : parityOf(parts[1].at(0)));
    port_.setDataBits(static_cast<QSerialPort::DataBits>(qBound(5, parts[2].toInt(), 8)));
    const QString stop = parts[3].trimmed();
    port_.setStopBits(stop == QLatin1String("2")     ? QSerialPort::TwoStop
                      : stop == QLatin1String("1.5") ? QSerialPort::OneAndHalfStop
                                                     : QSerialPort::OneStop);
    // Qt offers one flow control at a time. RTS/CTS is the one that paces long transfers; for
    // mode 3 XON/XOFF is added below on systems where the driver offers both together.
    port_.setFlowControl(handshaking_ >= 2   ? QSerialPort::HardwareControl
                         : handshaking_ == 1 ? QSerialPort::SoftwareControl
                                             : QSerialPort::NoFlowControl);
}

PortOpenResult ComPort::open()
{
    PortOpenResult result;
    if (port_.isOpen())
        return result;

    result.device = portmap::devicePath(portNumber_);
    if (result.device.isEmpty()) {
        portmap::assignNewDevices();
        result.device = portmap::devicePath(portNumber_);
    }
    if (result.device.isEmpty()) {
        result.failure = PortFailure::NoSuchPort;
        return result;
    }
#ifdef Q_OS_UNIX
    if (!QFileInfo::exists(result.device)) {
        result.failure = PortFailure::NoSuchPort;
        return result;
    }
#endif
    const PortOpenResult access = accessCheck()(result.device);
    if (!access.ok())
        return access;

    port_.setPortName(result.device);
    applyLineSettings();
    if (!port_.open(QIODevice::ReadWrite)) {
        switch (port_.error()) {
        case QSerialPort::DeviceNotFoundError:
            result.failure = PortFailure::NoSuchPort;
            break;
        case QSerialPort::PermissionError:
            result.failure = PortFailure::Busy; // access was checked above: another program has it
            break;
        default:
            result.failure = PortFailure::Other;
            result.detail = port_.errorString();
            break;
        }
        port_.clearError();
        return result;
    }
#ifdef Q_OS_UNIX
    if (handshaking_ == 3) {
        termios tio {};
        if (::tcgetattr(static_cast<int>(port_.handle()), &tio) == 0) {
            tio.c_iflag |= IXON | IXOFF;
            ::tcsetattr(static_cast<int>(port_.handle()), TCSANOW, &tio);
        }
    }
#endif
    // Whatever the device sent before this program opened the port is not a reply to it.
    port_.clear(QSerialPort::Input);
    port_.clearError();
    return result;
}

void ComPort::close()
{
    if (!port_.isOpen())
        return;
    port_.close();
    port_.clearError();
    emit closed();
}

void ComPort::output(const QString& text)
{
    if (!port_.isOpen() || text.isEmpty())
        return;
    port_.write(text.toLatin1());
    port_.flush();
}

void ComPort::queueOutput(const QByteArray& bytes)
{
    if (port_.isOpen() && !bytes.isEmpty())
        port_.write(bytes);
}

bool ComPort::drainTransmit(int boundMs)
{
    if (!port_.isOpen())
        return true;
    while (port_.bytesToWrite() > 0) {
        if (!port_.waitForBytesWritten(boundMs))
            return port_.bytesToWrite() == 0;
    }
    return true;
}

void ComPort::setInputHeld(bool held)
{
    inputHeld_ = held;
    if (!held && port_.isOpen() && port_.bytesAvailable() > 0)
        QTimer::singleShot(0, this, &ComPort::readPending);
}

void ComPort::readPending()
{
    if (inputHeld_ || !port_.isOpen())
        return;
    const QByteArray data = port_.readAll();
    if (data.isEmpty())
        return;
    const QString text = QString::fromLatin1(data);
    if (G.DisplayDebug)
        PrintDebugString(text);
    G.RxBuffer += text;
    emit received(text);
}

void ComPort::onError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
        return;
    case QSerialPort::UnsupportedOperationError:
        // Modem-line calls on a link that has none (a pseudo-terminal, some Bluetooth links).
        port_.clearError();
        return;
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        // The device went away (adapter unplugged, link dropped). The owning window notices at
        // its next reply time-out and reconnects when the device is back.
        close();
        return;
    case QSerialPort::UnknownError:
        port_.clearError();
        QTimer::singleShot(0, this, [this] { reportSerialEvent(QStringLiteral("Unknown error or event")); });
        return;
    default:
        port_.clearError();
        return;
    }
}

void ComPort::reportSerialEvent(const QString& messageText)
{
    if (!port_.isOpen())
        return;
    prompts().beep();
    if (MsgBox(messageText, Buttons::OkCancel, Icon::None,
               QStringLiteral("Click Cancel to quit, OK to ignore.")) == Answer::Cancel) {
        close();
        G.ControllerConnected = 0;
    }
}

QString portUnavailableText(int comNumber, const PortOpenResult& reason)
{
    if (reason.failure == PortFailure::PermissionDenied) {
        const QString group = reason.detail.isEmpty() ? QStringLiteral("dialout") : reason.detail;
        return QStringLiteral("COM%1 (%2) cannot be opened: this user has no permission to use "
                              "the serial port.\n\nSerial ports belong to the group \"%3\". Add "
                              "your user to it with\n    sudo usermod -aG %3 %4\nthen log out "
                              "and back in.")
            .arg(comNumber)
            .arg(reason.device, group, currentUserName());
    }
    return QStringLiteral("COM%1 is not available, please select a new COM port").arg(comNumber);
}

} // namespace vx
