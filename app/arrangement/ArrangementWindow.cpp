// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/arrangement/ArrangementWindow.h"

#include <QAction>
#include <QFileInfo>
#include <QHideEvent>
#include <QImageWriter>
#include <QLabel>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/PlaybackCommands.h"
#include "app/arrangement/ArrangementView.h"
#include "model/MixListModel.h"
#include "platform/Desktop.h"
#include "render/MixRunControl.h"
#include "settings/ProfileStore.h"

namespace sonarel {

namespace {

const QString kSection = QStringLiteral("Timeline");
const QString kGeometryKey = QStringLiteral("Geometry");

QAction* addCommand(QToolBar& bar, QWidget& window, const QString& text, const QList<QKeySequence>& keys,
                    const QString& tip)
{
    QAction* action = bar.addAction(text);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setToolTip(keys.isEmpty()
                           ? tip
                           : QStringLiteral("%1 (%2)").arg(tip, keys.first().toString(QKeySequence::NativeText)));
    window.addAction(action);
    return action;
}

}  // namespace

ArrangementWindow::ArrangementWindow(const MixListModel& list, QItemSelectionModel& selection, const MixRunControl& run,
                                     Desktop& desktop, ProfileStore& profile, const QString& cacheFolder,
                                     QWidget* parent)
    : QWidget(parent, Qt::Window), run_(run), desktop_(desktop), profile_(profile), peaks_(cacheFolder)
{
    setObjectName(QStringLiteral("timelineWindow"));
    setWindowTitle(QStringLiteral("Timeline - Sonarel"));
    if (parent)
        setWindowIcon(parent->windowIcon());

    view_ = new ArrangementView(list.store(), peaks_, this);
    view_->setObjectName(QStringLiteral("timelineView"));
    view_->setSelectionModel(&selection);

    auto* tools = new QToolBar(this);
    tools->setObjectName(QStringLiteral("timelineTools"));
    addCommand(*tools, *this, QStringLiteral("Zoom &In"),
               {QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)}, QStringLiteral("Zoom in"));
    addCommand(*tools, *this, QStringLiteral("Zoom &Out"), {QKeySequence::ZoomOut}, QStringLiteral("Zoom out"));
    addCommand(*tools, *this, QStringLiteral("&Fit to Window"), {QKeySequence(Qt::CTRL | Qt::Key_0)},
               QStringLiteral("Show the whole mix"));
    tools->addSeparator();
    addCommand(*tools, *this, QStringLiteral("Export picture"), {QKeySequence(Qt::CTRL | Qt::Key_E)},
               QStringLiteral("Save the timeline as a PNG picture"));
    const QList<QAction*> actions = tools->actions();
    connect(actions[0], &QAction::triggered, view_, &ArrangementView::zoomIn);
    connect(actions[1], &QAction::triggered, view_, &ArrangementView::zoomOut);
    connect(actions[2], &QAction::triggered, view_, &ArrangementView::fitToWindow);
    connect(actions[4], &QAction::triggered, this, &ArrangementWindow::exportPicture);
    auto* closeAction = new QAction(this);
    closeAction->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence::Close});
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    addAction(closeAction);

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("timelineSummary"));
    summary_->setTextFormat(Qt::PlainText);
    summary_->setContentsMargins(6, 2, 6, 2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    layout->addWidget(view_, 1);
    layout->addWidget(summary_);
    resize(820, 360);

    // A hidden window catches up when it opens again.
    connect(&list, &MixListModel::listEdited, this, [this] {
        if (isVisible()) {
            view_->refresh();
            updateSummary();
        }
    });
    connect(&peaks_, &PeakService::peaksArrived, this, &ArrangementWindow::updateSummary);
    connect(view_, &ArrangementView::entryActivated, this, &ArrangementWindow::entryActivated);
    connect(view_, &ArrangementView::entryEdited, this, &ArrangementWindow::entryEdited);
    playHeadTimer_.setInterval(100);
    connect(&playHeadTimer_, &QTimer::timeout, this, &ArrangementWindow::updatePlayHead);
    updateSummary();
}

ArrangementWindow::~ArrangementWindow() = default;

