#include "common/globals.h"
#include "common/named_button.h"
#include "gearbox/gearbox_control.h"
#include "gearbox/indicator_light.h"
#include "serial/command_table.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vx {

using gearbox::IndicatorLight;

namespace {

QGroupBox* group(const QString& name, const QString& title, QWidget* parent)
{
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(name);
    return box;
}

QLabel* display(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("00000000")));
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    return label;
}

const QStringList kGearNames{
    QStringLiteral("Neutral"), QStringLiteral("1st"), QStringLiteral("2nd"), QStringLiteral("3rd"),
    QStringLiteral("4th"),     QStringLiteral("5th"), QStringLiteral("6th"), QStringLiteral("7th"),
    QStringLiteral("8th"),     QStringLiteral("9th")};

} // namespace

QLabel* GearboxControl::caption(const QString& name, const QString& text)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    return label;
}

QLineEdit* GearboxControl::numberBox(const QString& control)
{
    const int index = gearbox::numberParameterIndex(control).value_or(0);
    auto* box = new QLineEdit(this);
    box->setObjectName(control);
    box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    box->setAlignment(Qt::AlignRight);
    box->installEventFilter(this);
    numberBoxes_[static_cast<size_t>(index)] = box;
    return box;
}

// A box row of a form: its caption, the box, its unit and its "Set" button when it has one.
static void addBoxRow(QGridLayout* grid, int row, QLabel* label, QLineEdit* box,
                      const QString& unit, QPushButton* set = nullptr)
{
    grid->addWidget(label, row, 0);
    grid->addWidget(box, row, 1);
    if (!unit.isEmpty())
        grid->addWidget(new QLabel(unit, box->parentWidget()), row, 2);
    if (set)
        grid->addWidget(set, row, 3);
}

void GearboxControl::buildWindow()
{
    auto* columns = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    left->addWidget(buildStatusGroup());
    left->addWidget(buildOperateGroup());
    left->addWidget(buildTestModeGroup());
    left->addStretch();
    auto* middle = new QVBoxLayout;
    middle->addWidget(buildGeneralGroup());
    middle->addWidget(buildRamGroup());
    middle->addWidget(buildThrottleGroup());
    middle->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(buildBarrelGroup());
    right->addStretch();
    GearboxExit = namedButton(QStringLiteral("GearboxExit"), QStringLiteral("Exit"), this);
    right->addWidget(GearboxExit, 0, Qt::AlignRight);
    columns->addLayout(left);
    columns->addLayout(middle);
    columns->addLayout(right);
}

QWidget* GearboxControl::buildStatusGroup()
{
    QGroupBox* box =
        group(QStringLiteral("StatusFrame"), QStringLiteral("Gear Controler Status"), this);
    auto* grid = new QGridLayout(box);
    Status = display(QStringLiteral("Status"), box);
    Status->setMinimumWidth(
        Status->fontMetrics().horizontalAdvance(QStringLiteral("Reconnecting...")) + 8);
    CurrRPM = display(QStringLiteral("CurrRPM"), box);
    CurrThrotPos = display(QStringLiteral("CurrThrotPos"), box);
    CurrSyncErrors = display(QStringLiteral("CurrSyncErrors"), box);
    CurrSyncErrors->setToolTip(QStringLiteral("Click to reset the count"));
    CurrSyncErrors->installEventFilter(this);
    BarrelSensor = display(QStringLiteral("BarrelSensor"), box);
    RamSensor = display(QStringLiteral("RamSensor"), box);
    GearPosition = display(QStringLiteral("GearPosition"), box);
    LastShiftTime = display(QStringLiteral("LastShiftTime"), box);
    CurrAirPress = display(QStringLiteral("CurrAirPress"), box);
    Label2 = caption(QStringLiteral("Label2"), QStringLiteral("Barrel Sensor:"));
    Label4 = caption(QStringLiteral("Label4"), QStringLiteral("Ram Sensor:"));
    const struct
    {
        QLabel* label;
        QLabel* value;
        const char* unit;
    } rows[] = {
        {caption(QStringLiteral("StatusLabel"), QStringLiteral("Status:")), Status, ""},
        {caption(QStringLiteral("RPMLabel"), QStringLiteral("RPM:")), CurrRPM, ""},
        {caption(QStringLiteral("ThrottleLabel"), QStringLiteral("Throttle:")), CurrThrotPos, ""},
        {caption(QStringLiteral("SyncErrorsLabel"), QStringLiteral("Sync Errors:")), CurrSyncErrors,
         ""},
        {Label2, BarrelSensor, ""},
        {Label4, RamSensor, ""},
        {caption(QStringLiteral("GearPositionLabel"), QStringLiteral("Gear Position:")),
         GearPosition, ""},
        {caption(QStringLiteral("ShiftTimeLabel"), QStringLiteral("Shift Time:")), LastShiftTime,
         "mS"},
        {caption(QStringLiteral("PressureLabel"), QStringLiteral("Pressure:")), CurrAirPress,
         "psi"},
    };
    int row = 0;
    for (const auto& r : rows) {
        grid->addWidget(r.label, row, 0);
        grid->addWidget(r.value, row, 1);
        if (*r.unit)
            grid->addWidget(new QLabel(QLatin1String(r.unit), box), row, 2);
        ++row;
    }
    return box;
}

