// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as a window for real work: drawn at its least size, it grows with the list,
// keeps its buttons at their corners and its menu bar above them, comes back at the size and
// place it was left at, and shows the rows that Add appended.
#include <QMenuBar>
#include <QProgressBar>
#include <QtTest>
#include <map>

#include "support/MainWindowFixture.h"

using namespace sonarel;
using sonarel::testing::MainWindowFixture;

namespace {

// How many rows the list shows whole or in part.
int shownRows(MixListView& list)
{
    const int first = list.rowAt(0);
    int last = list.rowAt(list.viewport()->height() - 1);
    if (last < 0)
        last = list.rowCount() - 1;
    return first < 0 ? 0 : last - first + 1;
}

bool rowShown(MixListView& list, int row)
{
    const QRect cell = list.visualRect(list.model()->index(row, 0));
    return list.viewport()->rect().intersects(cell) && cell.top() >= 0 && cell.bottom() <= list.viewport()->height();
}

struct Corners {
    QPoint fromTopLeft;
    QPoint fromTopRight;
    QPoint fromBottomRight;
    QPoint fromBottomLeft;
};

// Where `widget` sits, measured from each corner of its window.
Corners cornersOf(const QWidget& widget)
{
    const QSize window = widget.window()->size();
    const QRect place = widget.geometry();
    return {place.topLeft(), QPoint(window.width() - place.left(), place.top()),
            QPoint(window.width() - place.left(), window.height() - place.top()),
            QPoint(place.left(), window.height() - place.top())};
}

}  // namespace

class WindowLayoutTest : public QObject {
    Q_OBJECT

private:
    sonarel::testing::MainWindowScratch scratch_;
    QStringList tones_;

    // A shown window whose list holds `rows` entries.
    std::unique_ptr<MainWindowFixture> windowWithRows(int rows)
    {
        auto f = scratch_.makeWindow();
        QStringList paths;
        for (int i = 0; i < rows; ++i)
            paths << tones_[i % tones_.size()];
        f->dialog.addFiles(paths);
        f->dialog.show();
        return QTest::qWaitForWindowExposed(&f->dialog) ? std::move(f) : nullptr;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(scratch_.setUp());
        for (const char* name : {"one.wav", "two.wav", "three.wav"})
            tones_ << scratch_.tone(QString::fromLatin1(name), 0.1);
    }

    void growingShowsMoreRowsAndKeepsButtonsAtTheirCorners()
    {
        auto f = windowWithRows(40);
        QVERIFY(f);
        MainDialog& window = f->dialog;
        const QSize drawn = window.size();
        QCOMPARE(drawn, window.minimumSize());
        QVERIFY(!window.isMaximized() && window.maximumSize().width() > drawn.width());

        // The menu bar lies above the button row, over the whole width.
        auto* menuBar = window.findChild<QMenuBar*>();
        QVERIFY(menuBar && menuBar->isVisible());
        QCOMPARE(menuBar->geometry().top(), 0);
        QCOMPARE(menuBar->width(), window.width());
        QVERIFY(menuBar->geometry().bottom() < f->control(kIdAdd)->geometry().top());

        MixListView& list = window.mixList();
        const int rowsBefore = shownRows(list);
        const int nameBefore = list.columnWidth(0);
        const int otherBefore = list.columnWidth(1);
        const int statusBefore = f->control(kIdStatusLine)->width();
        const int sideGap = f->control(kIdDeleteSelected)->x() - list.geometry().right();
        std::map<int, Corners> before;
        for (int id : {kIdAdd, kIdOptions, kIdMix, kIdHelp, kIdExit, kIdDeleteSelected, kIdDeleteAll, kIdProperties,
                       kIdHomepage, kIdAbout, kIdStatusLine})
            before[id] = cornersOf(*f->control(id));

        window.resize(drawn + QSize(300, 240));
        QTRY_COMPARE(window.size(), drawn + QSize(300, 240));
        QTRY_VERIFY(shownRows(list) > rowsBefore + 8);
        QVERIFY(list.columnWidth(0) >= nameBefore + 290);
        QCOMPARE(list.columnWidth(1), otherBefore);
        QCOMPARE(f->control(kIdStatusLine)->width(), statusBefore + 300);
        QCOMPARE(menuBar->width(), window.width());
        for (int id : {kIdAdd, kIdOptions, kIdMix, kIdHelp, kIdExit})
            QCOMPARE(cornersOf(*f->control(id)).fromTopLeft, before[id].fromTopLeft);
        for (int id : {kIdDeleteSelected, kIdDeleteAll, kIdProperties})
            QCOMPARE(cornersOf(*f->control(id)).fromTopRight, before[id].fromTopRight);
        for (int id : {kIdHomepage, kIdAbout})
            QCOMPARE(cornersOf(*f->control(id)).fromBottomRight, before[id].fromBottomRight);
        QCOMPARE(cornersOf(*f->control(kIdStatusLine)).fromBottomLeft, before[kIdStatusLine].fromBottomLeft);
        // The side buttons stay beside the list, the bottom row below it.
        QCOMPARE(f->control(kIdDeleteSelected)->x() - list.geometry().right(), sideGap);
        QVERIFY(f->control(kIdHomepage)->y() > list.geometry().bottom());

        // Never smaller than drawn; back at the drawn size everything is where it was.
        window.resize(drawn / 2);
        QTRY_COMPARE(window.size(), drawn);
        for (const auto& [id, corners] : before)
            QCOMPARE(cornersOf(*f->control(id)).fromTopLeft, corners.fromTopLeft);
        QCOMPARE(shownRows(list), rowsBefore);
    }

