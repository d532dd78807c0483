#include "common/globals.h"
#include "debugwin/debug_log.h"
#include "debugwin/debug_output.h"
#include "test_environment.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QtTest>

#include <memory>

using namespace vx;

namespace {

QString numberedLines(int first, int count)
{
    QString text;
    for (int i = first; i < first + count; ++i)
        text += QStringLiteral("line %1\r\n").arg(i);
    return text;
}

} // namespace

class TestDebugWindow : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        env = std::make_unique<test::TestEnvironment>();
        window = std::make_unique<DebugOutput>(log);
        window->resize(500, 300);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        scroll = window->findChild<QScrollBar*>("VScroll1");
        QVERIFY(scroll);
    }
    void cleanup()
    {
        window.reset();
        log.clear();
        env.reset();
    }

    void logSlicesByLine();
    void shortLogIsShownWhole();
    void bottomFollowsNewTraffic();
    void scrolledUpKeepsTheSameLines();
    void scrollingShowsOtherLines();
    void clearThenNewText();
    void saveWritesTheLogAndOneLineEnd();
    void saveAsksBeforeOverwriting();

private:
    std::unique_ptr<test::TestEnvironment> env;
    DebugLog log;
    std::unique_ptr<DebugOutput> window;
    QScrollBar* scroll = nullptr;
};

void TestDebugWindow::logSlicesByLine()
{
    DebugLog big;
    big.append(numberedLines(0, 100000));
    big.append("tail without end");
    QCOMPARE(big.lineCount(), qsizetype(100000));
    QCOMPARE(big.lines(0, 2), QStringLiteral("line 0\r\nline 1"));
    QCOMPARE(big.lines(99998, 1), QStringLiteral("line 99998"));
    QCOMPARE(big.lines(99999, 5), QStringLiteral("line 99999\r\ntail without end"));
    QCOMPARE(big.lines(100000, 1), QStringLiteral("tail without end"));
}

void TestDebugWindow::shortLogIsShownWhole()
{
    QVERIFY(window->visibleLines() > 3);
    log.append("ve\r\nV1.2-3\r\n*");
    QCOMPARE(window->shownText(), QStringLiteral("ve\nV1.2-3\n*"));
}

void TestDebugWindow::bottomFollowsNewTraffic()
{
    const int visible = window->visibleLines();
    log.append(numberedLines(0, visible * 3));
    log.append("*");
    QCOMPARE(scroll->value(), DebugOutput::kScrollEnd);
    const QStringList shown = window->shownText().split('\n');
    QCOMPARE(shown.last(), QStringLiteral("*"));
    QCOMPARE(shown.at(shown.size() - 2), QStringLiteral("line %1").arg(visible * 3 - 1));
    QVERIFY(shown.size() <= visible + 1);

    log.append(numberedLines(1000, 2));
    QVERIFY(window->shownText().endsWith(QStringLiteral("line 1001\n")));
}

void TestDebugWindow::scrolledUpKeepsTheSameLines()
{
    log.append(numberedLines(0, 200));
    scroll->setValue(8192); // a quarter of the way down
    const QString before = window->shownText();
    const qsizetype top = window->topLine();
    QCOMPARE(top, qsizetype(50));
    QVERIFY(before.startsWith(QStringLiteral("line 50\n")));

    log.append(numberedLines(200, 200));
    QCOMPARE(window->shownText(), before);
    QCOMPARE(window->topLine(), top);
    // The thumb moved up: the same lines are now an eighth of the way down.
    QCOMPARE(scroll->value(), 4096);
}

void TestDebugWindow::scrollingShowsOtherLines()
{
    log.append(numberedLines(0, 100));
    scroll->setValue(0);
    QVERIFY(window->shownText().startsWith(QStringLiteral("line 0\n")));
    QCOMPARE(window->shownText().count('\n'), window->visibleLines() - 1);
    scroll->setValue(16384);
    QVERIFY(window->shownText().startsWith(QStringLiteral("line 50\n")));
    scroll->setValue(DebugOutput::kScrollEnd);
    QVERIFY(window->shownText().endsWith(QStringLiteral("line 99\n")));
}

void TestDebugWindow::clearThenNewText()
{
    log.append(numberedLines(0, 50));
    scroll->setValue(1000);
    window->CLear_Click();
    QCOMPARE(scroll->value(), DebugOutput::kScrollEnd);
    QCOMPARE(log.lineCount(), qsizetype(0));
    log.append("new\r\n*");
    QCOMPARE(window->shownText(), QStringLiteral("new\n*"));
}

void TestDebugWindow::saveWritesTheLogAndOneLineEnd()
{
    G.DebugFolder = env->home() + "/";
    log.append("ve\r\nV1.2-3\r\n*");
    const QString target = env->path("traffic.txt");
    env->prompts.chooseFile(target);
    window->Save_Click();
    QCOMPARE(test::readFile(target), QByteArray("ve\r\nV1.2-3\r\n*\r\n"));
    QCOMPARE(env->prompts.fileRequests.first().initialPath, env->home() + "/debug/debug.txt");
    QCOMPARE(env->prompts.fileRequests.first().filter, QStringLiteral("Text (*.txt)"));
    QVERIFY(env->prompts.messages.isEmpty());
}

void TestDebugWindow::saveAsksBeforeOverwriting()
{
    G.DebugFolder = env->home() + "/";
    const QString target = test::writeFile(env->path("old.txt"), "old");
    log.append("new");

    env->prompts.chooseFile(target);
    env->prompts.answer(Answer::No);
    window->Save_Click();
    QCOMPARE(test::readFile(target), QByteArray("old"));
    QCOMPARE(env->prompts.messages.size(), 1);
    QCOMPARE(env->prompts.messages[0].text, QStringLiteral("old.txt already exists, overwrite it?"));
    QCOMPARE(env->prompts.messages[0].title, QStringLiteral("Warning"));
    QCOMPARE(env->prompts.messages[0].buttons, Buttons::YesNo);
    QCOMPARE(env->prompts.messages[0].icon, Icon::Question);

    env->prompts.chooseFile(target);
    env->prompts.answer(Answer::Yes);
    window->Save_Click();
    QCOMPARE(test::readFile(target), QByteArray("new\r\n"));
    // The chosen folder becomes the default for the next save.
    QCOMPARE(G.DebugFolder, env->home() + "/");
}

QTEST_MAIN(TestDebugWindow)
#include "test_debug_window.moc"