QWidget* GearboxControl::buildOperateGroup()
{
    OperateGearbox =
        group(QStringLiteral("OperateGearbox"), QStringLiteral("Operate Gearbox"), this);
    auto* grid = new QGridLayout(OperateGearbox);
    TestUpshift =
        namedButton(QStringLiteral("TestUpshift"), QStringLiteral("UpShift"), OperateGearbox);
    TestDownshift =
        namedButton(QStringLiteral("TestDownshift"), QStringLiteral("DownShift"), OperateGearbox);
    TestNeutralShift =
        namedButton(QStringLiteral("TestNeutralShift"), QStringLiteral("Neutral"), OperateGearbox);
    ResetGearbox = namedButton(QStringLiteral("ResetGearbox"), QStringLiteral("Reset Controller"),
                              OperateGearbox);
    UpShiftLight = new IndicatorLight(QStringLiteral("UpShiftLight"), OperateGearbox);
    DownShiftLight = new IndicatorLight(QStringLiteral("DownShiftLight"), OperateGearbox);
    NeutralLight = new IndicatorLight(QStringLiteral("NeutralLight"), OperateGearbox);
    BrakePedal = new IndicatorLight(QStringLiteral("BrakePedal"), OperateGearbox);
    ManualMode = new IndicatorLight(QStringLiteral("ManualMode"), OperateGearbox);
    Label52 = new QLabel(QStringLiteral("Manual Mode"), OperateGearbox);
    Label52->setObjectName(QStringLiteral("Label52"));
    grid->addWidget(TestUpshift, 0, 0);
    grid->addWidget(UpShiftLight, 0, 1);
    grid->addWidget(TestDownshift, 1, 0);
    grid->addWidget(DownShiftLight, 1, 1);
    grid->addWidget(TestNeutralShift, 2, 0);
    grid->addWidget(NeutralLight, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Brake Pedal"), OperateGearbox), 0, 2);
    grid->addWidget(BrakePedal, 0, 3);
    grid->addWidget(Label52, 1, 2);
    grid->addWidget(ManualMode, 1, 3);
    grid->addWidget(ResetGearbox, 3, 0, 1, 4);
    return OperateGearbox;
}

QWidget* GearboxControl::buildTestModeGroup()
{
    QGroupBox* box = group(QStringLiteral("TestModeFrame"), QStringLiteral("Test Mode"), this);
    auto* grid = new QGridLayout(box);
    EnableDisable = namedButton(QStringLiteral("EnableDisable"), QStringLiteral("Enable"), box);
    grid->addWidget(EnableDisable, 0, 0, 1, 4);
    int i = 0;
    for (const gearbox::TestOutput& output : gearbox::testOutputs()) {
        QPushButton* b =
            namedButton(QLatin1String(output.control), QLatin1String(output.caption), box);
        outputButtons_.insert(QLatin1String(output.control), b);
        const int row = 1 + i / 2;
        const int column = (i % 2) * 2;
        grid->addWidget(b, row, column);
        if (*output.light) {
            auto* lamp = new IndicatorLight(QLatin1String(output.light), box);
            outputLights_.insert(QLatin1String(output.light), lamp);
            grid->addWidget(lamp, row, column + 1);
        }
        ++i;
    }
    return box;
}

QWidget* GearboxControl::buildGeneralGroup()
{
    QGroupBox* box = group(QStringLiteral("GeneralFrame"), QStringLiteral("General"), this);
    auto* layout = new QGridLayout(box);
    SwapPaddles = new QCheckBox(QStringLiteral("Swap paddles"), box);
    SwapPaddles->setObjectName(QStringLiteral("SwapPaddles"));
    BrakeFromNeutral = new QCheckBox(QStringLiteral("Brake from Neutral"), box);
    BrakeFromNeutral->setObjectName(QStringLiteral("BrakeFromNeutral"));
    OpenFile = namedButton(QStringLiteral("OpenFile"), QStringLiteral("Read from File"), box);
    SaveFile = namedButton(QStringLiteral("SaveFile"), QStringLiteral("Save to File"), box);
    DataLogger = namedButton(QStringLiteral("DataLogger"), QStringLiteral("Data Logger"), box);
    layout->addWidget(SwapPaddles, 0, 0);
    layout->addWidget(BrakeFromNeutral, 1, 0);
    layout->addWidget(OpenFile, 0, 1);
    layout->addWidget(SaveFile, 1, 1);
    layout->addWidget(DataLogger, 2, 1);

    QGroupBox* compressor =
        group(QStringLiteral("CompressorFrame"), QStringLiteral("Compressor Control"), box);
    auto* grid = new QGridLayout(compressor);
    for (const char* name : {"OnPressure", "OffPressure"}) {
        const gearbox::NumberParameter& p = gearbox::numberParameter(QLatin1String(name));
        const int row = grid->rowCount();
        addBoxRow(grid, row,
                  caption(QLatin1String(name) + QStringLiteral("Label"), QLatin1String(p.caption)),
                  numberBox(QLatin1String(name)), QLatin1String(p.unit));
    }
    Calibrate = namedButton(QStringLiteral("Calibrate"), QStringLiteral("Calibrate"), compressor);
    grid->addWidget(Calibrate, 0, 3, 2, 1);
    layout->addWidget(compressor, 3, 0, 1, 2);
    return box;
}

QWidget* GearboxControl::buildRamGroup()
{
    QGroupBox* box =
        group(QStringLiteral("RamFrame"), QStringLiteral("Ram Position Configuration"), this);
    auto* layout = new QGridLayout(box);
    Label14 = caption(QStringLiteral("Label14"), QStringLiteral("Ram Window"));
    addBoxRow(layout, 0, Label14, numberBox(QStringLiteral("RamWindow")), QString());
    addBoxRow(
        layout, 1,
        caption(QStringLiteral("PercentEngagedLabel"), QStringLiteral("Pecentage Engagement")),
        numberBox(QStringLiteral("PercentEngaged")), QStringLiteral("%"));

    const auto shiftGroup = [this, box](const QString& name, const QString& title,
                                        std::initializer_list<const char*> controls) {
        QGroupBox* frame = group(name, title, box);
        auto* grid = new QGridLayout(frame);
        int row = 0;
        for (const char* control : controls) {
            const gearbox::NumberParameter& p = gearbox::numberParameter(QLatin1String(control));
            QPushButton* set = nullptr;
            if (*p.setButton) {
                set = namedButton(QLatin1String(p.setButton), QStringLiteral("Set"), frame);
                setButtons_.insert(QLatin1String(control), set);
            }
            addBoxRow(
                grid, row++,
                caption(QLatin1String(control) + QStringLiteral("Label"), QLatin1String(p.caption)),
                numberBox(QLatin1String(control)), QLatin1String(p.unit), set);
        }
        return frame;
    };
    Frame6 = shiftGroup(QStringLiteral("Frame6"), QStringLiteral("Upshift"),
                        {"UpshiftTimeout", "FullyEngagedUpshift", "Dog2DogUpshift", "PlayUpshift"});
    Frame7 = shiftGroup(
        QStringLiteral("Frame7"), QStringLiteral("Downshift"),
        {"DownshiftTimeout", "FullyEngagedDownshift", "Dog2DogDownshift", "PlayDownshift"});
    layout->addWidget(Frame6, 2, 0, 1, 4);
    layout->addWidget(Frame7, 3, 0, 1, 4);

    QGroupBox* neutral =
        group(QStringLiteral("NeutralFrame"), QStringLiteral("Neutral Pulsing Settings"), box);
    auto* grid = new QGridLayout(neutral);
    grid->addWidget(new QLabel(QStringLiteral("Up"), neutral), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Down"), neutral), 0, 2);
    grid->addWidget(caption(QStringLiteral("NeutralOnLabel"), QStringLiteral("Ram On Pulse Width")),
                    1, 0);
    grid->addWidget(numberBox(QStringLiteral("NeutralNudgeUpOnPulse")), 1, 1);
    grid->addWidget(numberBox(QStringLiteral("NeutralNudgeDownOnPulse")), 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("mS"), neutral), 1, 3);
    grid->addWidget(
        caption(QStringLiteral("NeutralOffLabel"), QStringLiteral("Ram Off Pulse Width")), 2, 0);
    grid->addWidget(numberBox(QStringLiteral("NeutralNudgeUpOffPulse")), 2, 1);
    grid->addWidget(numberBox(QStringLiteral("NeutralNudgeDownOffPulse")), 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("mS"), neutral), 2, 3);
    layout->addWidget(neutral, 4, 0, 1, 4);
    return box;
}

