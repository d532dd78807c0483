#include "common/qt_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace vx {

namespace {

QMessageBox::StandardButton standardButton(Answer answer)
{
    switch (answer) {
    case Answer::Ok:
        return QMessageBox::Ok;
    case Answer::Cancel:
        return QMessageBox::Cancel;
    case Answer::Retry:
        return QMessageBox::Retry;
    case Answer::Yes:
        return QMessageBox::Yes;
    case Answer::No:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButtons standardButtons(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok:
        return QMessageBox::Ok;
    case Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    case Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

Answer firstButton(Buttons buttons)
{
    switch (buttons) {
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

QMessageBox::Icon messageIcon(Icon icon)
{
    switch (icon) {
    case Icon::None:
        return QMessageBox::NoIcon;
    case Icon::Critical:
        return QMessageBox::Critical;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

Answer answerOf(int button)
{
    switch (button) {
    case QMessageBox::Cancel:
        return Answer::Cancel;
    case QMessageBox::Retry:
        return Answer::Retry;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Ok;
    }
}

// Splits "folder/name-or-pattern" into the folder the dialog opens and the filter or file
// name it proposes.
struct DialogStart
{
    QString folder;
    QString name;
};

DialogStart splitInitialPath(const QString& initialPath)
{
    const QFileInfo info(initialPath);
    return {info.path(), info.fileName()};
}

QString filterFor(const FileRequest& request, const QString& startName)
{
    if (!request.filter.isEmpty())
        return request.filter;
    if (startName.contains(QLatin1Char('*')))
        return startName;
    return {};
}

} // namespace

Answer QtPrompts::message(const Message& message)
{
    // The program's texts break their lines with CR, which a message box does not show as one.
    QString shown = message.text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(messageIcon(message.icon), message.title, shown, standardButtons(message.buttons),
                    QApplication::activeWindow());
    box.setDefaultButton(standardButton(message.defaultButton.value_or(firstButton(message.buttons))));
    if (message.buttons == Buttons::Ok)
        box.setEscapeButton(QMessageBox::Ok);
    return answerOf(box.exec());
}

std::optional<QString> QtPrompts::openFile(const FileRequest& request)
{
    const DialogStart start = splitInitialPath(request.initialPath);
    const QString chosen = QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(),
                                                        start.folder, filterFor(request, start.name));
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

std::optional<QString> QtPrompts::saveFile(const FileRequest& request)
{
    const DialogStart start = splitInitialPath(request.initialPath);
    QFileDialog dialog(QApplication::activeWindow(), QString(), start.folder,
                       filterFor(request, start.name));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The program asks about overwriting itself, after its own checks of the name.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!start.name.contains(QLatin1Char('*')))
        dialog.selectFile(start.name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void QtPrompts::beep() { QApplication::beep(); }

} // namespace vx
