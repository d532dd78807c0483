#pragma once

#include "common/prompts.h"

namespace vx {

// The real dialogs: QMessageBox and QFileDialog over the active window.
class QtPrompts final : public Prompts
{
public:
    Answer message(const Message& message) override;
    std::optional<QString> openFile(const FileRequest& request) override;
    std::optional<QString> saveFile(const FileRequest& request) override;
    void beep() override;
};

} // namespace vx
