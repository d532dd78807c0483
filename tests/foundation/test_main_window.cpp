#include "app/mainmenu.h"
#include "app/startup.h"
#include "common/globals.h"
#include "debugwin/debug_output.h"
#include "mapfile/map_file.h"
#include "settings/settings_store.h"
#include "settings/window_positions.h"
#include "test_environment.h"
#include "vvt/changadv.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace vx;
using namespace vx::settings;

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        env = std::make_unique<test::TestEnvironment>();
        SaveSetting(kAppVvtGcu, kConfig, "InstallDir", env->home());
    }
    void cleanup()
    {
        if (debugWindow().isVisible())
            debugWindow().hide();
        env.reset();
    }

    void windowHasItsCaptionButtonsAndMenu();
    void startUpInitialisesTheProgram();
    void installCreatesTheSettingsAndEnds();
    void commandLineLoadsAMap();
    void commandLineFileThatIsNoMap();
    void clearAsksFirst();
    void exitWithUnchangedMapAsksNothing();
    void exitWithChangedMap_data();
    void exitWithChangedMap();
    void exitKeepsRunningWhenTheSaveFails();
    void offlineOpensTheWorkspaceBesideTheMainWindow();
    void offlineWorkspaceShowsTheMapOpenedOrCleared();
    void onlineHidesTheMainWindowAndShowsDebug();
    void resetWindowsMovesTheMainWindowNextTime();
    void remoteSupportThatIsMissingIsReported();

private:
    std::unique_ptr<test::TestEnvironment> env;
};

