// SPDX-License-Identifier: GPL-3.0-or-later
// Editing in the timeline: what a press on a bar takes hold of and what a drag makes of the entry,
// then the real window driven by the mouse and the keyboard: moves, trims and fades reach the list
// at once as one undo step each, snap to other entries and the ruler unless Shift is held, and
// Escape cancels; muted entries are drawn as muted.
#include <QAction>
#include <QtTest>
#include <functional>

#include "app/arrangement/ArrangementView.h"
#include "app/arrangement/ArrangementWindow.h"
#include "app/arrangement/BarDrag.h"
#include "model/ListHistory.h"
#include "model/MixListRows.h"
#include "render/EngineEntry.h"
#include "support/MainWindowFixture.h"
#include "support/WavFile.h"

using namespace sonarel;

namespace {

constexpr REFERENCE_TIME kSecond = 10'000'000;

REFERENCE_TIME seconds(double s)
{
    return static_cast<REFERENCE_TIME>(std::llround(s * kSecond));
}

MixItem entry(double start, double duration, double speed = 1.0)
{
    MixItem item;
    item.filePath = "/nowhere/entry.wav";
    item.startTime = seconds(start);
    item.duration = seconds(duration);
    item.speed = speed;
    return item;
}

// Presses at `from`, moves the pointer to `to` in two steps with `modifiers` held, and releases.
void drag(QWidget* viewport, QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = {}, bool release = true)
{
    QTest::mousePress(viewport, Qt::LeftButton, modifiers, from);
    for (const QPoint& at : {from + (to - from) / 2, to}) {
        QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, modifiers);
        QApplication::sendEvent(viewport, &move);
    }
    if (release)
        QTest::mouseRelease(viewport, Qt::LeftButton, modifiers, to);
}

}  // namespace

class TimelineEditingTest : public QObject {
    Q_OBJECT

private:
    sonarel::testing::MainWindowScratch scratch_;
    int files_ = 0;

    QString tone(double seconds)
    {
        const QString path = scratch_.path(QStringLiteral("tone%1.wav").arg(++files_));
        sonarel::testing::writeWav16(path.toStdString(), 2, 8000,
                                     sonarel::testing::sine16(2, 8000, seconds, 220, 12000));
        return path;
    }

    // The main window with entries of `lengths` seconds, started at `starts`, and its timeline open.
    struct Timeline {
        std::unique_ptr<sonarel::testing::MainWindowFixture> f;
        ArrangementWindow* window = nullptr;