    void sizeAndPlaceComeBackInTheNextRun()
    {
        const QString profileName = QStringLiteral("sonarel-ui-place");
        const QString music = scratch_.path(QStringLiteral("Music"));
        QSize drawn;
        {
            MainWindowFixture f(profileName, music);
            f.dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&f.dialog));
            drawn = f.dialog.size();
            f.dialog.move(57, 43);
            f.dialog.resize(drawn + QSize(211, 97));
            QTRY_COMPARE(f.dialog.size(), drawn + QSize(211, 97));
            QVERIFY(f.dialog.close());
        }
        MainWindowFixture again(profileName, music);
        QCOMPARE(again.dialog.size(), drawn + QSize(211, 97));
        again.dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again.dialog));
        QCOMPARE(again.dialog.size(), drawn + QSize(211, 97));
        QCOMPARE(again.dialog.pos(), QPoint(57, 43));

        // A profile without a place (or with rubbish) starts at the drawn size.
        again.profile.WriteString(QStringLiteral("Window"), QStringLiteral("Geometry"),
                                  QStringLiteral("bm90IGEgcGxhY2U="));
        MainWindowFixture damaged(profileName, music);
        QCOMPARE(damaged.dialog.size(), drawn);
    }

    void addShowsTheRowsItAppended()
    {
        auto f = windowWithRows(60);
        QVERIFY(f);
        MixListView& list = f->dialog.mixList();
        list.scrollToTop();
        QVERIFY(!rowShown(list, 59));

        // Fewer new rows than fit: all of them come into view.
        f->desktop.filesToOpen.push_back({tones_[0], tones_[1], tones_[2]});
        QTest::mouseClick(f->button(kIdAdd), Qt::LeftButton);
        QCOMPARE(f->rows(), 63);
        for (int row = 60; row < 63; ++row)
            QVERIFY2(rowShown(list, row), qPrintable(QString::number(row)));

        // More than fit: the first of them is shown, at the top.
        list.scrollToTop();
        QStringList many;
        for (int i = 0; i < 40; ++i)
            many << tones_[i % tones_.size()];
        f->desktop.filesToOpen.push_back(many);
        QTest::mouseClick(f->button(kIdAdd), Qt::LeftButton);
        QCOMPARE(f->rows(), 103);
        QVERIFY(rowShown(list, 63));
        QVERIFY(!rowShown(list, 102));
        QVERIFY(!rowShown(list, 62));
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "WindowLayoutTest.moc"