void ArrangementWindow::open()
{
    if (!placed_) {
        placed_ = true;
        const QByteArray geometry = QByteArray::fromBase64(
            profile_.ReadString(kSection, kGeometryKey, QString()).toLatin1());
        if (!geometry.isEmpty())
            restoreGeometry(geometry);
    }
    view_->refresh();
    updateSummary();
    playHeadTimer_.start();
    updatePlayHead();
    show();
    raise();
    activateWindow();
    view_->setFocus();
}

void ArrangementWindow::listOpened()
{
    // The zoom of the list before says nothing about this one.
    view_->fitWhenRefreshed();
}

void ArrangementWindow::followPlayback(WindowPlayback& playback)
{
    playback_ = &playback;
    auto* tools = findChild<QToolBar*>(QStringLiteral("timelineTools"));
    tools->addSeparator();
    QAction* play = addCommand(*tools, *this, QStringLiteral("&Play"), {QKeySequence(Qt::Key_Space)},
                               QStringLiteral("Play or pause the mix from the play-head"));
    QAction* home = addCommand(*tools, *this, QStringLiteral("To &Start"), {QKeySequence(Qt::Key_Home)},
                               QStringLiteral("Move the play-head to the start"));
    connect(play, &QAction::triggered, &playback, &WindowPlayback::playCommand);
    connect(home, &QAction::triggered, &playback, &WindowPlayback::homeCommand);
    connect(view_, &ArrangementView::rulerClicked, &playback, &WindowPlayback::seek);
    connect(&playback, &WindowPlayback::playHeadMoved, this, [this] { updatePlayHead(); });
    updatePlayHead();
}

void ArrangementWindow::updatePlayHead()
{
    const bool mixing = run_.isMixing();
    if (mixing && !wasMixing_)
        mixLength_ = view_->layout().totalSeconds();
    wasMixing_ = mixing;
    if (!mixing && playback_ && playback_->hasPlayHead()) {
        view_->setPlayHead(playback_->playHeadSeconds());
        return;
    }
    const double fraction = mixing ? run_.progress() : -1.0;
    view_->setPlayHead(fraction >= 0 ? fraction * mixLength_ : -1.0);
}

void ArrangementWindow::updateSummary()
{
    const ArrangementLayout& layout = view_->layout();
    const int entries = static_cast<int>(layout.bars().size());
    const int lanes = layout.laneCount();
    QString text = QStringLiteral("%1 %2 in %3 %4, total length %5")
                       .arg(QString::number(entries),
                            entries == 1 ? QStringLiteral("entry") : QStringLiteral("entries"), QString::number(lanes),
                            lanes == 1 ? QStringLiteral("lane") : QStringLiteral("lanes"),
                            ArrangementLayout::timeText(layout.totalSeconds(), 0.1));
    if (peaks_.pendingCount() > 0)
        text += QStringLiteral("; reading waveforms: %1 files left").arg(peaks_.pendingCount());
    summary_->setText(text);
}

void ArrangementWindow::exportPicture()
{
    FileDialogRequest request;
    request.title = QStringLiteral("Export picture");
    request.initialFile = QStringLiteral("timeline.png");
    request.filters = {{QStringLiteral("PNG pictures (*.png)"), {QStringLiteral("*.png")}}};
    QString path = desktop_.chooseFileToSave(request);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".png");
    QImageWriter writer(path, "png");
    if (!writer.write(view_->renderPicture()))
        desktop_.showMessage(QStringLiteral("Could not save the picture to %1: %2").arg(path, writer.errorString()),
                             QStringLiteral("Error"), MessageIcon::Error);
}

void ArrangementWindow::saveGeometryToProfile()
{
    profile_.WriteString(kSection, kGeometryKey, QString::fromLatin1(saveGeometry().toBase64()));
}

void ArrangementWindow::hideEvent(QHideEvent* event)
{
    // A minimised window keeps working; a closed one stops measuring.
    if (!event->spontaneous()) {
        saveGeometryToProfile();
        playHeadTimer_.stop();
        peaks_.dropQueued();
    }
    QWidget::hideEvent(event);
}

}  // namespace sonarel
