#pragma once

#include "common/app_info.h"

#include <QString>

#include <optional>

namespace vx {

enum class Buttons { Ok, OkCancel, RetryCancel, YesNo, YesNoCancel };
enum class Icon { None, Critical, Question, Exclamation, Information };
enum class Answer { Ok, Cancel, Retry, Yes, No };

struct Message
{
    QString text;
    QString title;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    std::optional<Answer> defaultButton; // the first button when not given
};

struct FileRequest
{
    QString initialPath;   // folder and file name or pattern, as the dialog starts
    QString filter;        // Qt filter text, e.g. "Text (*.txt)"
    QString defaultSuffix; // without the dot; empty for none
};

// Every message box and file dialog of the program goes through this interface, so that the
// windows show real dialogs and the tests answer them from a script.
class Prompts
{
public:
    virtual ~Prompts() = default;
    virtual Answer message(const Message& message) = 0;
    // The chosen file's full path, or nothing when the user cancelled.
    virtual std::optional<QString> openFile(const FileRequest& request) = 0;
    virtual std::optional<QString> saveFile(const FileRequest& request) = 0;
    virtual void beep() = 0;
};

Prompts& prompts();
// Installs another implementation (the caller keeps ownership); nullptr restores the dialogs.
void installPrompts(Prompts* replacement);

// A message box. Without a title the box carries the program's own title.
Answer MsgBox(const QString& text, Buttons buttons = Buttons::Ok, Icon icon = Icon::None,
              const QString& title = kProgramTitle,
              std::optional<Answer> defaultButton = std::nullopt);

} // namespace vx
