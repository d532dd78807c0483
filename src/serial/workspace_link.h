#pragma once

#include <QString>

namespace vx {

class ComPort;

// The link operations a workspace offers on its own port. The VVT and the gearbox workspaces
// each derive from it; the service dialogs reach a controller only through the link of the
// workspace that opened them.
class WorkspaceLink
{
public:
    explicit WorkspaceLink(ComPort& port) : port_(port) {}
    virtual ~WorkspaceLink() = default;
    WorkspaceLink(const WorkspaceLink&) = delete;
    WorkspaceLink& operator=(const WorkspaceLink&) = delete;

    // Writes the text unchanged if the port is open; otherwise nothing happens.
    void ComOutput(const QString& outputString);

    // Sends the command and waits, in 1 ms steps up to 1000 steps, until the wait text (by
    // default CR LF "*") appears anywhere in RxBuffer. Returns the responseLen characters
    // after the echoed command line and its LF, "Error" after "ECU not responding", or an
    // empty text when the port is closed.
    QString GetECUString(const QString& command, const QString& waitString, int responseLen);
    // The answer of GetECUString as a hexadecimal number; -1 when the controller did not answer.
    qint64 GetECUValue(const QString& command, const QString& waitString, int responseLen);

    // Sends one record line of an upload. False when the controller answered a line with
    // "Error" (the escape character then abandons the upload in the controller).
    bool WriteLine(const QString& s3line);

    // The value as hexadecimal digits, at least width of them, then the command and CR; waits
    // for the prompt and reconnects when it does not come.
    void SendValue(double value, const QString& command, int width);

    // The text that ends every reply of the controller.
    virtual QString Prompt() const { return QStringLiteral("*"); }
    // False pauses live polling once the exchange in progress is over, True resumes it; both
    // empty RxBuffer.
    virtual void SyncWithRPMTimer(bool timerState) = 0;
    // The lost-connection handling: close the port, show "Lost connection", reconnect.
    virtual void ReInitConnection() = 0;

    ComPort& port() { return port_; }

private:
    ComPort& port_;
};

// The links of the open workspaces by window name ("Changadv", "GearboxControl"), so that a
// service dialog told its host's name reaches that host. A workspace registers its link while
// it exists.
void registerWorkspaceLink(const QString& windowName, WorkspaceLink* link);
void unregisterWorkspaceLink(const QString& windowName, const WorkspaceLink* link);
WorkspaceLink* workspaceLink(const QString& windowName);

} // namespace vx
