#include "service/firmware_update.h"

#include "common/prompts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vx {

FirmwareUpdate::FirmwareUpdate(ComPort& port, QWidget* parent)
    : QDialog(parent), updater_(port, *this)
{
    setObjectName(QStringLiteral("FirmwareUpdate"));
    setWindowTitle(QStringLiteral("Firmware Update"));

    Start = new QPushButton(QStringLiteral("Start"), this);
    Start->setObjectName(QStringLiteral("Start"));
    Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    Cancel->setObjectName(QStringLiteral("Cancel"));
    Start->setAutoDefault(false);
    Cancel->setAutoDefault(false);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setMinimumWidth(fontMetrics().averageCharWidth() * 40);
    Label1 = new QLabel(QStringLiteral("0%"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(QStringLiteral("100%"), this);
    Label2->setObjectName(QStringLiteral("Label2"));

    auto* progress = new QHBoxLayout;
    progress->addWidget(Label1);
    progress->addWidget(ProgressBar1, 1);
    progress->addWidget(Label2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Start);
    buttons->addWidget(Cancel);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(progress);
    layout->addLayout(buttons);

    connect(Start, &QPushButton::clicked, this, &FirmwareUpdate::Start_Click);
    connect(Cancel, &QPushButton::clicked, this, &FirmwareUpdate::Cancel_Click);
}

void FirmwareUpdate::Start_Click()
{
    if (Start->isEnabled())
        updater_.Start();
}

void FirmwareUpdate::Cancel_Click()
{
    if (!Cancel->isEnabled() || updater_.running())
        return;
    MsgBox(QStringLiteral("Firmware update cancelled!"), Buttons::Ok, Icon::Information,
           QStringLiteral("Update cancelled"));
    done(QDialog::Rejected);
}

void FirmwareUpdate::reject()
{
    if (!updater_.running())
        QDialog::reject();
}

void FirmwareUpdate::setStartEnabled(bool enabled)
{
    Start->setEnabled(enabled);
}

void FirmwareUpdate::setCancelEnabled(bool enabled)
{
    Cancel->setEnabled(enabled);
}

void FirmwareUpdate::setProgressMaximum(int lines)
{
    ProgressBar1->setRange(0, std::max(1, lines));
}

void FirmwareUpdate::setProgress(int lines)
{
    ProgressBar1->setValue(lines);
}

void FirmwareUpdate::updateFinished()
{
    done(QDialog::Accepted);
}

void showFirmwareUpdate(QWidget* parent, ComPort& port)
{
    FirmwareUpdate dialog(port, parent);
    dialog.exec();
}

} // namespace vx
