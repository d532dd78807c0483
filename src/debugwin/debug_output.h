#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;
class QScrollBar;

namespace vx {

class DebugLog;

// The debug traffic window. It shows only the lines of the log that fit in its text box, with a
// scroll bar of its own over the whole log: at the bottom it follows new traffic, scrolled up
// it keeps showing the same lines while the log grows.
class DebugOutput : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kScrollEnd = 32767; // scroll value that shows the end of the log

    explicit DebugOutput(DebugLog& log, QWidget* parent = nullptr);

    int visibleLines() const { return VisibleLines; }
    qsizetype topLine() const { return TopLine; }
    QString shownText() const;

    void CLear_Click();
    void Save_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onAppended();
    void redraw();
    void updateVisibleLines();
    void setScrollQuietly(int value);

    DebugLog& log_;
    QPlainTextEdit* Text1 = nullptr;
    QScrollBar* VScroll1 = nullptr;
    QPushButton* CLear = nullptr;
    QPushButton* Save = nullptr;
    int VisibleLines = 1;
    qsizetype TopLine = 0;
};

// The one debug window of the program, created when first needed.
DebugOutput& debugWindow();

} // namespace vx