        ArrangementView& view() { return window->view(); }
        QWidget* viewport() { return view().viewport(); }
        MixItem& at(int i) { return f->dialog.store().at(i); }
        double pps() { return view().layout().pixelsPerSecond(); }
        // A distance of `s` seconds in whole pixels, and the output time those pixels stand for.
        int pixels(double s) { return static_cast<int>(std::lround(s * pps())); }
        REFERENCE_TIME timeOf(int px) { return static_cast<REFERENCE_TIME>(std::llround(px / pps() * kSecond)); }
        QPoint middle(int i) { return view().barOnViewport(i).center().toPoint(); }
        QPoint leftEdge(int i) { return QPointF(view().barOnViewport(i).left() + 1, middle(i).y()).toPoint(); }
        QPoint rightEdge(int i) { return QPointF(view().barOnViewport(i).right() - 1, middle(i).y()).toPoint(); }
        QPoint handle(int i, BarPart part) { return view().fadeHandleOnViewport(i, part).toPoint(); }
        QList<int> selectedRows()
        {
            QList<int> rows;
            for (const QModelIndex& index : f->list().selectionModel()->selectedRows())
                rows << index.row();
            std::sort(rows.begin(), rows.end());
            return rows;
        }
        // The main window's Undo and Redo, as their shortcuts reach them.
        QAction* action(const QKeySequence& keys)
        {
            for (QAction* candidate : f->dialog.actions())
                if (candidate->shortcut() == keys)
                    return candidate;
            qFatal("no command for %s", qPrintable(keys.toString()));
        }
        QAction* undoAction() { return action(QKeySequence(Qt::CTRL | Qt::Key_Z)); }
        void undo() { undoAction()->trigger(); }
        void redo() { action(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z))->trigger(); }
    };

    Timeline open(const std::vector<std::pair<double, double>>& entries, double speedOfSecond = 1.0)
    {
        Timeline t;
        t.f = scratch_.makeWindow();
        QStringList paths;
        for (const auto& e : entries)
            paths << tone(e.second);
        t.f->dialog.addFiles(paths);
        for (int i = 0; i < static_cast<int>(entries.size()); ++i)
            t.at(i).startTime = seconds(entries[static_cast<std::size_t>(i)].first);
        if (entries.size() > 1)
            t.at(1).speed = speedOfSecond;
        t.f->list().refresh(t.f->dialog.store());
        t.f->dialog.show();
        t.f->dialog.arrangementCommand();
        t.window = t.f->dialog.arrangementWindow();
        (void)QTest::qWaitForWindowActive(t.window);
        return t;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(scratch_.setUp()); }

    void barsShowThePlayedPartItsFadesAndItsCuts()
    {
        MixItemStore store;
        MixItem a = entry(1, 10, 2);
        a.inPoint = seconds(2);
        a.outPoint = seconds(7);
        a.fadeIn = seconds(2);
        a.fadeOut = seconds(3);  // 5 s of fades on a 2.5 s bar: both shrink in proportion
        MixItem b = entry(0, 10);
        b.outPoint = seconds(20);  // past the end: plays to the end, nothing cut there
        b.muted = true;
        QVERIFY(store.append(a) == AppendResult::Appended);
        QVERIFY(store.append(b) == AppendResult::Appended);
        ArrangementLayout layout;
        layout.setEntries(store);
        layout.setPixelsPerSecond(10);
        const ArrangementBar& trimmed = layout.bars()[0];
        const TimelineTimes times = timelineTimesOf(a);
        QCOMPARE(trimmed.lengthSeconds, static_cast<double>(times.stop - times.start) / kSecond);
        QCOMPARE(trimmed.lengthSeconds, 2.5);
        QCOMPARE(trimmed.slot.width(), 25.0);
        QCOMPARE(trimmed.inSeconds, 2.0);
        QCOMPARE(trimmed.fadeInSeconds, 1.0);
        QCOMPARE(trimmed.fadeOutSeconds, 1.5);
        QVERIFY(trimmed.cutStart && trimmed.cutEnd);
        const ArrangementBar& muted = layout.bars()[1];
        QVERIFY(!muted.cutStart && !muted.cutEnd && muted.muted);
        QCOMPARE(muted.lengthSeconds, 10.0);
        // The muted entry keeps its lane but not its place in the mix's length.
        QCOMPARE(layout.laneCount(), 2);
        QCOMPARE(layout.totalSeconds(), 3.5);
    }

    void pressesTakeTheRightPartAndDragsKeepEntriesPlayable()
    {
        MixItemStore store;
        QVERIFY(store.append(entry(0, 10)) == AppendResult::Appended);     // 0 .. 100 px
        QVERIFY(store.append(entry(20, 8, 2)) == AppendResult::Appended);  // 200 .. 240 px, lane 0
        QVERIFY(store.append(entry(20, -1)) == AppendResult::Appended);    // no length: lane 1
        QVERIFY(store.append(entry(40, 0.1)) == AppendResult::Appended);   // 1 px wide bar
        ArrangementLayout layout;
        layout.setEntries(store);
        layout.setPixelsPerSecond(10);
        const QRectF a = layout.bars()[0].slot;
        const double y = a.center().y();
        const struct {
            QPointF at;
            int index;
            BarPart part;
        } presses[] = {
            {{a.center().x(), y}, 0, BarPart::Body},
            {{a.left() + 2, y}, 0, BarPart::LeftEdge},
            {{a.right() - 2, y}, 0, BarPart::RightEdge},
            {{a.left() + 2, a.top() + 1}, 0, BarPart::FadeInHandle},
            {{a.right() - 3, a.top() - 3}, 0, BarPart::FadeOutHandle},  // just above the bar
            {{a.right() + 20, y}, -1, BarPart::None},
            {{layout.bars()[2].slot.left() + 1, layout.bars()[2].slot.center().y()}, 2, BarPart::Body},
            {layout.bars()[3].slot.center(), 3, BarPart::Body},  // a sliver is moved, not faded
        };
        for (const auto& press : presses) {
            const BarHit hit = hitBar(layout, press.at);
            QCOMPARE(hit.index, press.index);
            QCOMPARE(hit.part, press.part);
        }
        QCOMPARE(BarDrag(store, 2, BarPart::LeftEdge, layout).part(), BarPart::None);  // nothing to trim

        // The left edge at speed 2: one second of output is two of the file, the end stays put,
        // and neither the file's start nor the output's start is passed.
        BarDrag left(store, 1, BarPart::LeftEdge, layout);
        MixItem trimmed = left.moved(seconds(1.5), false);
        QCOMPARE(trimmed.startTime, seconds(21.5));
        QCOMPARE(trimmed.inPoint, seconds(3));
        QCOMPARE(timelineTimesOf(trimmed).stop, timelineTimesOf(store.at(1)).stop);
        QCOMPARE(left.moved(-seconds(3), false).inPoint, 0);
        QCOMPARE(left.moved(-seconds(3), false).startTime, seconds(20));
        QCOMPARE(left.moved(seconds(30), false).inPoint, seconds(8) - BarDrag::kShortestPart);
        store.at(1).startTime = seconds(0.5);
        store.at(1).inPoint = seconds(4);
        const MixItem early = BarDrag(store, 1, BarPart::LeftEdge, layout).moved(-seconds(2), false);
        QCOMPARE(early.startTime, 0);
        QCOMPARE(early.inPoint, seconds(3));

        // The right edge: out never before in, and back at the file's end it is no cut at all.
        BarDrag right(store, 1, BarPart::RightEdge, layout);
        QCOMPARE(right.moved(-seconds(1), false).outPoint, seconds(6));
        QCOMPARE(right.moved(-seconds(10), false).outPoint, seconds(4) + BarDrag::kShortestPart);
        QCOMPARE(right.moved(seconds(0.5), false).outPoint, kToSourceEnd);

        // Fades: 0 .. the entry's length, and the two together never longer than it.
        store.at(0).fadeOut = seconds(4);
        BarDrag fadeIn(store, 0, BarPart::FadeInHandle, layout);
        QCOMPARE(fadeIn.moved(seconds(2.5), true).fadeIn, seconds(2.5));
        QCOMPARE(fadeIn.moved(-seconds(1), true).fadeIn, 0);
        QCOMPARE(fadeIn.moved(seconds(60), true).fadeIn, seconds(6));
        BarDrag fadeOut(store, 0, BarPart::FadeOutHandle, layout);
        QCOMPARE(fadeOut.moved(-seconds(1), true).fadeOut, seconds(5));
        QCOMPARE(fadeOut.moved(seconds(9), true).fadeOut, 0);
        QCOMPARE(fadeOut.moved(-seconds(60), true).fadeOut, seconds(10));

        // A move never takes an entry before the start of the mix.
        QCOMPARE(BarDrag(store, 0, BarPart::Body, layout).moved(-seconds(5), false).startTime, 0);
    }

    void dragsMoveTrimAndFadeAsOneUndoStepEachShownInTheListAtOnce()
    {
        Timeline t = open({{0, 4}, {6, 4}}, 2.0);  // 0 .. 4 and 6 .. 8 (at double speed)
        ArrangementView& view = t.view();
        const MixItem before = t.at(0);
        const QString startText = t.f->cell(0, 3);

        // The pointer tells what a press would take hold of.
        const std::pair<QPoint, Qt::CursorShape> hovers[] = {
            {t.middle(0), Qt::OpenHandCursor},
            {t.leftEdge(1), Qt::SizeHorCursor},
            {t.handle(0, BarPart::FadeInHandle), Qt::PointingHandCursor},
            {t.middle(0) + QPoint(0, 200), Qt::ArrowCursor}};
        for (const auto& [at, shape] : hovers) {
            QMouseEvent hover(QEvent::MouseMove, at, t.viewport()->mapToGlobal(at), Qt::NoButton, {}, {});
            QApplication::sendEvent(t.viewport(), &hover);
            QCOMPARE(t.viewport()->cursor().shape(), shape);
        }

        // Move: the bar follows the pointer (Shift: exactly, no snapping).
        const int px = t.pixels(1.37);
        drag(t.viewport(), t.middle(0), t.middle(0) + QPoint(px, 0), Qt::ShiftModifier);
        QCOMPARE(t.at(0).startTime, t.timeOf(px));
        QCOMPARE(t.f->cell(0, 3), QString::fromStdString(secondsText(t.at(0).startTime)));
        QVERIFY(t.f->cell(0, 3) != startText);
        QCOMPARE(view.layout().bars()[0].startSeconds, static_cast<double>(t.at(0).startTime) / kSecond);
        QCOMPARE(t.undoAction()->text(), QStringLiteral("&Undo Move"));
        t.undo();
        QVERIFY(sameProperties(t.at(0), before));
        QCOMPARE(t.f->cell(0, 3), startText);
        QCOMPARE(view.layout().bars()[0].startSeconds, 0.0);
        t.redo();
        QCOMPARE(t.at(0).startTime, t.timeOf(px));
        t.undo();

        // Trim the start of the double-speed entry: in moves twice as far as the start; the end stays.
        const TimelineTimes untrimmed = timelineTimesOf(t.at(1));
        const int cut = t.pixels(0.5);
        drag(t.viewport(), t.leftEdge(1), t.leftEdge(1) + QPoint(cut, 0), Qt::ShiftModifier);
        QCOMPARE(t.at(1).startTime, seconds(6) + t.timeOf(cut));
        QCOMPARE(t.at(1).inPoint, 2 * t.timeOf(cut));
        QVERIFY(std::abs(timelineTimesOf(t.at(1)).stop - untrimmed.stop) <= 1);
        QVERIFY(view.layout().bars()[1].cutStart);

        // Trim the end of the first: out is set; the untouched start stays.
        const int shorter = t.pixels(1.0);
        drag(t.viewport(), t.rightEdge(0), t.rightEdge(0) - QPoint(shorter, 0), Qt::ShiftModifier);
        QCOMPARE(t.at(0).outPoint, seconds(4) - t.timeOf(shorter));
        QCOMPARE(t.at(0).startTime, 0);
        QCOMPARE(t.at(0).inPoint, 0);

        // Fade in and out by their handles.
        const int fadeIn = t.pixels(0.8);
        drag(t.viewport(), t.handle(0, BarPart::FadeInHandle), t.handle(0, BarPart::FadeInHandle) + QPoint(fadeIn, 0));
        QCOMPARE(t.at(0).fadeIn, t.timeOf(fadeIn));
        const int fadeOut = t.pixels(1.1);
        drag(t.viewport(), t.handle(0, BarPart::FadeOutHandle),
             t.handle(0, BarPart::FadeOutHandle) - QPoint(fadeOut, 0));
        QCOMPARE(t.at(0).fadeOut, t.timeOf(fadeOut));
        QCOMPARE(view.layout().bars()[0].fadeOutSeconds, static_cast<double>(t.at(0).fadeOut) / kSecond);

        // Four drags, four steps, each named: undone one at a time by the keys of the timeline
        // window itself, each exactly, and made again there.
        const auto keyInTimeline = [&view](Qt::KeyboardModifiers modifiers) {
            QTest::keyClick(&view, Qt::Key_Z, modifiers);
        };
        QCOMPARE(t.undoAction()->text(), QStringLiteral("&Undo Fade"));
        keyInTimeline(Qt::ControlModifier);
        QCOMPARE(t.at(0).fadeOut, 0);
        QCOMPARE(t.at(0).fadeIn, t.timeOf(fadeIn));
        keyInTimeline(Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(t.at(0).fadeOut, t.timeOf(fadeOut));
        keyInTimeline(Qt::ControlModifier);
        keyInTimeline(Qt::ControlModifier);
        QCOMPARE(t.at(0).fadeIn, 0);
        QCOMPARE(t.undoAction()->text(), QStringLiteral("&Undo Trim"));
        t.undo();
        QCOMPARE(t.at(0).outPoint, kToSourceEnd);
        QCOMPARE(t.at(1).inPoint, 2 * t.timeOf(cut));
        t.undo();
        QCOMPARE(t.at(1).inPoint, 0);
        QCOMPARE(t.at(1).startTime, seconds(6));
        QVERIFY(sameProperties(t.at(0), before));

        // A press without a drag changes nothing and leaves no step.
        const QString undoText = t.undoAction()->text();
        QTest::mouseClick(t.viewport(), Qt::LeftButton, {}, t.middle(0));
        QCOMPARE(t.undoAction()->text(), undoText);
        QVERIFY(sameProperties(t.at(0), before));
    }

    // While it moves, a drag shows the time it sets, as the list then shows it; after the release
    // the readout is gone.
    void aDragShowsTheTimeItSetsWhileItMoves()
    {
        Timeline t = open({{0, 4}, {6, 4}}, 2.0);
        struct Case {
            std::function<QPoint()> from;  // read when the drag begins: the bars before it
            int by;
            QString label;
            std::function<REFERENCE_TIME()> set;  // the value after the release
        };
        const Case cases[] = {
            {[&] { return t.middle(0); }, t.pixels(1.37), QStringLiteral("Start"), [&] { return t.at(0).startTime; }},
            {[&] { return t.leftEdge(1); }, t.pixels(0.5), QStringLiteral("In"), [&] { return t.at(1).inPoint; }},
            {[&] { return t.rightEdge(0); }, -t.pixels(1.0), QStringLiteral("Out"), [&] { return t.at(0).outPoint; }},
            {[&] { return t.handle(0, BarPart::FadeInHandle); }, t.pixels(0.8), QStringLiteral("Fade in"),
             [&] { return t.at(0).fadeIn; }},
            {[&] { return t.handle(0, BarPart::FadeOutHandle); }, -t.pixels(1.1), QStringLiteral("Fade out"),
             [&] { return t.at(0).fadeOut; }},
        };
        for (const Case& c : cases) {
            const QPoint from = c.from();
            const QPoint to = from + QPoint(c.by, 0);
            drag(t.viewport(), from, to, Qt::ShiftModifier, false);
            const QString shown = t.view().dragReadout();
            QTest::mouseRelease(t.viewport(), Qt::LeftButton, Qt::ShiftModifier, to);
            QCOMPARE(shown,
                     c.label + QLatin1Char(' ') + QString::fromStdString(secondsText(c.set())) + QStringLiteral(" s"));
            QCOMPARE(t.view().dragReadout(), QString());
            t.undo();
        }
    }

    void movesAndTrimsSnapToOtherEntriesAndTheRulerUnlessShiftIsHeld()
    {
        Timeline t = open({{0, 4}, {6.3, 4}});  // 0 .. 4 and 6.3 .. 10.3, off the ruler's ticks
        const REFERENCE_TIME reach = t.timeOf(static_cast<int>(BarDrag::kSnapPixels));
        QVERIFY2(t.pixels(t.view().layout().tickStep()) > 4 * BarDrag::kSnapPixels, "ticks far apart");

        // The first entry's end comes 3 pixels short of the second's start: it lands on it.
        const int px = t.pixels(2.3) - 3;
        drag(t.viewport(), t.middle(0), t.middle(0) + QPoint(px, 0));
        QCOMPARE(timelineTimesOf(t.at(0)).stop, seconds(6.3));
        QCOMPARE(t.at(0).startTime, seconds(2.3));
        t.undo();
        drag(t.viewport(), t.middle(0), t.middle(0) + QPoint(px, 0), Qt::ShiftModifier);
        QCOMPARE(t.at(0).startTime, t.timeOf(px));
        QVERIFY(seconds(2.3) - t.at(0).startTime > reach / 3);
        t.undo();
        // Shift pressed and let go while the bar is held: it leaves the snap and comes back.
        const QPoint held = t.middle(0) + QPoint(px, 0);
        drag(t.viewport(), t.middle(0), held, {}, false);
        QTest::keyPress(&t.view(), Qt::Key_Shift, Qt::ShiftModifier);
        QCOMPARE(t.view().layout().bars()[0].startSeconds, static_cast<double>(t.timeOf(px)) / kSecond);
        QTest::keyRelease(&t.view(), Qt::Key_Shift);
        QCOMPARE(t.view().layout().bars()[0].startSeconds, 2.3);
        QTest::mouseRelease(t.viewport(), Qt::LeftButton, {}, held);
        QCOMPARE(t.at(0).startTime, seconds(2.3));
        t.undo();

        // Trimmed edges snap to the ruler's ticks; a start with nothing before it in the file stays.
        const double step = t.view().layout().tickStep();
        drag(t.viewport(), t.leftEdge(1), t.leftEdge(1) - QPoint(t.pixels(2.3) - 2, 0));
        QCOMPARE(t.at(1).startTime, seconds(6.3));
        const double after = std::ceil(6.4 / step) * step;
        drag(t.viewport(), t.leftEdge(1), t.leftEdge(1) + QPoint(t.pixels(after - 6.3) + 3, 0));
        QCOMPARE(t.at(1).startTime, seconds(after));
        QCOMPARE(t.at(1).inPoint, seconds(after) - seconds(6.3));
        t.undo();
        const double before = std::floor(3.9 / step) * step;
        drag(t.viewport(), t.rightEdge(0), t.rightEdge(0) - QPoint(t.pixels(4.0 - before) - 3, 0));
        QCOMPARE(t.at(0).outPoint, seconds(before));
        t.undo();

        // The second entry moved near a tick of the ruler lands on it.
        const double tick = std::ceil(8.0 / step) * step;
        drag(t.viewport(), t.middle(1), t.middle(1) + QPoint(t.pixels(tick - 6.3) - 2, 0));
        QCOMPARE(t.at(1).startTime, seconds(tick));
    }

    void escapeCancelsADragAndCtrlArrowsNudge()
    {
        Timeline t = open({{1, 4}, {6, 2}});
        ArrangementView& view = t.view();
        const QString undoText = t.undoAction()->text();
        const QPoint held = t.middle(0) + QPoint(t.pixels(1.5), 0);
        drag(t.viewport(), t.middle(0), held, {}, false);
        QVERIFY(view.isDragging());
        QVERIFY(view.layout().bars()[0].startSeconds > 2.0);  // shown where it is going
        QTest::keyClick(&view, Qt::Key_Escape);
        QVERIFY(!view.isDragging());
        QVERIFY(t.window->isVisible());  // Escape ended the drag, not the window
        QCOMPARE(view.layout().bars()[0].startSeconds, 1.0);
        QTest::mouseRelease(t.viewport(), Qt::LeftButton, {}, held);
        QCOMPARE(t.at(0).startTime, seconds(1));
        QCOMPARE(t.undoAction()->text(), undoText);

        // With the first bar current, Ctrl+Right moves its start by a tick, with Shift by a tenth.
        QTest::mouseClick(t.viewport(), Qt::LeftButton, {}, t.middle(0));
        const REFERENCE_TIME tick = seconds(view.layout().tickStep());
        QTest::keyClick(&view, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(t.at(0).startTime, seconds(1) + tick);
        QCOMPARE(t.f->cell(0, 3), QString::fromStdString(secondsText(t.at(0).startTime)));
        QTest::keyClick(&view, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(t.at(0).startTime, seconds(1) + tick - seconds(view.layout().tickStep() / 10));
        t.undo();
        QCOMPARE(t.at(0).startTime, seconds(1) + tick);
        t.undo();
        QCOMPARE(t.at(0).startTime, seconds(1));
        QTest::mouseClick(t.viewport(), Qt::LeftButton, {}, t.middle(0));  // Undo refilled the list
        for (int i = 0; i < 40; ++i)
            QTest::keyClick(&view, Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(t.at(0).startTime, 0);         // never before the mix's start
        QTest::keyClick(&view, Qt::Key_Right);  // plain arrows still walk the entries
        QCOMPARE(t.selectedRows(), QList<int>{1});
        QTest::keyClick(&view, Qt::Key_Escape);  // no drag: Escape closes the window as before
        QVERIFY(!t.window->isVisible());
    }

    // Whichever way the list changes (a command of the main window, a key in the timeline, a button),
    // The level line of the current bar: Ctrl and a click add a point on it, a drag moves a point in
    // the file's time and in level (with the level shown beside the pointer), Delete and a double
    // click remove one; each edit is one undo step, named, and the bar keeps its place throughout.
    void volumePointsAreAddedMovedAndRemovedOneUndoStepEach()
    {
        Timeline t = open({{1.0, 4.0}});
        QTest::mouseClick(t.viewport(), Qt::LeftButton, {}, t.middle(0));  // the bar becomes current
        const QRectF slot = t.view().barOnViewport(0);
        const auto onLine = [&](double fileSeconds) {  // the flat line lies half-way up the slot
            return QPointF(slot.left() + fileSeconds * t.pps(), slot.center().y()).toPoint();
        };
        const auto points = [&] { return t.at(0).volumePoints; };
        const REFERENCE_TIME pixel = t.timeOf(1);

        QTest::mouseClick(t.viewport(), Qt::LeftButton, Qt::ControlModifier, onLine(1.0));
        QTest::mouseClick(t.viewport(), Qt::LeftButton, Qt::ControlModifier, onLine(3.0));
        QCOMPARE(points().size(), std::size_t{2});
        QVERIFY(std::abs(points()[0].time - seconds(1.0)) <= pixel);
        QVERIFY(std::abs(points()[1].time - seconds(3.0)) <= pixel);
        QCOMPARE(points()[0].level, 1.0);
        QCOMPARE(t.undoAction()->text(), QStringLiteral("&Undo Volume Point"));
        QCOMPARE(t.at(0).startTime, seconds(1.0));
        QCOMPARE(t.f->dialog.store().audioCount(), 1);

        // Half a second earlier and a quarter of the slot lower: level 0.5.
        const VolumePoints added = points();
        const QPoint from = t.view().volumePointOnViewport(0, 1).toPoint();
        const int down = static_cast<int>(std::lround((slot.height() - 2) / 4));
        drag(t.viewport(), from, from + QPoint(-t.pixels(0.5), down), {}, false);
        QVERIFY2(t.view().dragReadout().contains(QStringLiteral(", level 0.")), qPrintable(t.view().dragReadout()));
        QTest::mouseRelease(t.viewport(), Qt::LeftButton, {}, from + QPoint(-t.pixels(0.5), down));
        QVERIFY(std::abs(points()[1].time - (added[1].time - t.timeOf(t.pixels(0.5)))) <= pixel);
        QVERIFY(std::abs(points()[1].level - 0.5) < 0.05);
        QCOMPARE(points()[0], added[0]);
        t.undo();
        QCOMPARE(points(), added);
        t.redo();
        QVERIFY(std::abs(points()[1].level - 0.5) < 0.05);

        // Delete takes the point last pressed; a double click the one under the pointer.
        const VolumePoints moved = points();
        t.view().setFocus();
        QTest::keyClick(&t.view(), Qt::Key_Delete);
        QCOMPARE(points(), VolumePoints{moved[0]});
        QCOMPARE(t.f->dialog.store().audioCount(), 1);  // the entry stays
        QTest::mouseDClick(t.viewport(), Qt::LeftButton, {}, t.view().volumePointOnViewport(0, 0).toPoint());
        QVERIFY(points().empty());
        QCOMPARE(t.undoAction()->text(), QStringLiteral("&Undo Volume Point"));
        t.undo();
        QCOMPARE(points(), VolumePoints{moved[0]});
        t.undo();
        QCOMPARE(points(), moved);

        // Trimming the bar leaves the points on the file's time.
        drag(t.viewport(), t.leftEdge(0), t.leftEdge(0) + QPoint(t.pixels(0.5), 0), Qt::ShiftModifier);
        QVERIFY(t.at(0).inPoint > 0);
        QCOMPARE(points(), moved);
    }

    // the rows, the bars and Undo all show the same list, and one Undo takes the change back in all.
    void aChangeMadeAnywhereIsSeenByTheRowsTheBarsAndUndoAlike()
    {
        struct Case {
            const char* what;
            std::function<void(Timeline&)> change;
            const char* undo;
        };
        auto selectRow = [](Timeline& t, int row) {
            t.f->list().selectionModel()->select(t.f->list().model()->index(row, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        };
        const Case cases[] = {
            {"Mute from the main window",
             [&](Timeline& t) {
                 selectRow(t, 1);
                 t.action(QKeySequence(Qt::CTRL | Qt::Key_M))->trigger();
             },
             "&Undo Edit"},
            {"a nudge in the timeline",
             [](Timeline& t) {
                 QTest::mouseClick(t.viewport(), Qt::LeftButton, {}, t.middle(2));
                 QTest::keyClick(&t.view(), Qt::Key_Right, Qt::ControlModifier);
             },
             "&Undo Move"},
            {"the delete button",
             [&](Timeline& t) {
                 selectRow(t, 0);
                 QTest::mouseClick(t.f->button(kIdDeleteSelected), Qt::LeftButton);
             },
             "&Undo Delete"},
        };
        auto agree = [](Timeline& t) {
            const MixItemStore& store = t.f->dialog.store();
            QCOMPARE(t.f->rows(), store.audioCount());
            QCOMPARE(t.view().layout().bars().size(), static_cast<std::size_t>(store.audioCount()));
            for (int i = 0; i < store.audioCount(); ++i) {
                const MixItem& item = store.at(i);
                QCOMPARE(t.f->cell(i, 3), QString::fromStdString(secondsText(item.startTime)));
                QCOMPARE(t.f->cell(i, 0).endsWith(QStringLiteral("(muted)")), item.muted);
                QCOMPARE(t.view().layout().bars()[static_cast<std::size_t>(i)].startSeconds,
                         static_cast<double>(item.startTime) / kSecond);
                QCOMPARE(t.view().barText(i).endsWith(QStringLiteral("(muted)")), item.muted);
            }
        };
        for (const Case& c : cases) {
            Timeline t = open({{0, 1}, {1, 1}, {2, 1}});
            const ListSnapshot before = snapshotOf(t.f->dialog.store());
            c.change(t);
            QVERIFY2(!storeMatches(t.f->dialog.store(), before), c.what);
            agree(t);
            QCOMPARE(t.undoAction()->text(), QString::fromUtf8(c.undo));
            t.undo();
            QVERIFY2(storeMatches(t.f->dialog.store(), before), c.what);
            agree(t);
        }
    }

    void mutedEntriesAreDrawnMutedInTheirLanes()
    {
        Timeline t = open({{0, 3}, {0, 3}});
        t.at(1).muted = true;
        t.f->list().updateRow(t.f->dialog.store(), 1);
        ArrangementView& view = t.view();
        QCOMPARE(view.layout().laneCount(), 2);
        QCOMPARE(view.layout().totalSeconds(), 3.0);
        QVERIFY(view.barText(1).endsWith(QStringLiteral("(muted)")));
        QVERIFY(!view.barText(0).contains(QStringLiteral("muted")));
        QTest::mouseClick(t.viewport(), Qt::LeftButton, {}, t.middle(1));
        QVERIFY(view.accessibleDescription().contains(QStringLiteral("muted")));
        QTest::mouseClick(t.viewport(), Qt::LeftButton, {},
                          QPoint(t.viewport()->width() - 5, t.viewport()->height() - 5));
        // The same spot of each bar: coloured when it plays, grey when muted.
        const QImage picture = view.renderPicture();
        auto colour = [&](int i) {
            const QRectF body = view.layout().bars()[static_cast<std::size_t>(i)].body;
            return picture.pixelColor(QPoint(static_cast<int>(body.right() - 12), static_cast<int>(body.top() + 3)));
        };
        QVERIFY2(colour(0).hsvSaturationF() > 0.3, qPrintable(colour(0).name()));
        QVERIFY2(colour(1).hsvSaturationF() < 0.1, qPrintable(colour(1).name()));
    }
};

QTEST_MAIN(TimelineEditingTest)
#include "TimelineEditingTest.moc"