QWidget* GearboxControl::buildThrottleGroup()
{
    QGroupBox* box = group(QStringLiteral("ThrottleFrame"),
                           QStringLiteral("Throttle Blip/Rev Limit/Wait Disengage"), this);
    auto* grid = new QGridLayout(box);
    int row = 0;
    for (const char* control :
         {"WaitDisengage", "MaxThrotBlip", "MinBlipRPM", "ThrotBlipTime", "Dog2DogPulse"}) {
        const gearbox::NumberParameter& p = gearbox::numberParameter(QLatin1String(control));
        addBoxRow(
            grid, row++,
            caption(QLatin1String(control) + QStringLiteral("Label"), QLatin1String(p.caption)),
            numberBox(QLatin1String(control)), QLatin1String(p.unit));
    }
    ThrotCal = namedButton(QStringLiteral("ThrotCal"), QStringLiteral("Throttle"), box);
    grid->addWidget(ThrotCal, row, 0);
    return box;
}

QWidget* GearboxControl::buildBarrelGroup()
{
    BarrelFrame =
        group(QStringLiteral("BarrelFrame"), QStringLiteral("Barrel Position Configuration"), this);
    auto* layout = new QVBoxLayout(BarrelFrame);
    auto* top = new QGridLayout;
    MaxGearsLabel = caption(QStringLiteral("MaxGearsLabel"), QStringLiteral("Maximum Gears"));
    addBoxRow(top, 0, MaxGearsLabel, numberBox(QStringLiteral("MaxGears")), QString());
    Label21 = caption(QStringLiteral("Label21"), QStringLiteral("Barrel Window"));
    addBoxRow(top, 1, Label21, numberBox(QStringLiteral("BarrelWindow")), QString());
    addBoxRow(top, 2,
              caption(QStringLiteral("MaxDownRPMLabel"), QStringLiteral("Max Downshift RPM")),
              numberBox(QStringLiteral("MaxDownRPM")), QString());
    layout->addLayout(top);

    auto* rows = new QGridLayout;
    LeftRight = caption(QStringLiteral("LeftRight"), QStringLiteral("L/R"));
    ForwardBarckward = caption(QStringLiteral("ForwardBarckward"), QStringLiteral("F/B"));
    rows->addWidget(LeftRight, 0, 1);
    rows->addWidget(ForwardBarckward, 0, 2);
    for (int i = 0; i < gearbox::kGearRows; ++i) {
        QLabel* label = nullptr;
        if (i < gearbox::kReverseRow) {
            label = caption(QStringLiteral("GearLabel_%1").arg(i), kGearNames.at(i));
            GearLabel[static_cast<size_t>(i)] = label;
        } else {
            Label18 = caption(QStringLiteral("Label18"), QStringLiteral("Reverse"));
            label = Label18;
        }
        const auto rowBox = [this](const QString& name) {
            auto* box = new QLineEdit(this);
            box->setObjectName(name);
            box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("00000")) +
                                 12);
            box->setAlignment(Qt::AlignRight);
            box->installEventFilter(this);
            return box;
        };
        BarrelGear[static_cast<size_t>(i)] = rowBox(QStringLiteral("BarrelGear_%1").arg(i));
        RamGear[static_cast<size_t>(i)] = rowBox(QStringLiteral("RamGear_%1").arg(i));
        SetGear[static_cast<size_t>(i)] =
            namedButton(QStringLiteral("SetGear_%1").arg(i), QStringLiteral("Set"), this);
        rows->addWidget(label, i + 1, 0);
        rows->addWidget(BarrelGear[static_cast<size_t>(i)], i + 1, 1);
        rows->addWidget(RamGear[static_cast<size_t>(i)], i + 1, 2);
        rows->addWidget(SetGear[static_cast<size_t>(i)], i + 1, 3);
    }
    layout->addLayout(rows);
    GearPattern =
        namedButton(QStringLiteral("GearPattern"), QStringLiteral("Gear Pattern"), BarrelFrame);
    layout->addWidget(GearPattern, 0, Qt::AlignLeft);

    QGroupBox* autoShift =
        group(QStringLiteral("AutoShiftFrame"), QStringLiteral("Autoshift Settings"), BarrelFrame);
    auto* autoGrid = new QGridLayout(autoShift);
    AutoShiftOption = new QComboBox(autoShift);
    AutoShiftOption->setObjectName(QStringLiteral("AutoShiftOption"));
    AutoShiftOption->installEventFilter(this);
    autoGrid->addWidget(caption(QStringLiteral("AutoShiftLabel"), QStringLiteral("Mode")), 0, 0);
    autoGrid->addWidget(AutoShiftOption, 0, 1, 1, 2);
    addBoxRow(autoGrid, 1,
              caption(QStringLiteral("MaxAutoUpshiftLabel"), QStringLiteral("Auto Upshift RPM")),
              numberBox(QStringLiteral("MaxAutoUpshift")), QString());
    layout->addWidget(autoShift);

    QGroupBox* match = group(QStringLiteral("RPMMatchFrame"),
                             QStringLiteral("Upshift RPM Match Mode"), BarrelFrame);
    auto* matchGrid = new QGridLayout(match);
    RPMMatchMode = new QCheckBox(QStringLiteral("Enable"), match);
    RPMMatchMode->setObjectName(QStringLiteral("RPMMatchMode"));
    matchGrid->addWidget(RPMMatchMode, 0, 0, 1, 3);
    addBoxRow(matchGrid, 1,
              caption(QStringLiteral("RPMMatchPercentLabel"), QStringLiteral("Percentage Match:")),
              numberBox(QStringLiteral("RPMMatchPercent")), QStringLiteral("%"));
    layout->addWidget(match);
    return BarrelFrame;
}

