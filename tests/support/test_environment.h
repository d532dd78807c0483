#pragma once

#include "scripted_prompts.h"

#include <QTemporaryDir>

#include <memory>

namespace vx::test {

// A clean program state for one test: its own home folder and settings store, no real serial
// devices, scripted dialogs and freshly reset globals. Create one in init() and drop it in
// cleanup().
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();

    QString home() const { return home_.path(); }
    // A file path inside the test's own folder.
    QString path(const QString& name) const { return home_.filePath(name); }

    ScriptedPrompts prompts;

private:
    QTemporaryDir home_;
};

// Writes a text file (Latin-1) and returns its path.
QString writeFile(const QString& path, const QByteArray& content);
QByteArray readFile(const QString& path);

} // namespace vx::test
