#pragma once

#include "common/prompts.h"

#include <QList>
#include <QQueue>
#include <QStringList>

#include <functional>
#include <optional>

namespace vx::test {

// Answers the program's message boxes and file dialogs from a script and records them, so that
// a test can check every message by its exact text, title, buttons and icon.
class ScriptedPrompts final : public Prompts
{
public:
    ScriptedPrompts();
    ~ScriptedPrompts() override;

    // The answers of the next message boxes, in order. A box with nothing queued gets its
    // default button and is counted as unexpected.
    void answer(Answer next) { answers_.enqueue(next); }
    // The result of the next file dialogs; nothing means the user cancelled.
    void chooseFile(std::optional<QString> path) { files_.enqueue(path); }

    QList<Message> messages;
    QList<FileRequest> fileRequests;
    int beeps = 0;
    int unexpected = 0;

    QStringList texts() const;
    void clear();

    // Runs while a box is up, before it is answered: what the user does meanwhile.
    std::function<void(const Message&)> whileShown;

    Answer message(const Message& message) override;
    std::optional<QString> openFile(const FileRequest& request) override;
    std::optional<QString> saveFile(const FileRequest& request) override;
    void beep() override { ++beeps; }

private:
    std::optional<QString> nextFile(const FileRequest& request);

    QQueue<Answer> answers_;
    QQueue<std::optional<QString>> files_;
};

// A readable form of a message for failure output.
QString describe(const Message& message);

} // namespace vx::test
