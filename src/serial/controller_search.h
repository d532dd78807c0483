#pragma once

#include "serial/port_probe.h"

#include <QString>

namespace vx {

class ComPort;

// What the port search shows and asks of the dialog that runs it.
class SearchView
{
public:
    virtual ~SearchView() = default;
    virtual void setProgressText(const QString& text) = 0;
    virtual void appendProgressText(const QString& text) = 0;
    virtual void setFindButton(const QString& caption, bool enabled) = 0;
    virtual void setPortText(const QString& text) = 0;
    // False once the dialog was closed: the search then stops at its next step.
    virtual bool dialogOpen() const = 0;
};

// Searches every available port for a controller: wakes it with the escape character, asks its
// firmware version and checks that it answers a gear query. On success ComPortNumber is the
// port where it answered. Runs to its end, yielding to the event loop while it waits.
class ControllerSearch
{
public:
    ControllerSearch(ComPort& port, PortProbe& probe, SearchView& view);

    void run();
    bool searchedBefore() const { return searchedBefore_; }

private:
    enum class Outcome { Found, NotHere, Stopped };
    Outcome tryPort(int n);
    // Waits up to the step limit while the condition is false; false when the limit was reached.
    template <typename Condition> bool waitSteps(Condition condition, bool& stopped);

    ComPort& port_;
    PortProbe& probe_;
    SearchView& view_;
    bool searchedBefore_ = false;
};

} // namespace vx
