#include "debugwin/debug_output.h"

#include "common/globals.h"
#include "common/prompts.h"
#include "debugwin/debug_log.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cmath>

namespace vx {

namespace {

// Line ends as the controllers send them (CR LF, and LF CR after an escape) shown as one break.
QString forDisplay(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.remove(QLatin1Char('\r'));
    return text;
}

} // namespace

DebugOutput::DebugOutput(DebugLog& log, QWidget* parent) : QWidget(parent), log_(log)
{
    setObjectName(QStringLiteral("DebugOutput"));
    setWindowTitle(QStringLiteral("DebugOutput"));

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setFont(QFont(QStringLiteral("Monospace")));

    VScroll1 = new QScrollBar(Qt::Vertical, this);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    VScroll1->setRange(0, kScrollEnd);
    VScroll1->setSingleStep(64);
    VScroll1->setPageStep(1024);
    VScroll1->setValue(kScrollEnd);

    CLear = new QPushButton(QStringLiteral("Clear"), this);
    CLear->setObjectName(QStringLiteral("CLear"));
    Save = new QPushButton(QStringLiteral("Save"), this);
    Save->setObjectName(QStringLiteral("Save"));

    auto* view = new QHBoxLayout;
    view->setSpacing(0);
    view->addWidget(Text1, 1);
    view->addWidget(VScroll1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CLear);
    buttons->addWidget(Save);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(view, 1);
    layout->addLayout(buttons);
    resize(640, 420);

    connect(VScroll1, &QScrollBar::valueChanged, this, &DebugOutput::redraw);
    connect(CLear, &QPushButton::clicked, this, &DebugOutput::CLear_Click);
    connect(Save, &QPushButton::clicked, this, &DebugOutput::Save_Click);
    connect(&log_, &DebugLog::appended, this, &DebugOutput::onAppended);
    connect(&log_, &DebugLog::cleared, this, [this] {
        Text1->clear();
        TopLine = 0;
        setScrollQuietly(kScrollEnd);
    });

    Text1->viewport()->installEventFilter(this);
    updateVisibleLines();
    redraw();
}

QString DebugOutput::shownText() const { return Text1->toPlainText(); }

void DebugOutput::setScrollQuietly(int value)
{
    const QSignalBlocker quiet(VScroll1);
    VScroll1->setValue(value);
}

void DebugOutput::updateVisibleLines()
{
    const int lineHeight = std::max(1, Text1->fontMetrics().lineSpacing());
    VisibleLines = std::max(1, Text1->viewport()->height() / lineHeight);
}

bool DebugOutput::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Text1->viewport() && event->type() == QEvent::Resize) {
        updateVisibleLines();
        redraw();
    }
    return QWidget::eventFilter(watched, event);
}

void DebugOutput::onAppended()
{
    const int position = VScroll1->value();
    if (position == kScrollEnd) {
        redraw();
        return;
    }
    const qsizetype count = log_.lineCount();
    if (position > 0 && count > 0) {
        // The same lines stay in view; the thumb moves up as the log grows under them.
        const auto value = static_cast<int>(std::floor(static_cast<double>(TopLine) / count * 32768.0));
        setScrollQuietly(std::clamp(value, 0, kScrollEnd - 1));
    }
}

void DebugOutput::redraw()
{
    const qsizetype count = log_.lineCount();
    const int position = VScroll1->value();
    if (position < kScrollEnd) {
        TopLine = static_cast<qsizetype>(std::floor(position / 32768.0 * static_cast<double>(count)));
        TopLine = std::min(TopLine, count - VisibleLines);
    } else {
        TopLine = count - VisibleLines;
    }
    const qsizetype first = std::max<qsizetype>(0, TopLine);
    const qsizetype shown = TopLine + VisibleLines - first;
    // At the end of the log everything up to its last character is shown.
    const QString slice = position == kScrollEnd ? log_.lines(first, count + 1) : log_.lines(first, shown);
    Text1->setPlainText(forDisplay(slice));
    if (position == kScrollEnd)
        Text1->moveCursor(QTextCursor::End);
}

void DebugOutput::CLear_Click() { log_.clear(); }

void DebugOutput::Save_Click()
{
    for (;;) {
        const std::optional<QString> chosen = prompts().saveFile(
            FileRequest{G.DebugFolder + QStringLiteral("debug/debug.txt"), QStringLiteral("Text (*.txt)"),
                        QStringLiteral("txt")});
        if (!chosen)
            return;
        const QFileInfo info(*chosen);
        const QString title = info.fileName();
        G.DebugFolder = info.path() + QLatin1Char('/');
        if (info.exists()) {
            if (MsgBox(title + QStringLiteral(" already exists, overwrite it?"), Buttons::YesNo,
                       Icon::Question, QStringLiteral("Warning")) != Answer::Yes)
                return;
        }
        QSaveFile file(*chosen);
        if (!file.open(QIODevice::WriteOnly)) {
            if (file.error() == QFileDevice::OpenError && !info.dir().exists()) {
                MsgBox(QStringLiteral("Illegal file name"), Buttons::Ok, Icon::None, QStringLiteral("Warning"));
                continue;
            }
            MsgBox(file.errorString(), Buttons::Ok, Icon::None, QStringLiteral("Fatal Error"));
            return;
        }
        file.write((log_.text() + QStringLiteral("\r\n")).toLatin1());
        if (!file.commit())
            MsgBox(file.errorString(), Buttons::Ok, Icon::None, QStringLiteral("Fatal Error"));
        return;
    }
}

DebugOutput& debugWindow()
{
    static QPointer<DebugOutput> window;
    if (!window) {
        window = new DebugOutput(debugLog());
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, window.data(),
                         &QObject::deleteLater);
    }
    return *window;
}

} // namespace vx
