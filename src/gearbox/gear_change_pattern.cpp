#include "gearbox/gear_change_pattern.h"

#include "common/globals.h"
#include "common/prompts.h"
#include "serial/command_table.h"
#include "serial/reply_wait.h"
#include "serial/workspace_link.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

namespace vx {

namespace {

const char* const kPatternCaptions[GearChangePattern::kPatternCount] = {
    "1--N--2-----3-----4-----5-----6-----7-----8-----9",
    "R-----N-----1-----2-----3-----4-----5-----6-----7-----8-----9",
    "R--N--1-----2-----3-----4-----5-----6-----7-----8-----9",
    "N-----1-----2-----3-----4-----5-----6-----7-----8-----9",
};

} // namespace

GearChangePattern::GearChangePattern(WorkspaceLink& link, QWidget* parent)
    : QDialog(parent), link_(link)
{
    setObjectName(QStringLiteral("GearChangePattern"));
    setWindowTitle(QStringLiteral("Gear Change Pattern Setup"));
    auto* layout = new QVBoxLayout(this);
    Frame1 = new QGroupBox(QStringLiteral("Supported Gear Patterns"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* options = new QVBoxLayout(Frame1);
    for (int i = 0; i < kPatternCount; ++i) {
        auto* option = new QRadioButton(QLatin1String(kPatternCaptions[i]), Frame1);
        option->setObjectName(QStringLiteral("PatternType_%1").arg(i));
        options->addWidget(option);
        PatternType[static_cast<size_t>(i)] = option;
        connect(option, &QRadioButton::clicked, this, [this, i] { PatternType_Click(i); });
    }
    layout->addWidget(Frame1);
    Exit = new QPushButton(QStringLiteral("Exit"), this);
    Exit->setObjectName(QStringLiteral("Exit"));
    Exit->setAutoDefault(false);
    layout->addWidget(Exit, 0, Qt::AlignRight);
    connect(Exit, &QPushButton::clicked, this, &QDialog::accept);
}

void GearChangePattern::load()
{
    PatternType[static_cast<size_t>(G.GearPattern.value_or(0))]->setChecked(true);
    G.RxBuffer.clear();
    link_.ComOutput(Command(cmd::do_) + G.CR);
    if (!WaitForReply(false, QStringLiteral("*"), 0))
        link_.ReInitConnection();
}

void GearChangePattern::PatternType_Click(int index)
{
    if (index == G.GearPattern.value_or(0))
        return;
    if (sending_) {
        // The choice before is still on its way: a second "gp" now would take its reply. The
        // option being sent stays selected.
        prompts().beep();
        PatternType[static_cast<size_t>(G.GearPattern.value_or(0))]->setChecked(true);
        return;
    }
    const QScopedValueRollback<bool> sending(sending_, true);
    G.GearPattern = index;
    link_.SyncWithRPMTimer(false);
    link_.ComOutput(QStringLiteral("0") + QString::number(index, 16).toUpper() + Command(cmd::gp) +
                    G.CR);
    if (!WaitForReply(false, QStringLiteral("*"), 0)) {
        link_.ReInitConnection();
        return;
    }
    link_.SyncWithRPMTimer(true);
}

} // namespace vx
