#include "common/globals.h"
#include "common/prompts.h"
#include "gearbox/gearbox_control.h"
#include "gearbox/gearbox_link.h"
#include "mapfile/value_file.h"
#include "serial/hex.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

namespace vx {

namespace {

const QString kWarning = QStringLiteral("Warning");
const QString kFilter = QStringLiteral("Gearbox parameters (*.gbx)");
const QString kNotLoaded = QStringLiteral("Gearbox config file not loaded");
constexpr int kMaxTitleLength = 29; // 25 characters and ".gbx"

// The folder the gearbox file dialogs start in; the one last chosen for the rest of the run.
QString& gearboxFolder()
{
    static QString folder;
    if (folder.isEmpty())
        folder = G.MapFolder;
    return folder;
}

QString folderOf(const QString& path)
{
    QString folder = QFileInfo(path).path();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

bool isIllegalName(const QString& title)
{
    static const QString forbidden = QStringLiteral("<>:\"/\\|?*");
    for (const QChar c : title) {
        if (forbidden.contains(c) || c.unicode() < 32)
            return true;
    }
    return title.trimmed().isEmpty();
}

double boxValue(const QLineEdit* box)
{
    return leadingNumber(box->text().trimmed());
}

} // namespace

void GearboxControl::SaveFile_Click()
{
    SaveGearboxFileAs(QStringLiteral("GearboxParams"), true);
}

bool GearboxControl::SaveGearboxFileAs(const QString& defaultName, bool writeNow)
{
    for (;;) {
        const std::optional<QString> chosen =
            prompts().saveFile(FileRequest{gearboxFolder() + defaultName, kFilter, QString()});
        if (!chosen)
            return false;
        QString title = QFileInfo(*chosen).fileName();
        const QString folder = folderOf(*chosen);
        gearboxFolder() = folder;
        if (!title.right(4).toUpper().endsWith(QLatin1String(".GBX"))) {
            if (title.contains(QLatin1Char('.'))) {
                MsgBox(QStringLiteral("Invalid file extention, must be .gbx"), Buttons::Ok,
                       Icon::None, kWarning);
                continue;
            }
            title += QLatin1String(".gbx");
        }
        if (title.size() > kMaxTitleLength) {
            MsgBox(QStringLiteral("Filename too long, maximum of 25 characters"), Buttons::Ok,
                   Icon::None, kWarning);
            continue;
        }
        if (isIllegalName(title)) {
            MsgBox(QStringLiteral("Illegal file name"), Buttons::Ok, Icon::None, kWarning);
            continue;
        }
        const QString path = folder + title;
        if (QFileInfo::exists(path) && writeNow) {
            if (MsgBox(title + QStringLiteral(" already exists, overwrite it?"), Buttons::YesNo,
                       Icon::None, kWarning, Answer::No) != Answer::Yes)
                continue;
        }
        if (writeNow)
            WriteGearboxFile(path);
        return false;
    }
}

gearbox::GearboxValues GearboxControl::currentValues() const
{
    gearbox::GearboxValues values;
    values.insert(QStringLiteral("SwapPaddles"), G.PaddlesSwapped ? 1 : 0);
    values.insert(QStringLiteral("BrakeFromNeutral"), G.BrakeFromNeutralOn ? 1 : 0);
    for (QLineEdit* box : numberBoxes_)
        values.insert(box->objectName(), boxValue(box));
    for (int i = 0; i < gearbox::kGearRows; ++i) {
        values.insert(QStringLiteral("BarrelGear_%1").arg(i),
                      boxValue(BarrelGear[static_cast<size_t>(i)]));
        values.insert(QStringLiteral("RamGear_%1").arg(i),
                      boxValue(RamGear[static_cast<size_t>(i)]));
    }
    values.insert(QStringLiteral("GearPatternCode"), GearPatternCode);
    values.insert(QStringLiteral("RPMMatchMode"), RPMMatchMode->isChecked() ? 1 : 0);
    values.insert(QStringLiteral("AutoShiftOption"),
                  std::min(gearbox::autoShiftIndex(AutoShiftOption->currentText()), 4));
    return values;
}

bool GearboxControl::WriteGearboxFile(const QString& path)
{
    QString error;
    if (gearbox::writeGearboxFile(path, currentValues(), &error))
        return true;
    MsgBox(error, Buttons::Ok, Icon::None, QStringLiteral("Fatal Error"));
    return false;
}

void GearboxControl::OpenFile_Click()
{
    if (refusedWhileBusy())
        return;
    const std::optional<QString> chosen = prompts().openFile(
        FileRequest{gearboxFolder() + QStringLiteral("*.gbx"), kFilter, QString()});
    if (!chosen)
        return;
    gearboxFolder() = folderOf(*chosen);
    if (!ReadGearboxFile(*chosen))
        MsgBox(QStringLiteral("Error loading gearbox config file"), Buttons::Ok, Icon::None,
               kWarning);
}

bool GearboxControl::ReadGearboxFile(const QString& path)
{
    BusyScope busy(*this);
    ValueReader reader;
    if (!reader.open(path))
        return false;
    if (!reader.findSection(gearbox::kFileVersionName)) {
        MsgBox(QStringLiteral("No File Version in file"), Buttons::Ok, Icon::None, kWarning);
        return false;
    }
    Status->setText(QStringLiteral("Loading file"));
    // Whatever happens below, the status shows the connection again.
    const auto restoreStatus = [this] {
        Status->setText(G.ControllerConnected == 1 ? QStringLiteral("Running") : StatusText);
    };

    const double versionNumber = reader.nextNumber().value_or(0);
    if (versionNumber != 1 && versionNumber != 2) {
        MsgBox(QStringLiteral("File Version not supported"), Buttons::Ok, Icon::None, kWarning);
        restoreStatus();
        return false;
    }
    if (reader.next().value_or(QString()) != gearbox::kGearboxParametersName) {
        MsgBox(QStringLiteral("File is not a Gearbox parameter file"), Buttons::Ok, Icon::None,
               kWarning);
        restoreStatus();
        return false;
    }
    const int version = static_cast<int>(versionNumber);
    // The whole file is checked before the first value goes out: a damaged file sends nothing.
    const std::optional<QList<gearbox::SendItem>> items =
        gearbox::readGearboxValues(reader, version);
    if (!items) {
        restoreStatus();
        return false;
    }
    if (version == 2 &&
        MsgBox(QStringLiteral("This file is in a newer format") + G.CR + G.CR +
                   QStringLiteral("Do you want to atttempt to load it anyway?"),
               Buttons::YesNo, Icon::Question, kWarning, Answer::No) != Answer::Yes) {
        MsgBox(kNotLoaded, Buttons::Ok, Icon::None, kWarning);
        restoreStatus();
        return true;
    }
    if (MsgBox(QStringLiteral("Loading this file will overwrite ALL") + G.CR +
                   QStringLiteral("gearbox parameters in the GCU") + G.CR + G.CR +
                   QStringLiteral("Are you sure you want to do this?"),
               Buttons::YesNo, Icon::Question, kWarning, Answer::No) != Answer::Yes) {
        MsgBox(kNotLoaded, Buttons::Ok, Icon::None, kWarning);
        restoreStatus();
        return true;
    }

    EnableParameterControls(false);
    SyncWithRPMTimer(false);
    for (const gearbox::SendItem& item : *items) {
        link_->SendValue(item.value, item.command, item.width);
        // A lost link closed the port: the rest could not reach the controller, and the connect
        // sequence now takes over the window.
        if (G.ControllerConnected != 1) {
            restoreStatus();
            return false;
        }
    }
    ReadAllParameters();
    if (G.ControllerConnected != 1) {
        restoreStatus();
        return false;
    }
    SyncWithRPMTimer(true);
    EnableParameterControls(true);
    restoreStatus();
    return true;
}

} // namespace vx
