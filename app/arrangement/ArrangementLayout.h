// SPDX-License-Identifier: GPL-3.0-or-later
// Where everything of the arrangement picture goes, without painting: a bar per entry over the part
// it plays on the output (the times render/EngineEntry gives the engine, so the picture and the mix
// never disagree), in lanes so that overlapping entries never share one; the ruler's ticks; the
// mark at the total length of the mix (muted entries do not count). Positions are in pixels of the
// whole picture (not scrolled) at the current zoom, in pixels per second.
#pragma once

#include <QRectF>
#include <QSize>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "model/MixItem.h"
#include "platform/media/core/DuckEnvelope.h"

namespace sonarel {

struct ArrangementBar {
    int index = 0;  // the entry
    int lane = 0;
    double startSeconds = 0;
    double lengthSeconds = 0;  // (out - in) / speed; 0 when it is not known
    bool lengthKnown = true;   // measured duration and a usable speed
    double inSeconds = 0;      // where the played part begins in the file
    double speed = 1.0;
    double volume = 1.0;
    double fadeInSeconds = 0;  // as the mix applies them: never longer than the bar together
    double fadeOutSeconds = 0;
    bool cutStart = false;  // the played part begins or ends inside the file
    bool cutEnd = false;
    bool muted = false;
    bool duck = false;    // the others duck under it
    bool ducked = false;  // it goes down under a duck entry somewhere along it
    int group = -1;       // its group among the list's, in the order they first appear; -1: none
    std::string chapter;  // the title of the chapter it starts; empty: none
    QRectF slot;          // the whole place of the bar in its lane
    QRectF body;          // the drawn bar: its height shows the volume
};

// A chapter of the mix, as model/ChapterPlan keeps it, marked on the ruler.
struct ArrangementChapter {
    double seconds = 0;
    double x = 0;
    QString title;
};

struct ArrangementTick {
    double x = 0;
    double seconds = 0;
    bool major = false;
    QString label;  // major ticks only
};

class ArrangementLayout {
public:
    static constexpr double kMinPixelsPerSecond = 1e-4;
    static constexpr double kMaxPixelsPerSecond = 4000.0;
    static constexpr double kMinBarWidth = 3.0;
    // A bar whose length is not known (the file is missing or unreadable) is drawn this wide, so
    // that its name can be read.
    static constexpr double kUnknownLengthBarWidth = 120.0;
    static constexpr int kMaxContentWidth = 4'000'000;

    struct Metrics {
        int rulerHeight = 26;
        int laneHeight = 40;
        int laneGap = 4;
        int margin = 10;
    };

    ArrangementLayout();
    explicit ArrangementLayout(Metrics metrics) : metrics_(metrics) {}

    void setEntries(const MixItemStore& store);
    // Shows entry `index` as `item` (while it is dragged) in the lane it has, the others unchanged.
    void preview(int index, const MixItem& item);
    void setPixelsPerSecond(double pixelsPerSecond);
    // The zoom at which the whole mix fits `width` pixels.
    void fitTo(int width);

    double pixelsPerSecond() const { return pixelsPerSecond_; }
    const Metrics& metrics() const { return metrics_; }
    const std::vector<ArrangementBar>& bars() const { return bars_; }  // in entry order
    // Lanes depend on the zoom only through bars of unknown length, which take a width in pixels.
    int laneCount() const { return laneCount_; }
    double totalSeconds() const { return totalSeconds_; }  // the latest end of an entry with a length
    // The mix's chapters in time order, as the mix writes them (those it leaves out are not here).
    const std::vector<ArrangementChapter>& chapters() const { return chapters_; }

    double xOf(double seconds) const;
    double secondsAt(double x) const;
    double totalX() const { return xOf(totalSeconds_); }
    QSize contentSize() const;
    // The seconds between two ticks of the ruler (a labelled one and the one between) at this zoom.
    double tickStep() const;
    // The ticks between two x positions, labelled in minutes and seconds.
    std::vector<ArrangementTick> ticks(double fromX, double toX) const;
    // The entry whose bar is at `point`, or -1; the latest entry wins where bars touch.
    int barAt(QPointF point) const;

    // "m:ss", "h:mm:ss", or with tenths ("0:01.5") when `step` is under a second.
    static QString timeText(double seconds, double step);
    // The share of the lane height a bar of `volume` fills.
    static double heightShare(double volume);

    // The gain ducking gives the entries that are not duck entries at `seconds` (1 without ducking).
    double duckGainAt(double seconds) const;
    // Where the ducking's gain bends between `from` and `to` (seconds), with both ends, in order.
    std::vector<double> duckCorners(double from, double to) const;

private:
    void findDucking();
    void measure(ArrangementBar& bar, const MixItem& item) const;
    void countTotal();
    void findChapters();
    void assignLanes();
    void place();

    Metrics metrics_;
    double pixelsPerSecond_ = 20.0;
    std::vector<ArrangementBar> bars_;
    DuckSettings ducking_;
    std::shared_ptr<const media::core::DuckEnvelope> duck_;  // in kDuckRate steps; null without duck entries
    int laneCount_ = 0;
    double totalSeconds_ = 0;
    std::vector<ArrangementChapter> chapters_;
};

}  // namespace sonarel
