#pragma once

#include <QString>

namespace vx {

class ComPort;
class WorkspaceLink;

// The workspace a service dialog talks through, looked up by window name at every call: a host
// that has closed meanwhile is simply not there, and without a host every call does nothing
// (reads get nothing back, record lines are not accepted).
class HostLink
{
public:
    explicit HostLink(QString windowName = QString()) : name_(std::move(windowName)) {}

    void setName(const QString& windowName) { name_ = windowName; }
    const QString& name() const { return name_; }

    WorkspaceLink* link() const;
    // The host's port, or nullptr without a host.
    ComPort* port() const;

    void ComOutput(const QString& text) const;
    void SyncWithRPMTimer(bool timerState) const;
    void ReInitConnection() const;
    qint64 GetECUValue(const QString& command, const QString& waitString, int responseLen) const;
    bool WriteLine(const QString& line) const;

private:
    QString name_;
};

} // namespace vx
