#include "app/mainmenu.h"
#include "common/globals.h"
#include "test_environment.h"
#include "vvt/changadv.h"
#include "vvt/map_cell_edit.h"
#include "vvt/map_grid.h"
#include "vvt/map_model.h"
#include "vvt_fixture.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace vx;

namespace {

QColor background(const MapCellEdit* cell)
{
    return cell->palette().color(QPalette::Base);
}
QColor textColour(const MapCellEdit* cell)
{
    return cell->palette().color(QPalette::Text);
}

void fillMap(int value)
{
    for (int column = 0; column < kMapUsedColumns; ++column) {
        for (int row = 0; row < kMapRows; ++row)
            G.AdvanceMap[row][1][column] = value;
    }
}

} // namespace

class TestVvtGrid : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        env = std::make_unique<test::TestEnvironment>();
        fillMap(10);
        grid = std::make_unique<MapGrid>();
        grid->Fill_Display();
        grid->show();
        grid->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(grid.get()));
        cellCommits = std::make_unique<QSignalSpy>(grid.get(), &MapGrid::cellCommitRequested);
        selectionCommits =
            std::make_unique<QSignalSpy>(grid.get(), &MapGrid::selectionCommitRequested);
    }
    void cleanup()
    {
        cellCommits.reset();
        selectionCommits.reset();
        grid.reset();
        env.reset();
    }

    void layoutReadsAsAMap();
    void typedValue_data();
    void typedValue();
    void stepKeys_data();
    void stepKeys();
    void onlyDigitsAndFourCharacters();
    void mouseDragSelectsARectangle();
    void keyboardSelection();
    void copyToSelection_data();
    void copyToSelection();
    void stepKeysOnASelection();
    void tabbedCellOutsideTheSelection();
    void operatingPointColours();
    void fillDisplay();
    void offlineWorkspaceCommitsAtOnce();
    void offlineSaveAsRedrawsTheWorkspace();

private:
    MapCellEdit* cell(int i) const { return grid->cell(i); }
    void focus(int i)
    {
        cell(i)->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(cell(i)->hasFocus());
    }
    // Types into a cell that has the focus, its text selected as on entering it.
    void type(int i, const QString& text)
    {
        focus(i);
        cell(i)->selectAll();
        if (text.isEmpty())
            QTest::keyClick(cell(i), Qt::Key_Backspace);
        else
            QTest::keyClicks(cell(i), text);
    }
    void leave(int i)
    {
        QTest::keyClick(cell(i), Qt::Key_Tab);
        QTRY_VERIFY(!cell(i)->hasFocus() || !env->prompts.messages.isEmpty());
    }
    QList<int> selected() const
    {
        QList<int> cells;
        for (int i = 0; i < kMapCells; ++i) {
            if (grid->cellSelected(i))
                cells << i;
        }
        return cells;
    }
    void keySelect(int anchor, QList<Qt::Key> arrows)
    {
        focus(anchor);
        QTest::keyPress(cell(anchor), Qt::Key_Shift, Qt::ShiftModifier);
        // Shift stays held: the arrows come without presses of their own of the shift key.
        for (Qt::Key arrow : arrows) {
            QKeyEvent press(QEvent::KeyPress, arrow, Qt::ShiftModifier);
            QKeyEvent release(QEvent::KeyRelease, arrow, Qt::ShiftModifier);
            QApplication::sendEvent(cell(anchor), &press);
            QApplication::sendEvent(cell(anchor), &release);
        }
        QTest::keyRelease(cell(anchor), Qt::Key_Shift);
    }

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<MapGrid> grid;
    std::unique_ptr<QSignalSpy> cellCommits;
    std::unique_ptr<QSignalSpy> selectionCommits;
};