void GearboxControl::connectControls()
{
    connect(GearboxExit, &QPushButton::clicked, this, &GearboxControl::GearboxExit_Click);
    connect(OpenFile, &QPushButton::clicked, this, &GearboxControl::OpenFile_Click);
    connect(SaveFile, &QPushButton::clicked, this, &GearboxControl::SaveFile_Click);
    connect(GearPattern, &QPushButton::clicked, this, &GearboxControl::GearPattern_Click);
    connect(ThrotCal, &QPushButton::clicked, this, &GearboxControl::ThrotCal_Click);
    connect(Calibrate, &QPushButton::clicked, this, &GearboxControl::Calibrate_Click);
    connect(DataLogger, &QPushButton::clicked, this, &GearboxControl::DataLogger_Click);
    connect(EnableDisable, &QPushButton::clicked, this, &GearboxControl::EnableDisable_Click);
    connect(TestUpshift, &QPushButton::clicked, this, [this] { operateButton(cmd::ps); });
    connect(TestDownshift, &QPushButton::clicked, this, [this] { operateButton(cmd::ws); });
    connect(TestNeutralShift, &QPushButton::clicked, this, [this] { operateButton(cmd::ns); });
    connect(ResetGearbox, &QPushButton::clicked, this, [this] { operateButton(cmd::re); });
    for (const gearbox::TestOutput& output : gearbox::testOutputs()) {
        connect(outputButtons_.value(QLatin1String(output.control)), &QPushButton::clicked, this,
                [this, &output] { outputButton(output); });
    }
    for (auto it = setButtons_.cbegin(); it != setButtons_.cend(); ++it) {
        const gearbox::NumberParameter& p = gearbox::numberParameter(it.key());
        connect(it.value(), &QPushButton::clicked, this, [this, &p] { SetRamPosition_Click(p); });
    }
    for (int i = 0; i < gearbox::kGearRows; ++i)
        connect(SetGear[static_cast<size_t>(i)], &QPushButton::clicked, this,
                [this, i] { SetGear_Click(i); });
    connect(SwapPaddles, &QCheckBox::clicked, this,
            [this] { switchClicked(SwapPaddles, G.PaddlesSwapped, cmd::wp); });
    connect(BrakeFromNeutral, &QCheckBox::clicked, this,
            [this] { switchClicked(BrakeFromNeutral, G.BrakeFromNeutralOn, cmd::bn); });
    connect(RPMMatchMode, &QCheckBox::clicked, this, &GearboxControl::RPMMatchMode_Click);
    connect(AutoShiftOption, qOverload<int>(&QComboBox::activated), this,
            &GearboxControl::AutoShiftOption_Click);
}

IndicatorLight* GearboxControl::light(const QString& name) const
{
    return outputLights_.value(name);
}

QPushButton* GearboxControl::button(const QString& name) const
{
    return outputButtons_.value(name);
}

} // namespace vx
