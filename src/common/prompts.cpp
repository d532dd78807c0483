#include "common/prompts.h"

#include "common/qt_prompts.h"

namespace vx {

namespace {
Prompts* g_installed = nullptr;

Prompts& qtPrompts()
{
    static QtPrompts instance;
    return instance;
}
} // namespace

Prompts& prompts() { return g_installed ? *g_installed : qtPrompts(); }

void installPrompts(Prompts* replacement) { g_installed = replacement; }

Answer MsgBox(const QString& text, Buttons buttons, Icon icon, const QString& title,
              std::optional<Answer> defaultButton)
{
    return prompts().message(Message{text, title, buttons, icon, defaultButton});
}

} // namespace vx