void TestVvtGrid::layoutReadsAsAMap()
{
    QCOMPARE(cell(17)->objectName(), QStringLiteral("ChngAdv_17"));
    // Engine speed runs to the right, throttle bands downwards, exhaust below inlet.
    QVERIFY(cell(1)->x() > cell(0)->x());
    QCOMPARE(cell(30)->x(), cell(0)->x());
    QVERIFY(cell(30)->y() > cell(0)->y());
    QVERIFY(cell(120)->y() > cell(90)->y() + cell(90)->height());
    QCOMPARE(cell(0)->nextInFocusChain(), cell(1));
    QCOMPARE(cell(29)->nextInFocusChain(), cell(30));
    QCOMPARE(cell(0)->maxLength(), 4);
    const auto label = [&](const QString& name) { return grid->findChild<QLabel*>(name)->text(); };
    QCOMPARE(label("Label4_0"), QStringLiteral("500"));
    QCOMPARE(label("Label4_1"), QStringLiteral("1000:"));
    QCOMPARE(label("Label4_3"), QStringLiteral("2000"));
    QCOMPARE(label("Label4_29"), QStringLiteral("15000"));
    QCOMPARE(label("Label20"), QStringLiteral("Throt"));
    QCOMPARE(label("RpmAxisLabel"), QStringLiteral("Rpm"));
    QCOMPARE(label("InletBand_0"), QStringLiteral("5%"));
    QCOMPARE(label("ExhaustBand_4"), QStringLiteral("100%"));
    QVERIFY(grid->findChild<QLabel*>("Label4_5")->geometry().center().x() >= cell(5)->x());
}

void TestVvtGrid::typedValue_data()
{
    QTest::addColumn<bool>("offline");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("commits");
    QTest::newRow("accepted") << false << "45" << QStringList() << " 45" << 1;
    QTest::newRow("upper limit") << false << "60" << QStringList() << " 60" << 1;
    QTest::newRow("out of range") << false << "61" << QStringList{"Value out of range"} << " 10"
                                  << 0;
    QTest::newRow("cleared online") << false << "" << QStringList{"Invalid input"} << " 10" << 0;
    QTest::newRow("cleared offline") << true << "" << QStringList() << " 10" << 0;
    QTest::newRow("unchanged") << false << "10" << QStringList() << " 10" << 0;
}

void TestVvtGrid::typedValue()
{
    QFETCH(bool, offline);
    QFETCH(QString, typed);
    QFETCH(QStringList, messages);
    QFETCH(QString, shown);
    QFETCH(int, commits);
    G.OfflineMode = offline;
    type(40, typed);
    leave(40);
    QCOMPARE(env->prompts.texts(), messages);
    for (const Message& m : env->prompts.messages)
        QCOMPARE(m.title, QStringLiteral("Warning"));
    QCOMPARE(cell(40)->text(), shown);
    QCOMPARE(cellCommits->count(), commits);
    QCOMPARE(G.MapChanged[1], commits);
    QCOMPARE(G.CellColourB[1][40] == changedCellColour(), commits == 1);
    if (commits == 1) {
        QCOMPARE(textColour(cell(40)), changedCellColour());
        QCOMPARE(grid->editedCell(), 40);
    }
    // The map itself changes only with the commit.
    QCOMPARE(G.AdvanceMap[10][1][1], MapCell(10));
    if (!messages.isEmpty())
        QTRY_VERIFY(cell(40)->hasFocus());
}

void TestVvtGrid::stepKeys_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QChar>("key");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("commits");
    QTest::newRow("+ below the maximum") << 59 << QChar('+') << " 60" << 1;
    QTest::newRow("= is +") << 20 << QChar('=') << " 21" << 1;
    QTest::newRow("+ at the maximum") << 60 << QChar('+') << " 60" << 0;
    QTest::newRow("- above the minimum") << 5 << QChar('-') << " 4" << 1;
    QTest::newRow("_ is -") << 1 << QChar('_') << " 0" << 1;
    QTest::newRow("- at the minimum") << 0 << QChar('-') << " 0" << 0;
}

void TestVvtGrid::stepKeys()
{
    QFETCH(int, start);
    QFETCH(QChar, key);
    QFETCH(QString, shown);
    QFETCH(int, commits);
    G.AdvanceMap[3][1][2] = start;
    grid->Fill_Display();
    focus(63);
    QTest::keyClicks(cell(63), QString(key));
    QCOMPARE(cell(63)->text(), shown);
    QVERIFY(cellCommits->count() >= commits);
    QCOMPARE(cellCommits->isEmpty(), commits == 0);
    QCOMPARE(G.CellColourB[1][63] == changedCellColour(), commits == 1);
    QVERIFY(env->prompts.messages.isEmpty());
}

void TestVvtGrid::onlyDigitsAndFourCharacters()
{
    focus(7);
    cell(7)->clear();
    QTest::keyClicks(cell(7), "a1.b2x34");
    QCOMPARE(cell(7)->text(), QStringLiteral("1234"));
    QTest::keyClicks(cell(7), "5");
    QCOMPARE(cell(7)->text(), QStringLiteral("1234"));
    QTest::keyClick(cell(7), Qt::Key_Backspace);
    QCOMPARE(cell(7)->text(), QStringLiteral("123"));
    // Delete edits like backspace. The X11 keyboard reports it with the DEL character, which
    // types nothing and is no key for the filter.
    QTest::keyClick(cell(7), Qt::Key_Home);
    QTest::sendKeyEvent(QTest::Press, cell(7), Qt::Key_Delete, QString(QChar(0x7f)), Qt::NoModifier);
    QCOMPARE(cell(7)->text(), QStringLiteral("23"));
}

