#include "setupdlg/setup_dialog.h"

#include "common/globals.h"
#include "common/prompts.h"
#include "common/trigger_patterns.h"
#include "service/firmware_update.h"
#include "settings/config_settings.h"
#include "settings/window_positions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vx {

namespace {

bool g_suppressPortWarning = false;

constexpr int kCylinderCounts[Setup::kCylinderOptions] = {4, 6, 8, 12};

int cylinderOption(int count)
{
    for (int i = 0; i < Setup::kCylinderOptions; ++i) {
        if (kCylinderCounts[i] == count)
            return i;
    }
    return -1;
}

QString portText(int n) { return QStringLiteral("COM%1").arg(n); }

} // namespace

void Setup::SetNoErrorMsg(bool value) { g_suppressPortWarning = value; }

Setup::Setup(QWidget* parent) : QDialog(parent), SetupCom(QStringLiteral("SetupCom"), this)
{
    setObjectName(QStringLiteral("Setup"));
    setWindowTitle(QStringLiteral("Program Setup"));

    auto* general = new QGroupBox(QStringLiteral("General"), this);
    DebugComms = new QCheckBox(QStringLiteral("Debug Window"), general);
    DebugComms->setObjectName(QStringLiteral("DebugComms"));
    UseEcuSettiings = new QCheckBox(QStringLiteral("Read program settings from GCU on connect"), general);
    UseEcuSettiings->setObjectName(QStringLiteral("UseEcuSettiings"));
    auto* generalLayout = new QVBoxLayout(general);
    generalLayout->addWidget(DebugComms);
    generalLayout->addWidget(UseEcuSettiings);
    generalLayout->addStretch(1);

    auto* system = new QGroupBox(QStringLiteral("System GCU Settings"), this);
    auto* triggerFrame = new QGroupBox(QStringLiteral("Trigger Type"), system);
    TrigTypeCombo = new QComboBox(triggerFrame);
    TrigTypeCombo->setObjectName(QStringLiteral("TrigTypeCombo"));
    auto* triggerLayout = new QVBoxLayout(triggerFrame);
    triggerLayout->addWidget(TrigTypeCombo);
    triggerLayout->addStretch(1);
    Frame4 = new QGroupBox(QStringLiteral("Engine Cylinders"), system);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    auto* cylinderLayout = new QHBoxLayout(Frame4);
    for (int i = 0; i < kCylinderOptions; ++i) {
        Cylinders[i] = new QRadioButton(QString::number(kCylinderCounts[i]), Frame4);
        Cylinders[i]->setObjectName(QStringLiteral("Cylinders_%1").arg(i));
        cylinderLayout->addWidget(Cylinders[i]);
        connect(Cylinders[i], &QRadioButton::clicked, this, [this, i] { Cylinders_Click(i); });
    }
    auto* systemLayout = new QHBoxLayout(system);
    systemLayout->addWidget(triggerFrame, 1);
    systemLayout->addWidget(Frame4);

    auto* program = new QGroupBox(QStringLiteral("Program Settings"), this);
    auto* portFrame = new QGroupBox(QStringLiteral("GCU COM Port Connection"), program);
    Combo1 = new QComboBox(portFrame);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    FindECU = new QPushButton(QStringLiteral("Find GCU"), portFrame);
    FindECU->setObjectName(QStringLiteral("FindECU"));
    ComFindTxt = new QPlainTextEdit(portFrame);
    ComFindTxt->setObjectName(QStringLiteral("ComFindTxt"));
    ComFindTxt->setReadOnly(true);
    ComFindTxt->setMinimumHeight(110);
    auto* portLayout = new QGridLayout(portFrame);
    portLayout->addWidget(Combo1, 0, 0);
    portLayout->addWidget(FindECU, 0, 1);
    portLayout->addWidget(ComFindTxt, 1, 0, 1, 2);
    auto* programLayout = new QVBoxLayout(program);
    programLayout->addWidget(portFrame);

    FirmwareUpgrade = new QPushButton(QStringLiteral("Firmare Upgrade"), this);
    FirmwareUpgrade->setObjectName(QStringLiteral("FirmwareUpgrade"));
    SetupExit = new QPushButton(QStringLiteral("Exit"), this);
    SetupExit->setObjectName(QStringLiteral("SetupExit"));
    SetupExit->setAutoDefault(false);
    FindECU->setAutoDefault(false);
    FirmwareUpgrade->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(general, 1);
    top->addWidget(system, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(FirmwareUpgrade);
    bottom->addStretch(1);
    bottom->addWidget(SetupExit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(program, 1);
    layout->addLayout(bottom);

    connect(DebugComms, &QCheckBox::clicked, this, [this] { G.DisplayDebug = DebugComms->isChecked(); });
    connect(UseEcuSettiings, &QCheckBox::clicked, this,
            [this] { G.ProgSettingsFromECU = UseEcuSettiings->isChecked() ? 1 : 0; });
    connect(TrigTypeCombo, &QComboBox::activated, this, &Setup::TrigTypeCombo_Click);
    connect(Combo1, &QComboBox::activated, this, &Setup::Combo1_LostFocus);
    connect(Combo1->lineEdit(), &QLineEdit::editingFinished, this, &Setup::Combo1_LostFocus);
    connect(FindECU, &QPushButton::clicked, this, &Setup::FindECU_Click);
    connect(FirmwareUpgrade, &QPushButton::clicked, this, &Setup::FirmwareUpgrade_Click);
    connect(SetupExit, &QPushButton::clicked, this, &Setup::SetupExit_Click);

    search_ = std::make_unique<ControllerSearch>(SetupCom, PortAvailable, static_cast<SearchView&>(*this));
}

Setup::~Setup() = default;

void Setup::load()
{
    loading_ = true;
    RestoreWindowPosition(*this, places::setup());
    SetupActive = true;

    const int option = cylinderOption(G.CylinderCount);
    if (option >= 0)
        Cylinders[option]->setChecked(true);

    PortAvailable = FindComPorts(SetupCom);
    Combo1->clear();
    for (int n = 1; n <= kPortCount; ++n) {
        if (PortAvailable.isAvailable(n))
            Combo1->addItem(portText(n));
    }
    if (!PortAvailable.isAvailable(G.ComPortNumber)) {
        if (!g_suppressPortWarning)
            MsgBox(portUnavailableText(G.ComPortNumber, PortAvailable.reasonFor(G.ComPortNumber)),
                   Buttons::Ok, Icon::Exclamation, QStringLiteral("Warning"));
        Combo1->addItem(portText(G.ComPortNumber));
    }
    g_suppressPortWarning = false;
    Combo1->setCurrentText(portText(G.ComPortNumber));

    TrigTypeCombo->clear();
    TrigTypeCombo->addItems(trigger::setupNames());
    if (G.TriggerType >= 0 && G.TriggerType < trigger::kCount)
        TrigTypeCombo->setCurrentIndex(G.TriggerType);
    applyTriggerType(G.TriggerType);

    DebugComms->setChecked(G.DisplayDebug);
    UseEcuSettiings->setChecked(G.ProgSettingsFromECU == 1);
    loading_ = false;
}

void Setup::showModal(QWidget* parent)
{
    Setup dialog(parent);
    dialog.load();
    dialog.exec();
}

void Setup::applyTriggerType(int index)
{
    G.TriggerType = index;
    const bool revCounter = index == trigger::kRevCounter;
    Frame4->setEnabled(revCounter);
    for (QRadioButton* option : Cylinders)
        option->setEnabled(revCounter);
}

void Setup::TrigTypeCombo_Click()
{
    const int index = trigger::setupNames().indexOf(TrigTypeCombo->currentText());
    // A text that names no pattern leaves the pattern as it is.
    if (index >= 0)
        applyTriggerType(index);
}

void Setup::Combo1_LostFocus()
{
    const QString text = Combo1->currentText().trimmed();
    bool ok = false;
    const int number = text.mid(3).toInt(&ok);
    if (ok && number >= 1 && number <= kPortCount)
        G.ComPortNumber = number;
}

void Setup::Cylinders_Click(int index) { G.CylinderCount = kCylinderCounts[index]; }

void Setup::FindECU_Click()
{
    if (!FindECU->isEnabled())
        return;
    // The update would take over SetupCom while the search has it open on the port it tries.
    FirmwareUpgrade->setEnabled(false);
    search_->run();
    FirmwareUpgrade->setEnabled(true);
}

void Setup::FirmwareUpgrade_Click()
{
    if (!FirmwareUpgrade->isEnabled())
        return;
    Combo1_LostFocus();
    if (!PortAvailable.isAvailable(G.ComPortNumber)) {
        MsgBox(portUnavailableText(G.ComPortNumber, PortAvailable.reasonFor(G.ComPortNumber)),
               Buttons::Ok, Icon::Exclamation, QStringLiteral("Warning"));
        return;
    }
    openFirmwareUpdate();
    SetupCom.close();
}

void Setup::openFirmwareUpdate() { showFirmwareUpdate(this, SetupCom); }

void Setup::SetupExit_Click()
{
    SetupActive = false;
    close();
}

void Setup::done(int result)
{
    if (!closed_) {
        closed_ = true;
        SetupActive = false;
        Combo1_LostFocus();
        SaveConfigSettings();
        SaveWindowPosition(*this, places::setup());
    }
    QDialog::done(result);
}

void Setup::setProgressText(const QString& text)
{
    findText_ = text;
    ComFindTxt->setPlainText(findText_);
}

void Setup::appendProgressText(const QString& text)
{
    findText_ += text;
    QString shown = findText_;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    ComFindTxt->setPlainText(shown);
}

void Setup::setFindButton(const QString& caption, bool enabled)
{
    FindECU->setText(caption);
    FindECU->setEnabled(enabled);
}

void Setup::setPortText(const QString& text) { Combo1->setCurrentText(text); }

} // namespace vx