void TestMainWindow::windowHasItsCaptionButtonsAndMenu()
{
    Mainmenu window;
    QVERIFY(window.load(QString()));
    QCOMPARE(window.windowTitle(), QStringLiteral("VANTOREX VVT/GCU Software V2.4.0"));
    const QMap<QString, QString> buttons{
        {"GearBoxConfig", "Gearbox Config"}, {"ClearMap", "Clear Map"},  {"SetupOptions", "Setup"},
        {"OpenMap", "Open Map File"},        {"SaveMap", "Save Map File"}, {"EditMap", "Edit VVT Map"},
        {"ExitExit", "Exit"},
    };
    for (auto it = buttons.begin(); it != buttons.end(); ++it) {
        auto* button = window.findChild<QPushButton*>(it.key());
        QVERIFY2(button, qPrintable(it.key()));
        QCOMPARE(button->text(), it.value());
    }
    QCOMPARE(window.findChild<QCheckBox*>("Offline")->text(), QStringLiteral("Work Offline"));
    QCOMPARE(window.findChild<QLabel*>("Buffer")->text(), QStringLiteral("Empty"));

    QStringList items;
    const QMenu* file = window.menuBar()->findChild<QMenu*>("AdvanFile");
    QCOMPARE(file->title(), QStringLiteral("File"));
    for (const QAction* action : file->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(items, (QStringList{"Open", "Save As", "-", "Edit", "Clear", "-", "Setup", "Reset Windows", "-",
                                 "Remote Support", "-", "Exit"}));
    const QMenu* edit = window.findChild<QMenu*>("AdvanEdit");
    QCOMPARE(edit->actions().size(), 1);
    QCOMPARE(edit->actions().first()->text(), QStringLiteral("Engine VVT Map"));
}

void TestMainWindow::startUpInitialisesTheProgram()
{
    G.CamParams.fill(0);
    G.ThrottlePotLaw = "00";
    Mainmenu window;
    QVERIFY(window.load(QString()));
    QCOMPARE(G.CurrentMapSlot, 1);
    QCOMPARE(G.BufferCaption, QStringLiteral("Empty"));
    QCOMPARE(G.AdvanceMap[29][5][8], MapCell(0));
    QCOMPARE(G.CommandTable[12], QStringLiteral("ve"));
    QCOMPARE(G.CamParams, kDefaultCamParams);
    QCOMPARE(G.ThrottlePotLaw, QStringLiteral("01"));
    QCOMPARE(G.ThrottleSense, QStringLiteral("00"));
    QVERIFY(window.isVisible());
}

void TestMainWindow::installCreatesTheSettingsAndEnds()
{
    QVERIFY(!HasSetting(kAppVvt, kConfig, "ComPortNo"));
    Mainmenu window;
    QVERIFY(!window.load("Install"));
    QVERIFY(!window.isVisible());
    for (const char* key : {"ComPortNo", "CylNo", "DisplayDebug", "TriggerType", "CrankSensorType",
                            "ProgSettingsFromECU", "PaddlesSwapped"})
        QVERIFY2(HasSetting(kAppVvt, kConfig, key), key);
    QCOMPARE(GetSetting(kAppVvt, kWindows, "MainmenuLeft"), QStringLiteral("675"));
    QVERIFY(env->prompts.messages.isEmpty());
    QCOMPARE(commandLineText({"--demo", "Install"}), QStringLiteral("Install"));
}

void TestMainWindow::commandLineLoadsAMap()
{
    QVERIFY(QDir(env->home()).mkpath("my maps"));
    const QString path = env->path("my maps/Track Day.cam");
    G.CylinderCount = 6;
    QVERIFY(WriteMapFile(path).ok);
    resetGlobals();

    Mainmenu window;
    QVERIFY(window.load(commandLineText({"\"" + env->path("my"), "maps/Track Day.cam\""})));
    QCOMPARE(window.findChild<QLabel*>("Buffer")->text(), QStringLiteral("Track Day"));
    QCOMPARE(G.CylinderCount, 6);
    QVERIFY(env->prompts.messages.isEmpty());
}

void TestMainWindow::commandLineFileThatIsNoMap()
{
    const QString path = test::writeFile(env->path("notes.txt"), "hello\r\n");
    Mainmenu window;
    QVERIFY(window.load(path));
    QCOMPARE(env->prompts.texts(), QStringList{"Unknown file type"});
    QCOMPARE(window.findChild<QLabel*>("Buffer")->text(), QStringLiteral("Empty"));
}

void TestMainWindow::clearAsksFirst()
{
    Mainmenu window;
    QVERIFY(window.load(QString()));
    G.BufferCaption = "loaded";
    G.AdvanceMap[3][1][2] = 17;
    G.MapChanged[1] = 1;

    env->prompts.answer(Answer::No);
    window.AdvanceClear_Click();
    QCOMPARE(G.AdvanceMap[3][1][2], MapCell(17));
    const Message& m = env->prompts.messages[0];
    QCOMPARE(m.text, QStringLiteral("Do you really want to clear the map?"));
    QCOMPARE(m.buttons, Buttons::YesNo);
    QCOMPARE(m.icon, Icon::Question);
    QCOMPARE(m.title, QStringLiteral("Warning"));
    QCOMPARE(m.defaultButton, std::optional<Answer>(Answer::No));

    G.CellColourB[1][5] = changedCellColour();
    env->prompts.answer(Answer::Yes);
    window.AdvanceClear_Click();
    QCOMPARE(G.AdvanceMap[3][1][2], MapCell());
    QCOMPARE(G.AdvanceMap[3][1][8], MapCell(0)); // the ninth column is not part of the map
    QCOMPARE(G.MapChanged[1], 0);
    QCOMPARE(G.MapChecksum[1], qint64(0));
    QCOMPARE(window.findChild<QLabel*>("Buffer")->text(), QStringLiteral("Empty"));
    QVERIFY(!G.CellColourB[1][5].isValid());
}

void TestMainWindow::exitWithUnchangedMapAsksNothing()
{
    Mainmenu window;
    QVERIFY(window.load(QString()));
    QSignalSpy ended(&window, &Mainmenu::ended);
    window.move(60, 90);
    QVERIFY(window.AdvanceAllDone_Click());
    QCOMPARE(ended.count(), 1);
    QVERIFY(env->prompts.messages.isEmpty());
    QVERIFY(HasSetting(kAppVvt, kWindows, "MainmenuLeft"));
}

void TestMainWindow::exitWithChangedMap_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("ends");
    QTest::addColumn<bool>("saved");
    QTest::newRow("yes saves and ends") << Answer::Yes << true << true;
    QTest::newRow("no ends without saving") << Answer::No << true << false;
    QTest::newRow("cancel keeps running") << Answer::Cancel << false << false;
}

void TestMainWindow::exitWithChangedMap()
{
    QFETCH(Answer, answer);
    QFETCH(bool, ends);
    QFETCH(bool, saved);

    Mainmenu window;
    QVERIFY(window.load(QString()));
    G.BufferCaption = "street";
    G.MapChanged[1] = 1;
    QSignalSpy ended(&window, &Mainmenu::ended);
    env->prompts.answer(answer);
    QCOMPARE(window.AdvanceAllDone_Click(), ends);
    QCOMPARE(ended.count(), ends ? 1 : 0);
    const Message& m = env->prompts.messages.first();
    QCOMPARE(m.text, QStringLiteral("street has changed, save before exiting?"));
    QCOMPARE(m.buttons, Buttons::YesNoCancel);
    QCOMPARE(m.icon, Icon::Question);
    QCOMPARE(m.title, QStringLiteral("Warning"));
    QCOMPARE(QFile::exists(G.MapFolder + "street.cam"), saved);
}