void TestVvtGrid::mouseDragSelectsARectangle()
{
    MapCellEdit* anchor = cell(0);
    QTest::mousePress(anchor, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    const QPoint target = cell(31)->geometry().center() - anchor->geometry().topLeft();
    QTest::mouseMove(anchor, target);
    QCOMPARE(selected(), (QList<int>{0, 1, 30, 31}));
    QVERIFY(grid->selectionActive());
    QCOMPARE(background(cell(31)), MapGrid::selectedBackground());
    QCOMPARE(background(cell(2)), MapGrid::normalBackground());
    QTest::mouseRelease(anchor, Qt::LeftButton, Qt::NoModifier, target);
    QVERIFY(!grid->selecting());
    QCOMPARE(selected(), (QList<int>{0, 1, 30, 31}));

    // Back over the anchor: nothing selected; a new press clears the rectangle.
    QTest::mousePress(cell(95), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QVERIFY(selected().isEmpty());
    QVERIFY(!grid->selectionActive());
    QTest::mouseMove(cell(95), cell(94)->geometry().center() - cell(95)->geometry().topLeft());
    QCOMPARE(selected(), (QList<int>{94, 95}));
    QTest::mouseMove(cell(95), QPoint(3, 3));
    QVERIFY(selected().isEmpty());
    QVERIFY(!grid->selectionActive());
    QTest::mouseRelease(cell(95), Qt::LeftButton);
}

void TestVvtGrid::keyboardSelection()
{
    keySelect(28, {Qt::Key_Right});
    QCOMPARE(selected(), (QList<int>{28, 29}));
    keySelect(28, {Qt::Key_Right, Qt::Key_Right});
    QCOMPARE(selected(), (QList<int>{28, 29}));
    keySelect(100, {Qt::Key_Down, Qt::Key_Left, Qt::Key_Left, Qt::Key_Up, Qt::Key_Up});
    QCOMPARE(selected(), (QList<int>{68, 69, 70, 98, 99, 100}));
    QVERIFY(!grid->selecting());
    QTest::keyClick(cell(100), Qt::Key_Escape);
    QVERIFY(selected().isEmpty());
}

void TestVvtGrid::copyToSelection_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("copied");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("45") << "45"
                        << " 45" << QStringList();
    QTest::newRow("0") << "0"
                       << " 0" << QStringList();
    QTest::newRow("60") << "60"
                        << " 60" << QStringList();
    QTest::newRow("70 refused") << "70"
                                << " 10" << QStringList{"Value out of range"};
}

void TestVvtGrid::copyToSelection()
{
    QFETCH(QString, typed);
    QFETCH(QString, copied);
    QFETCH(QStringList, messages);
    keySelect(3, {Qt::Key_Right, Qt::Key_Right});
    QCOMPARE(selected(), (QList<int>{3, 4, 5}));
    type(3, typed);
    QTest::keyClick(cell(3), Qt::Key_Return);
    QCOMPARE(env->prompts.texts(), messages);
    for (const int i : {3, 4, 5})
        QCOMPARE(cell(i)->text(), copied);
    QCOMPARE(cell(6)->text(), QStringLiteral(" 10"));
    QCOMPARE(selectionCommits->count(), messages.isEmpty() ? 1 : 0);
    QCOMPARE(cellCommits->count(), 0);
    QCOMPARE(G.CellColourB[1][5] == changedCellColour(), messages.isEmpty());
}

void TestVvtGrid::stepKeysOnASelection()
{
    G.AdvanceMap[1][1][0] = 60;
    grid->Fill_Display();
    keySelect(0, {Qt::Key_Right, Qt::Key_Down});
    QTest::keyClicks(cell(0), "+");
    QCOMPARE(cell(0)->text(), QStringLiteral(" 11"));
    QCOMPARE(cell(1)->text(), QStringLiteral(" 60")); // already at the maximum
    QCOMPARE(cell(31)->text(), QStringLiteral(" 11"));
    QCOMPARE(selectionCommits->count(), 1);
    QTest::keyClicks(cell(0), "-");
    QCOMPARE(cell(30)->text(), QStringLiteral(" 10"));
    QCOMPARE(cell(1)->text(), QStringLiteral(" 59"));
    QCOMPARE(selectionCommits->count(), 2);
    QCOMPARE(textColour(cell(30)), changedCellColour());
}

void TestVvtGrid::tabbedCellOutsideTheSelection()
{
    keySelect(3, {Qt::Key_Right});
    type(50, "33");
    leave(50);
    QCOMPARE(cellCommits->count(), 1);
    QCOMPARE(selectionCommits->count(), 0);
    QCOMPARE(cell(3)->text(), QStringLiteral(" 10"));
}

void TestVvtGrid::operatingPointColours()
{
    keySelect(0, {Qt::Key_Right});
    grid->markOperatingPoint(7, 1);
    QCOMPARE(background(cell(37)), MapGrid::operatingPointBackground());
    QCOMPARE(background(cell(157)), MapGrid::operatingPointBackground());
    QCOMPARE(background(cell(1)), MapGrid::selectedBackground());
    QCOMPARE(background(cell(38)), MapGrid::normalBackground());
    grid->markOperatingPoint(std::nullopt, 0);
    QCOMPARE(background(cell(37)), MapGrid::normalBackground());
    QCOMPARE(background(cell(0)), MapGrid::selectedBackground());
}

void TestVvtGrid::fillDisplay()
{
    G.AdvanceMap[0][1][0] = kHiddenCellMarker;
    G.AdvanceMap[1][1][0].reset();
    G.AdvanceMap[2][1][0] = -4;
    G.CellColourB[1][2] = changedCellColour();
    grid->Fill_Display();
    QCOMPARE(G.AdvanceMap[0][1][0], MapCell(0));
    QCOMPARE(cell(0)->text(), QStringLiteral(" 0"));
    QCOMPARE(cell(1)->text(), QString());
    QCOMPARE(cell(2)->text(), QStringLiteral("-4"));
    QCOMPARE(textColour(cell(2)), changedCellColour());
    QCOMPARE(textColour(cell(3)), QApplication::palette().color(QPalette::WindowText));
}

void TestVvtGrid::offlineWorkspaceCommitsAtOnce()
{
    grid.reset();
    G.OfflineMode = true;
    G.BufferCaption = "TRACK";
    test::RecordingShell shell;
    QPointer<Changadv> workspace = new Changadv(shell);
    QCOMPARE(workspace->windowTitle(), QStringLiteral("Vantorex ECU Manager - TRACK"));
    QVERIFY(QTest::qWaitForWindowActive(workspace));
    MapCellEdit* c = workspace->grid().cell(65);
    c->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(c->hasFocus());
    c->selectAll();
    QTest::keyClicks(c, "33");
    QTest::keyClick(c, Qt::Key_Tab);
    QCOMPARE(G.AdvanceMap[5][1][2], MapCell(33));
    QCOMPARE(G.MapChecksum[1], mapChecksumOf(1));
    QVERIFY(G.MapChecksum[1] != -1 - 240 * 10);
    QVERIFY(!workspace->timer1().isActive());
    QTest::keyClicks(workspace->grid().cell(66), "+");
    QCOMPARE(G.AdvanceMap[6][1][2], MapCell(11));
    QVERIFY(!workspace->timer1().isActive());
    QVERIFY(env->prompts.messages.isEmpty());
    delete workspace.data();
}

void TestVvtGrid::offlineSaveAsRedrawsTheWorkspace()
{
    grid.reset();
    Mainmenu window;
    QVERIFY(window.load(QString()));
    window.findChild<QCheckBox*>("Offline")->click();
    G.BufferCaption = "TRACK";
    window.EditMap_Click();
    Changadv* workspace = window.vvtWorkspace();
    QVERIFY(workspace);
    QVERIFY(QTest::qWaitForWindowActive(workspace));
    MapCellEdit* c = workspace->grid().cell(0);
    c->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(c->hasFocus());
    QTest::keyClicks(c, "+");
    QCOMPARE(textColour(c), changedCellColour());
    env->prompts.chooseFile(env->path("TRACK.cam"));
    window.AdvanceSave_Click();
    QVERIFY(QFile::exists(env->path("TRACK.cam")));
    QCOMPARE(textColour(c), QApplication::palette().color(QPalette::WindowText));
    QCOMPARE(G.MapChanged[1], 0);
    workspace->close();
    QTRY_VERIFY(!window.vvtWorkspace());
}

QTEST_MAIN(TestVvtGrid)
#include "test_vvt_grid.moc"
