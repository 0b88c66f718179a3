// SPDX-License-Identifier: GPL-3.0-or-later
// The arrangement window ("Timeline"): its geometry, how it follows and shares the list, peaks and their cache,
// the play-head, and the exported picture.
#include <QAction>
#include <QImageReader>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>
#include <cstdlib>

#include <QLineEdit>

#include "app/arrangement/ArrangementView.h"
#include "app/arrangement/ArrangementWindow.h"
#include "settings/ui/AudioSettingsDialog.h"
#include "support/MainWindowFixture.h"
#include "support/WavFile.h"

using namespace sonarel;

namespace {

constexpr REFERENCE_TIME kSecond = 10'000'000;

struct Spec {
    double start;
    double duration;  // seconds; <= 0: not measured
    double speed;
    double volume = 1.0;
};

void fill(MixItemStore& store, const std::vector<Spec>& specs)
{
    store.clear();
    int n = 0;
    for (const Spec& spec : specs) {
        QVERIFY(store.append("/nowhere/entry" + std::to_string(n++) + ".wav",
                             static_cast<REFERENCE_TIME>(spec.duration * kSecond)) == AppendResult::Appended);
        MixItem& item = store.at(store.audioCount() - 1);
        item.startTime = static_cast<REFERENCE_TIME>(spec.start * kSecond);
        item.speed = spec.speed;
        item.volume = spec.volume;
    }
}

// No two entries whose times overlap share a lane, and no two bars in a lane cover each other.
void expectNoCovering(const ArrangementLayout& layout)
{
    const auto& bars = layout.bars();
    for (std::size_t a = 0; a < bars.size(); ++a) {
        for (std::size_t b = a + 1; b < bars.size(); ++b) {
            if (bars[a].lane != bars[b].lane)
                continue;
            const bool overlap = bars[a].startSeconds < bars[b].startSeconds + bars[b].lengthSeconds &&
                                 bars[b].startSeconds < bars[a].startSeconds + bars[a].lengthSeconds;
            QVERIFY2(!overlap, qPrintable(QStringLiteral("entries %1 and %2").arg(a).arg(b)));
            QVERIFY2(!bars[a].slot.adjusted(0.01, 0, -0.01, 0).intersects(bars[b].slot.adjusted(0.01, 0, -0.01, 0)),
                     qPrintable(QStringLiteral("bars %1 and %2").arg(a).arg(b)));
        }
    }
}

}  // namespace

class ArrangementTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    int counter_ = 0;

    struct Fixture : sonarel::testing::MainWindowFixture {
        using MainWindowFixture::MainWindowFixture;

        ArrangementWindow& openArrangement()
        {
            dialog.show();
            dialog.activateWindow();
            (void)QTest::qWaitForWindowActive(&dialog);
            QTest::keyClick(&dialog, Qt::Key_T, Qt::ControlModifier);
            ArrangementWindow* window = dialog.arrangementWindow();
            if (!window)
                qFatal("Ctrl+T did not open the timeline");
            (void)QTest::qWaitForWindowActive(window);
            return *window;
        }
        bool waitForPeaks()
        {
            return QTest::qWaitFor([this] { return dialog.arrangementWindow()->peaks().pendingCount() == 0; }, 60000);
        }
        QList<int> selectedRows()
        {
            QList<int> rows;
            for (const QModelIndex& index : list().selectionModel()->selectedRows())
                rows << index.row();
            std::sort(rows.begin(), rows.end());
            return rows;
        }
    };

    std::unique_ptr<Fixture> make(const QString& app = {})
    {
        return std::make_unique<Fixture>(app.isEmpty() ? QStringLiteral("sonarel-timeline-%1").arg(++counter_) : app,
                                         dir_.filePath(QStringLiteral("Music")));
    }

    QString tone(const QString& name, double seconds, double amplitude = 12000, int rate = 44100)
    {
        const QString path = dir_.filePath(name);
        sonarel::testing::writeWav16(path.toStdString(), 2, rate,
                                     sonarel::testing::sine16(2, rate, seconds, 220, amplitude));
        return path;
    }

    // A tone whose loudness swells and fades, so its sketch looks like a sound.
    QString shapedTone(const QString& name, double seconds, int shape)
    {
        constexpr int rate = 22050;
        const auto frames = static_cast<std::size_t>(seconds * rate);
        std::vector<std::int16_t> samples(frames * 2);
        for (std::size_t i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / rate;
            const double swell = 0.25 + 0.75 * std::abs(std::sin(M_PI * t * (0.3 + 0.17 * shape)));
            const double fade = std::min({1.0, t * 2.0, (seconds - t) * 1.5});
            const double v = 26000.0 * swell * fade * std::sin(2 * M_PI * (110.0 * shape) * t);
            samples[2 * i] = samples[2 * i + 1] = static_cast<std::int16_t>(v);
        }
        const QString path = dir_.filePath(name);
        sonarel::testing::writeWav16(path.toStdString(), 2, rate, samples);
        return path;
    }

    QColor colourAt(ArrangementView& view, int index)
    {
        const QImage image = view.renderPicture();
        const QRectF body = view.layout().bars()[static_cast<std::size_t>(index)].body;
        // Left of the waveform's middle line, below the label.
        return image.pixelColor(QPoint(static_cast<int>(body.left() + 2), static_cast<int>(body.bottom() - 3)));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(sonarel::testing::prepareWindowTests(dir_));
        ::setenv("XDG_CACHE_HOME", dir_.filePath(QStringLiteral("cache")).toLocal8Bit().constData(), 1);
    }

    void barsLanesAndTotalFromStartDurationAndSpeed()
    {
        MixItemStore store;
        fill(store, {{0, 10, 1},     // 0: 0..10, lane 0
                     {5, 10, 2},     // 1: 5..10 at double speed, overlaps 0: lane 1
                     {10, 4, 1},     // 2: 10..14 starts where 0 ends: lane 0
                     {12, 2, 0.5},   // 3: 12..16 at half speed, overlaps 2 and 4: lane 2
                     {11, 2, 1},     // 4: 11..13 starts earlier, overlaps 2: lane 1
                     {40, -1, 1},    // 5: length not measured: no part of the total
                     {50, 10, 0}});  // 6: a speed that cannot be mixed
        ArrangementLayout layout;
        layout.setEntries(store);
        layout.setPixelsPerSecond(10);
        const int m = layout.metrics().margin;
        struct Expect {
            double x, width;
            int lane;
            bool known;
        };
        const Expect expected[] = {{0, 100, 0, true},
                                   {50, 50, 1, true},
                                   {100, 40, 0, true},
                                   {120, 40, 2, true},
                                   {110, 20, 1, true},
                                   {400, ArrangementLayout::kUnknownLengthBarWidth, 0, false},
                                   // 5's bar, wide enough for its name, reaches past 50 s here
                                   {500, ArrangementLayout::kUnknownLengthBarWidth, 1, false}};
        QCOMPARE(layout.bars().size(), std::size(expected));
        for (std::size_t i = 0; i < std::size(expected); ++i) {
            const ArrangementBar& bar = layout.bars()[i];
            QCOMPARE(bar.index, static_cast<int>(i));
            QCOMPARE(bar.slot.left(), m + expected[i].x);
            QCOMPARE(bar.slot.width(), expected[i].width);
            QCOMPARE(bar.lane, expected[i].lane);
            QCOMPARE(bar.lengthKnown, expected[i].known);
        }
        QCOMPARE(layout.laneCount(), 3);
        QCOMPARE(layout.totalSeconds(), 16.0);
        QCOMPARE(layout.totalX(), m + 160.0);
        expectNoCovering(layout);
        QCOMPARE(layout.barAt(QPointF(m + 60, layout.bars()[1].slot.center().y())), 1);
        QCOMPARE(layout.barAt(QPointF(m + 300, layout.bars()[0].slot.center().y())), -1);

        // The same entry at speed 2 is half as wide at any zoom, and fitting shows the whole mix.
        fill(store, {{0, 8, 1}, {0, 8, 2}});
        layout.setEntries(store);
        layout.fitTo(800 + 2 * m);
        QCOMPARE(layout.pixelsPerSecond(), 100.0);
        QCOMPARE(layout.bars()[1].slot.width() * 2, layout.bars()[0].slot.width());
        QCOMPARE(layout.totalX(), m + 800.0);

        // Groups take their colours in the order they first appear; entries without one keep theirs.
        MixItemStore grouped;
        fill(grouped, {{0, 1, 1}, {0, 1, 1}, {0, 1, 1}, {0, 1, 1}});
        grouped.at(0).group = "Voices";
        grouped.at(1).group = "Music";
        grouped.at(3).group = "Voices";
        ArrangementLayout colours;
        colours.setEntries(grouped);
        QCOMPARE(colours.bars()[0].group, 0);
        QCOMPARE(colours.bars()[1].group, 1);
        QCOMPARE(colours.bars()[2].group, -1);
        QCOMPARE(colours.bars()[3].group, 0);
        QCOMPARE(layout.contentSize().width(), 800 + 2 * m);
    }

    void lanesAreAsFewAsTheDeepestOverlap()
    {
        // A list of many overlapping entries: no covering, and no more lanes than entries that
        // sound at one moment.
        MixItemStore store;
        std::vector<Spec> specs;
        unsigned seed = 12345;
        auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
        for (int i = 0; i < 300; ++i)
            specs.push_back({(next() % 6000) / 10.0, 0.5 + (next() % 300) / 10.0, 0.25 + (next() % 8) / 4.0});
        specs.push_back({100, 0, 1});  // two entries of no length at one time get two lanes
        specs.push_back({100, 0, 1});
        fill(store, specs);
        ArrangementLayout layout;
        layout.setEntries(store);
        expectNoCovering(layout);
        int deepest = 0;
        for (const ArrangementBar& bar : layout.bars()) {
            int sounding = 0;
            for (const ArrangementBar& other : layout.bars())
                sounding += other.lengthKnown && other.startSeconds <= bar.startSeconds &&
                            bar.startSeconds < other.startSeconds + other.lengthSeconds;
            deepest = std::max(deepest, sounding);
        }
        QCOMPARE(layout.laneCount(), deepest);
        QVERIFY(layout.bars()[300].lane != layout.bars()[301].lane);
    }

    void volumeShowsAsHeightAndTheRulerReadsMinutes()
    {
        QCOMPARE(ArrangementLayout::heightShare(1.0), 1.0);
        QCOMPARE(ArrangementLayout::heightShare(4.0), 1.0);
        QCOMPARE(ArrangementLayout::heightShare(0.5), 0.65);
        QCOMPARE(ArrangementLayout::heightShare(0.0), 0.3);
        QCOMPARE(ArrangementLayout::heightShare(std::nan("")), 0.3);
        const struct {
            double seconds, step;
            const char* text;
        } times[] = {
            {0, 1, "0:00"}, {65, 5, "1:05"}, {3600, 600, "1:00:00"}, {1.5, 0.5, "0:01.5"}, {59.96, 0.1, "1:00.0"}};
        for (const auto& t : times)
            QCOMPARE(ArrangementLayout::timeText(t.seconds, t.step), QString::fromLatin1(t.text));

        MixItemStore store;
        fill(store, {{0, 600, 1}});
        ArrangementLayout layout;
        layout.setEntries(store);
        layout.setPixelsPerSecond(1.0);  // 80 px apart needs 120 s steps, with 60 s between
        const std::vector<ArrangementTick> ticks = layout.ticks(0, layout.xOf(600));
        QVERIFY(ticks.size() >= 10);
        QCOMPARE(ticks[0].label, QStringLiteral("0:00"));
        QVERIFY(!ticks[1].major);
        QCOMPARE(ticks[2].label, QStringLiteral("2:00"));
        QCOMPARE(ticks[2].x, layout.xOf(120));
    }

    // The bars under a heard duck entry carry the ducked level, as the mix applies it.
    void theDuckedLevelFollowsTheVoices()
    {
        MixItemStore store;
        fill(store, {{0, 10, 1}, {3, 2, 1}, {8, 1, 1}, {9, 1, 1}});
        store.at(1).duck = store.at(2).duck = true;
        store.at(2).muted = true;  // heard by nobody: ducks nothing
        ArrangementLayout layout;
        layout.setEntries(store);
        const double depth = std::pow(10.0, -12.0 / 20.0);
        QVERIFY(layout.bars()[0].ducked);
        QVERIFY(!layout.bars()[1].ducked && !layout.bars()[2].ducked && !layout.bars()[3].ducked);
        const std::pair<double, double> gains[] = {
            {2.5, 1.0}, {2.85, (1 + depth) / 2}, {4.0, depth}, {5.25, (1 + depth) / 2}, {6.0, 1.0}, {8.5, 1.0}};
        for (const auto& [seconds, gain] : gains)
            QVERIFY2(std::abs(layout.duckGainAt(seconds) - gain) < 1e-4, qPrintable(QString::number(seconds)));
        QCOMPARE(layout.duckCorners(0, 10), (std::vector<double>{0, 2.7, 3, 5, 5.5, 10}));
        QCOMPARE(layout.duckCorners(4, 5.2), (std::vector<double>{4, 5, 5.2}));
    }

    void opensWithCtrlTAndFollowsTheList()
    {
        auto f = make();
        f->dialog.addFiles({tone(QStringLiteral("a.wav"), 1.0), tone(QStringLiteral("b.wav"), 2.0)});
        ArrangementWindow& window = f->openArrangement();
        QVERIFY(window.isVisible());
        QVERIFY(window.isWindow());
        QCOMPARE(window.view().layout().bars().size(), 2u);
        QCOMPARE(window.view().layout().laneCount(), 2);  // both start at 0
        QCOMPARE(window.view().layout().totalSeconds(), 2.0);

        // An edit of the list shows at once.
        f->dialog.store().at(1).startTime = 1 * kSecond;
        f->dialog.store().at(1).speed = 2.0;
        f->list().updateRow(f->dialog.store(), 1);
        QCOMPARE(window.view().layout().laneCount(), 1);
        QCOMPARE(window.view().layout().totalSeconds(), 2.0);
        f->dialog.addFiles({tone(QStringLiteral("c.wav"), 3.0)});
        QCOMPARE(window.view().layout().bars().size(), 3u);
        QCOMPARE(window.view().layout().totalSeconds(), 3.0);
        QTest::mouseClick(f->dialog.findChild<QPushButton*>(objectNameOf(kIdDeleteAll)), Qt::LeftButton);
        QCOMPARE(window.view().layout().bars().size(), 0u);
        QCOMPARE(window.view().layout().totalSeconds(), 0.0);

        // The main window's context menu offers it too, with its shortcut.
        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(&f->openArrangement(), &window);
        QVERIFY(window.isVisible());
        QCOMPARE(f->dialog.arrangementWindow(), &window);
    }

    // The ruler flags the chapters the mix keeps, each with its title, and follows edits; a muted
    // entry still marks one, and of two at one time the later in the list is left out.
    void theRulerFlagsTheChaptersTheMixKeeps()
    {
        auto f = make();
        f->dialog.addFiles({tone(QStringLiteral("ch1.wav"), 2.0), tone(QStringLiteral("ch2.wav"), 1.0),
                            tone(QStringLiteral("ch3.wav"), 1.0)});
        MixItemStore& store = f->dialog.store();
        store.at(0).chapter = "Opening";
        store.at(1).chapter = "Second";
        store.at(1).startTime = kSecond;
        store.at(1).muted = true;
        store.at(2).chapter = "Twin";
        store.at(2).startTime = kSecond;
        f->list().refresh(store);
        ArrangementWindow& window = f->openArrangement();
        ArrangementView& view = window.view();
        const std::vector<ArrangementChapter>& chapters = view.layout().chapters();
        QCOMPARE(chapters.size(), 2u);
        QCOMPARE(chapters[0].title, QStringLiteral("Opening"));
        QCOMPARE(chapters[1].title, QStringLiteral("Second"));
        QCOMPARE(chapters[1].seconds, 1.0);
        QCOMPARE(chapters[1].x, view.layout().xOf(1.0));
        // Inside the flag, left of its title, at the ruler's foot.
        const QImage image = view.renderPicture();
        const QPoint inFlag(static_cast<int>(chapters[1].x) + 2, view.layout().metrics().rulerHeight - 2);
        QCOMPARE(image.pixelColor(inFlag), QColor(0x10, 0x60, 0xa0));

        store.at(1).chapter.clear();
        f->list().updateRow(store, 1);
        QCOMPARE(view.layout().chapters().size(), 2u);
        QCOMPARE(view.layout().chapters()[1].title, QStringLiteral("Twin"));
        store.at(0).chapter.clear();
        store.at(2).chapter.clear();
        f->list().refresh(store);
        QVERIFY(view.layout().chapters().empty());
        QVERIFY(view.renderPicture().pixelColor(inFlag) != QColor(0x10, 0x60, 0xa0));
    }

    void selectionIsSharedBothWaysAndBarsActivate()
    {
        auto f = make();
        f->dialog.addFiles({tone(QStringLiteral("s1.wav"), 1.0), tone(QStringLiteral("s2.wav"), 1.0),
                            tone(QStringLiteral("s3.wav"), 1.0)});
        for (int i = 0; i < 3; ++i)
            f->dialog.store().at(i).startTime = i * kSecond;
        f->list().refresh(f->dialog.store());
        ArrangementWindow& window = f->openArrangement();
        ArrangementView& view = window.view();
        auto centre = [&view](int i) { return view.barOnViewport(i).center().toPoint(); };

        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, centre(1));
        QCOMPARE(f->selectedRows(), QList<int>{1});
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, centre(2));
        QCOMPARE(f->selectedRows(), (QList<int>{1, 2}));
        QTest::keyClick(&view, Qt::Key_Left);  // from the current entry 2
        QCOMPARE(f->selectedRows(), QList<int>{1});

        f->list().selectRow(0);
        QVERIFY(view.layout().bars().size() == 3);
        QCOMPARE(f->selectedRows(), QList<int>{0});
        // The window shows the selection (the exported picture does not).
        const QImage shown = view.viewport()->grab().toImage();
        QVERIFY(shown.pixelColor(centre(0)) != shown.pixelColor(centre(1)));

        // A double click opens the audio settings of that entry; after OK its bar moves at once.
        QSignalSpy activated(&window, &ArrangementWindow::entryActivated);
        sonarel::testing::WhenDialogOpens<AudioSettingsDialog> edit([](AudioSettingsDialog& d) {
            auto* start = d.findChild<QLineEdit*>(QString::number(AudioSettingsDialog::kIdStartTime));
            start->selectAll();
            QTest::keyClicks(start, QStringLiteral("6"));
            QTest::keyClick(start, Qt::Key_Return);
        });
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, centre(2));
        QVERIFY(edit.ran());
        QCOMPARE(activated.count(), 1);
        QCOMPARE(activated.at(0).at(0).toInt(), 2);
        QCOMPARE(f->dialog.store().at(2).startTime, 6 * kSecond);
        QCOMPARE(view.layout().bars()[2].startSeconds, 6.0);
        QCOMPARE(view.layout().totalSeconds(), 7.0);
        sonarel::testing::WhenDialogOpens<AudioSettingsDialog> cancel([](AudioSettingsDialog& d) { d.reject(); });
        QTest::keyClick(&view, Qt::Key_Return);
        QVERIFY(cancel.ran());
        QCOMPARE(activated.count(), 2);
        QCOMPARE(activated.at(1).at(0).toInt(), 2);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                          QPoint(view.viewport()->width() - 5, view.viewport()->height() - 5));
        QVERIFY(f->selectedRows().isEmpty());
    }

    void zoomsWithCtrlWheelAroundThePointerAndFits()
    {
        auto f = make();
        f->dialog.addFiles({tone(QStringLiteral("z.wav"), 4.0)});
        ArrangementWindow& window = f->openArrangement();
        ArrangementView& view = window.view();
        const double fitted = view.layout().pixelsPerSecond();
        QVERIFY(view.layout().totalX() <= view.viewport()->width());
        QVERIFY(view.layout().totalX() > view.viewport()->width() - 30);

        const QPointF at(view.viewport()->width() / 2.0, 60);
        const double secondsUnder = view.layout().secondsAt(at.x() + view.horizontalScrollBar()->value());
        QWheelEvent wheel(at, view.viewport()->mapToGlobal(at), QPoint(), QPoint(0, 360), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &wheel);
        QVERIFY(qFuzzyCompare(view.layout().pixelsPerSecond(), fitted * 1.25 * 1.25 * 1.25));
        QVERIFY(view.horizontalScrollBar()->maximum() > 0);
        const double after = view.layout().secondsAt(at.x() + view.horizontalScrollBar()->value());
        QVERIFY2(std::abs(after - secondsUnder) < 2.0 / view.layout().pixelsPerSecond(),
                 "the time under the pointer stays");

        const auto actions = window.findChild<QToolBar*>()->actions();
        const auto fit = std::find_if(actions.begin(), actions.end(),
                                      [](QAction* a) { return a->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_0); });
        QVERIFY(fit != actions.end());
        (*fit)->trigger();
        QCOMPARE(view.layout().pixelsPerSecond(), fitted);
        QCOMPARE(view.horizontalScrollBar()->value(), 0);
        QVERIFY(std::any_of(actions.begin(), actions.end(),
                            [](QAction* a) { return a->text() == QStringLiteral("Export picture"); }));
    }

    void missingAndUnreadableFilesLookDifferent()
    {
        auto f = make();
        const QString gone = tone(QStringLiteral("gone.wav"), 1.0);
        QFile text(dir_.filePath(QStringLiteral("words.wav")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write(QByteArray(4096, 'x'));
        text.close();
        f->dialog.addFiles({tone(QStringLiteral("fine.wav"), 1.0), gone});
        f->dialog.store().append(text.fileName().toStdString(), 1 * kSecond);  // as if it had been measured
        for (int i = 0; i < 3; ++i)
            f->dialog.store().at(i).startTime = i * kSecond;
        QVERIFY(QFile::remove(gone));
        f->list().refresh(f->dialog.store());
        ArrangementWindow& window = f->openArrangement();
        QVERIFY(f->waitForPeaks());
        ArrangementView& view = window.view();
        QCOMPARE(view.lookOf(0), ArrangementView::BarLook::Playable);
        QCOMPARE(view.lookOf(1), ArrangementView::BarLook::Missing);
        QCOMPARE(view.lookOf(2), ArrangementView::BarLook::Unreadable);
        QCOMPARE(view.peakStateOf(0), PeakState::Ready);
        QVERIFY(colourAt(view, 0) != colourAt(view, 1));
        QVERIFY(colourAt(view, 0) != colourAt(view, 2));
    }

    void peaksAreCachedSoASecondOpeningMeasuresNothing()
    {
        QStringList files;
        for (int i = 0; i < 5; ++i)
            files << tone(QStringLiteral("cache%1.wav").arg(i), 1.0 + i * 0.5);
        {
            auto f = make();
            f->dialog.addFiles(files);
            ArrangementWindow& window = f->openArrangement();
            QVERIFY(f->waitForPeaks());
            QCOMPARE(window.peaks().measuredCount(), 5);
            window.close();
            f->openArrangement();
            QCOMPARE(window.peaks().measuredCount(), 5);  // in memory
        }
        auto f = make();  // a new window and service: the levels come from the disk
        f->dialog.addFiles(files);
        ArrangementWindow& window = f->openArrangement();
        for (int i = 0; i < 5; ++i)
            QCOMPARE(window.view().peakStateOf(i), PeakState::Ready);
        QCOMPARE(window.peaks().measuredCount(), 0);
        QCOMPARE(window.peaks().pendingCount(), 0);

        // A changed file is a new version: measured again.
        QTest::qWait(20);
        tone(QStringLiteral("cache0.wav"), 0.5);
        f->list().refresh(f->dialog.store());
        QCOMPARE(window.view().peakStateOf(0), PeakState::Pending);
        QVERIFY(f->waitForPeaks());
        QCOMPARE(window.peaks().measuredCount(), 1);
    }

    void damagedCacheFilesAreMeasuredAgain()
    {
        const QString folder = dir_.filePath(QStringLiteral("damaged-cache"));
        const QString file = tone(QStringLiteral("damaged.wav"), 1.0);
        auto measure = [&](int expectedDecodes) {
            PeakService service(folder, 1);
            QSignalSpy arrived(&service, &PeakService::peaksArrived);
            if (service.request(file).state == PeakState::Pending)
                QVERIFY(arrived.wait(30000));
            QCOMPARE(service.request(file).state, PeakState::Ready);
            QCOMPARE(service.request(file).levels->levels.size(), 100u);
            QCOMPARE(service.measuredCount(), expectedDecodes);
        };
        measure(1);
        measure(0);
        const QStringList stored = QDir(folder).entryList({QStringLiteral("*.peaks")}, QDir::Files);
        QCOMPARE(stored.size(), 1);
        const QString cached = folder + QLatin1Char('/') + stored[0];
        QFile original(cached);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray bytes = original.readAll();
        original.close();
        // Cut short, a level count beyond the data, and plain noise: each is read again.
        QByteArray huge = bytes;
        huge[huge.size() - 101] = '\x7f';
        for (const QByteArray& damaged : {bytes.left(bytes.size() / 2), huge, QByteArray(300, '\xa5')}) {
            QFile broken(cached);
            QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
            broken.write(damaged);
            broken.close();
            measure(1);
        }
    }

    void theEventLoopTurnsWhileASlowFileIsMeasured()
    {
        // Ten minutes of sound take the engine a while to decode; the window's thread only waits
        // for the answer, turning its event loop all the time.
        const QString slow = tone(QStringLiteral("slow.wav"), 600.0, 9000, 8000);
        PeakService service(QString(), 1);
        QSignalSpy arrived(&service, &PeakService::peaksArrived);
        QCOMPARE(service.request(slow).state, PeakState::Pending);
        int turns = 0;
        QTimer ticker;
        ticker.setInterval(0);
        connect(&ticker, &QTimer::timeout, [&turns] { ++turns; });
        ticker.start();
        QVERIFY(arrived.wait(60000));
        QVERIFY2(turns > 10, qPrintable(QString::number(turns)));
        const PeakLookup done = service.request(slow);
        QCOMPARE(done.state, PeakState::Ready);
        QVERIFY(std::abs(done.levels->peakBetween(100, 500) - 9000.0 / 32768) < 0.01);
        QCOMPARE(service.measuredCount(), 1);
    }

    void thePlayHeadFollowsARunningMix()
    {
        auto f = make();
        OutputSettings settings = f->dialog.outputSettings();
        settings.outputFile = dir_.filePath(QStringLiteral("playhead-out.wav"));
        f->dialog.setOutputSettings(settings);
        f->dialog.addFiles({tone(QStringLiteral("long.wav"), 240.0, 6000, 8000)});
        ArrangementWindow& window = f->openArrangement();
        QCOMPARE(window.view().playHead(), -1.0);
        f->dialog.mixCommand();
        QVERIFY(f->dialog.runControl().isMixing());
        QVERIFY(QTest::qWaitFor([&] { return window.view().playHead() > 0 || !f->dialog.runControl().isMixing(); },
                                30000));
        if (f->dialog.runControl().isMixing()) {
            QVERIFY(window.view().playHead() <= 240.0);
            f->dialog.mixCommand();  // stop
        }
        QVERIFY(QTest::qWaitFor([&] { return window.view().playHead() < 0; }, 5000));
    }

    void exportsThePictureAsPng()
    {
        auto f = make();
        f->dialog.addFiles({tone(QStringLiteral("e1.wav"), 2.0), tone(QStringLiteral("e2.wav"), 1.0)});
        ArrangementWindow& window = f->openArrangement();
        QVERIFY(f->waitForPeaks());
        const QString chosen = dir_.filePath(QStringLiteral("plan"));
        f->desktop.fileToSave.push_back(chosen);
        QTest::keyClick(&window, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(f->desktop.dialogRequests.back().title, QStringLiteral("Export picture"));
        QImageReader reader(chosen + QStringLiteral(".png"));
        QCOMPARE(reader.format(), QByteArray("png"));
        const QImage image = reader.read();
        QCOMPARE(image.size(), window.view().layout().contentSize());
        QVERIFY(f->desktop.messages.empty());

        f->desktop.fileToSave.push_back(dir_.filePath(QStringLiteral("no/such/folder/plan.png")));
        window.exportPicture();
        QCOMPARE(f->desktop.messages.size(), 1u);
        QCOMPARE(f->desktop.messages[0].caption, QStringLiteral("Error"));
        QVERIFY(f->desktop.messages[0].text.startsWith(QStringLiteral("Could not save the picture to ")));
        window.exportPicture();  // cancelled: nothing happens
        QCOMPARE(f->desktop.messages.size(), 1u);
    }

    void remembersItsSizeAndPlace()
    {
        const QString app = QStringLiteral("sonarel-timeline-geometry");
        {
            auto f = make(app);
            ArrangementWindow& window = f->openArrangement();
            window.resize(640, 300);
            window.close();
        }
        auto f = make(app);
        ArrangementWindow& window = f->openArrangement();
        QCOMPARE(window.size(), QSize(640, 300));
    }

    void rendersASampleListForPeopleToSee()
    {
        auto f = make();
        struct {
            const char* name;
            double seconds, start, volume, speed;
        } sample[] = {{"Morning Birds.wav", 12, 0, 0.6, 1}, {"Voice over.wav", 6, 2, 1, 1},
                      {"Drum loop.wav", 4, 7.5, 1.4, 2},    {"Jingle.wav", 3, 9, 0.8, 1},
                      {"Applause.wav", 5, 13, 0.35, 0.8},   {"Outro theme.wav", 8, 15, 1, 1.25}};
        QStringList files;
        int shape = 0;
        for (const auto& s : sample)
            files << shapedTone(QString::fromLatin1(s.name), s.seconds, ++shape);
        f->dialog.addFiles(files);
        files.clear();
        for (int i = 0; i < static_cast<int>(std::size(sample)); ++i) {
            MixItem& item = f->dialog.store().at(i);
            item.startTime = static_cast<REFERENCE_TIME>(sample[i].start * kSecond);
            item.volume = sample[i].volume;
            item.speed = sample[i].speed;
        }
        // Shaped entries: faded birds, a voice-over cut at both ends, muted applause.
        f->dialog.store().at(0).fadeIn = 3 * kSecond;
        f->dialog.store().at(0).fadeOut = 2 * kSecond;
        f->dialog.store().at(1).inPoint = kSecond / 2;
        f->dialog.store().at(1).outPoint = 5 * kSecond;
        f->dialog.store().at(4).muted = true;
        // Levels: the birds duck under the voice-over, and the outro's points fade it out.
        f->dialog.store().at(1).duck = true;
        f->dialog.store().at(5).volumePoints = {{0, 1.0}, {4 * kSecond, 1.0}, {8 * kSecond, 0.2}};
        f->dialog.store().append(dir_.filePath(QStringLiteral("Lost take.wav")).toStdString(), 3 * kSecond);
        f->dialog.store().at(6).startTime = 4 * kSecond;
        f->list().refresh(f->dialog.store());
        ArrangementWindow& window = f->openArrangement();
        window.resize(900, 330);
        window.view().fitToWindow();
        QVERIFY(f->waitForPeaks());
        f->list().selectRow(1);
        QTest::qWait(50);
        const QImage image = window.view().renderPicture();
        QVERIFY(image.width() > 200);
        const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/timeline-sample.png");
        QVERIFY(image.save(path));
        QVERIFY(window.grab().toImage().save(QCoreApplication::applicationDirPath() +
                                             QStringLiteral("/timeline-window.png")));
        qInfo("timeline picture: %s", qPrintable(path));
        // SONAREL_UPDATE_DOCS=1 refreshes the picture that the README and the manual show.
        if (qEnvironmentVariableIntValue("SONAREL_UPDATE_DOCS") == 1)
            QVERIFY(window.grab().toImage().save(QStringLiteral(SONAREL_SOURCE_DIR "/res/help/images/timeline.png")));
    }
};

QTEST_MAIN(ArrangementTest)
#include "ArrangementTest.moc"