void TestMainWindow::exitKeepsRunningWhenTheSaveFails()
{
    Mainmenu window;
    QVERIFY(window.load(QString()));
    G.MapFolder = env->path("missing folder") + "/";
    G.BufferCaption = "street";
    G.MapChanged[1] = 1;
    QSignalSpy ended(&window, &Mainmenu::ended);
    env->prompts.answer(Answer::Yes);
    env->prompts.answer(Answer::Ok);
    QVERIFY(!window.AdvanceAllDone_Click());
    QCOMPARE(ended.count(), 0);
    QCOMPARE(env->prompts.messages.size(), 2);
    QVERIFY(env->prompts.messages[1].text.startsWith(
        QStringLiteral("The map could not be saved, the program keeps running:")));
    QCOMPARE(env->prompts.messages[1].title, QStringLiteral("Fatal Error"));
    QCOMPARE(G.MapChanged[1], 1);
}

void TestMainWindow::offlineOpensTheWorkspaceBesideTheMainWindow()
{
    Mainmenu window;
    QVERIFY(window.load(QString()));
    G.DisplayDebug = true;
    window.findChild<QCheckBox*>("Offline")->click();
    QVERIFY(G.OfflineMode);
    window.EditMap_Click();
    QVERIFY(window.vvtWorkspace());
    QVERIFY(window.vvtWorkspace()->isVisible());
    QVERIFY(window.isVisible());
    QVERIFY(!debugWindow().isVisible());
    window.vvtWorkspace()->close();
    QTRY_VERIFY(!window.vvtWorkspace());
}

void TestMainWindow::offlineWorkspaceShowsTheMapOpenedOrCleared()
{
    const auto setMap = [](int value) {
        for (auto& row : G.AdvanceMap) {
            for (int column = 0; column < kMapUsedColumns; ++column)
                row[1][column] = value;
        }
    };
    const auto cellTexts = [](const Mainmenu& window) {
        QSet<QString> texts;
        for (int i = 0; i < kMapCells; ++i)
            texts << window.vvtWorkspace()->findChild<QLineEdit*>(QStringLiteral("ChngAdv_%1").arg(i))->text();
        return texts;
    };
    Mainmenu window;
    QVERIFY(window.load(QString()));
    setMap(9);
    const QString path = env->path("Nine.cam");
    QVERIFY(WriteMapFile(path).ok);
    setMap(5);
    window.findChild<QCheckBox*>("Offline")->click();
    window.EditMap_Click();
    QCOMPARE(cellTexts(window), QSet<QString>{" 5"});

    env->prompts.chooseFile(path);
    window.AdvanceLoad_Click();
    QCOMPARE(window.findChild<QLabel*>("Buffer")->text(), QStringLiteral("Nine"));
    QCOMPARE(cellTexts(window), QSet<QString>{" 9"});

    env->prompts.answer(Answer::Yes);
    window.AdvanceClear_Click();
    QCOMPARE(cellTexts(window), QSet<QString>{QString()});
    QCOMPARE(env->prompts.unexpected, 0);
    window.vvtWorkspace()->close();
    QTRY_VERIFY(!window.vvtWorkspace());
}

void TestMainWindow::onlineHidesTheMainWindowAndShowsDebug()
{
    Mainmenu window;
    QVERIFY(window.load(QString()));
    G.DisplayDebug = true;
    window.EditMap_Click();
    QVERIFY(!window.isVisible());
    QVERIFY(window.vvtWorkspace()->isVisible());
    QVERIFY(debugWindow().isVisible());
    window.vvtWorkspace()->close();
    QVERIFY(window.isVisible());
}

void TestMainWindow::resetWindowsMovesTheMainWindowNextTime()
{
    {
        Mainmenu window;
        QVERIFY(window.load(QString()));
        window.ResetWindows_Click();
    }
    Mainmenu next;
    QVERIFY(next.load(QString()));
    const double dpi = next.screen()->logicalDotsPerInchX();
    QCOMPARE(next.pos(), QPoint(twipsToPixels(675, dpi), twipsToPixels(645, dpi)));
}

void TestMainWindow::remoteSupportThatIsMissingIsReported()
{
    Mainmenu window;
    QVERIFY(window.load(QString()));
    window.RemoteSupport_Click();
    QCOMPARE(env->prompts.messages.size(), 1);
    QVERIFY(env->prompts.messages[0].text.contains(Mainmenu::remoteSupportProgram()));
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
