#include "scripted_prompts.h"

namespace vx::test {

namespace {

Answer defaultOf(const Message& m)
{
    if (m.defaultButton)
        return *m.defaultButton;
    switch (m.buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel:
        return Answer::Ok;
    case Buttons::RetryCancel:
        return Answer::Retry;
    case Buttons::YesNo:
    case Buttons::YesNoCancel:
        return Answer::Yes;
    }
    return Answer::Ok;
}

const char* buttonsName(Buttons b)
{
    switch (b) {
    case Buttons::Ok:
        return "Ok";
    case Buttons::OkCancel:
        return "OkCancel";
    case Buttons::RetryCancel:
        return "RetryCancel";
    case Buttons::YesNo:
        return "YesNo";
    case Buttons::YesNoCancel:
        return "YesNoCancel";
    }
    return "?";
}

} // namespace

ScriptedPrompts::ScriptedPrompts() { installPrompts(this); }

ScriptedPrompts::~ScriptedPrompts() { installPrompts(nullptr); }

QStringList ScriptedPrompts::texts() const
{
    QStringList all;
    for (const Message& m : messages)
        all << m.text;
    return all;
}

void ScriptedPrompts::clear()
{
    messages.clear();
    fileRequests.clear();
    answers_.clear();
    files_.clear();
    beeps = 0;
    unexpected = 0;
    whileShown = nullptr;
}

Answer ScriptedPrompts::message(const Message& message)
{
    messages << message;
    if (whileShown)
        whileShown(message);
    if (answers_.isEmpty()) {
        ++unexpected;
        return defaultOf(message);
    }
    return answers_.dequeue();
}

std::optional<QString> ScriptedPrompts::nextFile(const FileRequest& request)
{
    fileRequests << request;
    if (files_.isEmpty()) {
        ++unexpected;
        return std::nullopt;
    }
    return files_.dequeue();
}

std::optional<QString> ScriptedPrompts::openFile(const FileRequest& request) { return nextFile(request); }

std::optional<QString> ScriptedPrompts::saveFile(const FileRequest& request) { return nextFile(request); }

QString describe(const Message& m)
{
    return QStringLiteral("[%1 | %2 | icon %3] %4")
        .arg(m.title, QString::fromLatin1(buttonsName(m.buttons)))
        .arg(static_cast<int>(m.icon))
        .arg(m.text);
}

} // namespace vx::test
