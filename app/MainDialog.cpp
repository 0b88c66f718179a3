// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QProgressDialog>

#include "app/AddFilesCommand.h"
#include "app/EntryCommands.h"
#include "app/InfoCommands.h"
#include "app/LevelCommands.h"
#include "app/ListCommands.h"
#include "app/ListFileCommands.h"
#include "app/MainMenuBar.h"
#include "app/MixListView.h"
#include "app/PlacingCommands.h"
#include "app/PlaybackCommands.h"
#include "app/arrangement/ArrangementWindow.h"
#include "controls/ControlIds.h"
#include "controls/CornerLayout.h"
#include "controls/DialogUnits.h"
#include "controls/ImageButton.h"
#include "model/MixListModel.h"
#include "platform/Desktop.h"
#include "res/ResourceIds.h"
#include "settings/OutputOptions.h"
#include "settings/ProfileStore.h"
#include "settings/WaveFormatChoice.h"
#include "settings/ui/DuckingDialog.h"
#include "settings/ui/OutputOptionsDialog.h"
#include "settings/ui/TagsDialog.h"

namespace sonarel {

namespace {

// The graph's notice, posted from a worker thread.
const QEvent::Type kGraphNoticeEvent = static_cast<QEvent::Type>(QEvent::User + 0x40D);

constexpr int kDialogWidth = 310;
constexpr int kDialogHeight = 214;

const QString kWindowSection = QStringLiteral("Window");
const QString kGeometryKey = QStringLiteral("Geometry");

constexpr CornerLayout::Edges kTopLeft = CornerLayout::Left | CornerLayout::Top;
constexpr CornerLayout::Edges kTopRight = CornerLayout::Top | CornerLayout::Right;
constexpr CornerLayout::Edges kBottomRight = CornerLayout::Bottom | CornerLayout::Right;
constexpr CornerLayout::Edges kAlongTop = kTopLeft | CornerLayout::Right;
constexpr CornerLayout::Edges kAlongBottom = kBottomRight | CornerLayout::Left;
constexpr CornerLayout::Edges kEveryEdge = kAlongTop | CornerLayout::Bottom;

}  // namespace

MainDialog::MainDialog(Desktop& desktop, ProfileStore& profile, media::MediaLibrary& library,
                       const QString& musicFolder, QWidget* parent)
    : QDialog(parent), desktop_(desktop), profile_(profile), library_(library)
{
    setObjectName(QStringLiteral("102"));
    setWindowTitle(QStringLiteral("Sonarel"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    background_ = QPixmap(res::resourceFile(res::kBitmapBackground));
    listModel_ = new MixListModel(store_, this);
    createControls();
    setWindowIcon(QIcon(res::resourceFile(res::kIconProgram)));
    runControl_ = std::make_unique<MixRunControl>(library_, desktop_, static_cast<MixRunView&>(*this));
    listFile_ = new ListFileCommands(*listModel_, desktop_, profile_, library_, *this);
    createPlaybackCommands();
    createMenuBar();
    followListForLoudness();
    secondTimer_.setInterval(1000);
    connect(&secondTimer_, &QTimer::timeout, this, [this] { runControl_->onTimerTick(); });
    progressTimer_.setInterval(200);
    connect(&progressTimer_, &QTimer::timeout, this, &MainDialog::updateProgress);
    startUp(musicFolder);
    linkListOutput();  // after the start-up read the output: the list's output to begin with
    restoreWindowPlace();
}

MainDialog::~MainDialog() = default;

void MainDialog::place(QWidget* widget, int left, int top, int width, int height, CornerLayout::Edges edges)
{
    layout_->addWidget(widget, DialogUnits(font()).toPixels(left, top, width, height), edges);
}

ImageButton* MainDialog::makeButton(int id, const char* caption, int left, int top, int width, int height,
                                    CornerLayout::Edges edges)
{
    auto* button = new ImageButton(caption ? QString::fromUtf8(caption) : QString(), this);
    button->setObjectName(objectNameOf(id));
    place(button, left, top, width, height, edges);
    button->setAutoDefault(false);
    return button;
}

void MainDialog::createControls()
{
    // The drawn layout is the least size; what grows is the list, the status lines and the frame.
    const DialogUnits units(font());
    layout_ = new CornerLayout(this, QSize(units.x(kDialogWidth), units.y(kDialogHeight)));

    // Tab follows the reading order: the command row, the list and its buttons, the bottom row.
    QList<QWidget*> tabOrder = createCommandRow();
    createMixList();
    tabOrder << list_;
    tabOrder << createListButtons();
    tabOrder << createInfoButtons();
    createProgressAndStatus();
    createOutputLines();
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    timelineAction_ = makeAction(this, QStringLiteral("&Timeline"), {QKeySequence(Qt::CTRL | Qt::Key_T)});
    connect(timelineAction_, &QAction::triggered, this, &MainDialog::arrangementCommand);
    addAction(timelineAction_);
    muteAction_ = new QAction(QStringLiteral("&Mute"), this);
    muteAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    muteAction_->setCheckable(true);
    connect(muteAction_, &QAction::triggered, this, [this] { muteCommand(*listModel_, *list_, desktop_); });
    addAction(muteAction_);
    duckAction_ = new QAction(QStringLiteral("Duc&k Others Under This"), this);
    duckAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    duckAction_->setCheckable(true);
    connect(duckAction_, &QAction::triggered, this, [this] { duckCommand(*listModel_, *list_, desktop_); });
    addAction(duckAction_);
    duckingAction_ = new QAction(QStringLiteral("Duck&ing..."), this);
    connect(duckingAction_, &QAction::triggered, this, &MainDialog::duckingCommand);
    tagsAction_ = new QAction(QStringLiteral("Ta&gs..."), this);
    connect(tagsAction_, &QAction::triggered, this, &MainDialog::tagsCommand);
    sequenceAction_ = new QAction(QStringLiteral("Place One After A&nother..."), this);
    sequenceAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
    connect(sequenceAction_, &QAction::triggered, this, &MainDialog::placeOneAfterAnother);
    addAction(sequenceAction_);
    levels_ = new LevelCommands(*listModel_, *list_, desktop_, settings_, this);
    addActions({levels_->matchLoudnessAction(), levels_->trimSilenceAction()});
}

QList<QWidget*> MainDialog::createCommandRow()
{
    auto* frame = new QGroupBox(this);
    place(frame, 7, 0, 289, 39, kAlongTop);
    frame->lower();

    ImageButton* add = makeButton(kIdAdd, "Add", 9, 5, 46, 32);
    ImageButton* options = makeButton(kIdOptions, "Options", 68, 5, 46, 32);
    mixButton_ = makeButton(kIdMix, "Mix", 127, 5, 46, 32);
    ImageButton* help = makeButton(kIdHelp, "&Help", 186, 5, 46, 32);
    ImageButton* exitButton = makeButton(kIdExit, "Exit", 245, 5, 46, 32);
    connect(add, &QPushButton::clicked, this, &MainDialog::addCommand);
    connect(options, &QPushButton::clicked, this, &MainDialog::optionsCommand);
    connect(mixButton_, &QPushButton::clicked, this, &MainDialog::mixCommand);
    connect(help, &QPushButton::clicked, this, [this] { helpCommand(desktop_); });
    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);
    return {add, options, mixButton_, help, exitButton};
}

void MainDialog::createMixList()
{
    list_ = new MixListView(*listModel_, this);
    list_->setObjectName(objectNameOf(kIdMixList));
    list_->setAccessibleName(QStringLiteral("Mix list"));
    list_->setAccessibleDescription(
        QStringLiteral("The files to mix, one row each: file name, duration, volume, start time and speed"));
    place(list_, 7, 44, 273, 98, kEveryEdge);

    connect(list_, &MixListView::filesDropped, this, &MainDialog::addFiles);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, &MainDialog::propertiesCommand);
    connect(list_, &MixListView::editRequested, this, &MainDialog::propertiesCommand);
    connect(list_, &MixListView::deleteRequested, this,
            [this] { deleteSelectedCommand(*listModel_, *list_, desktop_); });
    connect(list_, &MixListView::previewRequested, this, [this] {
        // When Sonarel is the default player, the entry plays here, not in a second Sonarel.
        const PlayInside inside{QGuiApplication::desktopFileName(),
                                [this](const std::vector<int>& rows) { playback_->playEntries(rows); }};
        previewCommand(store_, list_->selectionCursor(), desktop_, &inside);
    });
}

QList<QWidget*> MainDialog::createListButtons()
{
    ImageButton* deleteSelected = makeButton(kIdDeleteSelected, nullptr, 281, 54, 22, 14, kTopRight);
    ImageButton* deleteAll = makeButton(kIdDeleteAll, nullptr, 281, 82, 22, 14, kTopRight);
    ImageButton* properties = makeButton(kIdProperties, nullptr, 281, 110, 22, 14, kTopRight);
    connect(deleteSelected, &QPushButton::clicked, this,
            [this] { deleteSelectedCommand(*listModel_, *list_, desktop_); });
    connect(deleteAll, &QPushButton::clicked, this, [this] { deleteAllCommand(*listModel_); });
    connect(properties, &QPushButton::clicked, this, &MainDialog::propertiesCommand);
    return {deleteSelected, deleteAll, properties};
}

QList<QWidget*> MainDialog::createInfoButtons()
{
    ImageButton* homepage = makeButton(kIdHomepage, "Homepage", 111, 149, 42, 16, kBottomRight);
    ImageButton* about = makeButton(kIdAbout, "About", 215, 149, 42, 16, kBottomRight);
    connect(homepage, &QPushButton::clicked, this, [this] { homepageCommand(desktop_); });
    connect(about, &QPushButton::clicked, this, [this] { aboutCommand(desktop_, this); });
    return {homepage, about};
}

void MainDialog::createProgressAndStatus()
{
    progress_ = new QProgressBar(this);
    progress_->setObjectName(objectNameOf(kIdProgress));
    place(progress_, 7, 151, 98, 12, kAlongBottom);
    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    progress_->hide();

    status_ = new QLabel(this);
    status_->setObjectName(objectNameOf(kIdStatusLine));
    place(status_, 7, 169, 296, 10, kAlongBottom);
    status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status_->setAutoFillBackground(true);
    status_->setTextFormat(Qt::PlainText);
}

void MainDialog::restoreWindowPlace()
{
    const QByteArray geometry = QByteArray::fromBase64(
        profile_.ReadString(kWindowSection, kGeometryKey, QString()).toLatin1());
    if (geometry.isEmpty() || !restoreGeometry(geometry))
        resize(minimumSizeHint());
}

void MainDialog::saveWindowPlace()
{
    profile_.WriteString(kWindowSection, kGeometryKey, QString::fromLatin1(saveGeometry().toBase64()));
}

void MainDialog::createOutputLines()
{
    outputFormat_ = new QLabel(this);
    outputFormat_->setObjectName(QStringLiteral("outputFormat"));
    place(outputFormat_, 7, 181, 296, 10, kAlongBottom);
    outputFormat_->setTextFormat(Qt::PlainText);
    outputFormat_->setAccessibleName(QStringLiteral("Format of the next mix"));
    loudness_ = new QLabel(this);
    loudness_->setObjectName(QStringLiteral("loudness"));
    place(loudness_, 7, 192, 296, 18, kAlongBottom);
    loudness_->setTextFormat(Qt::PlainText);
    loudness_->setWordWrap(true);
    loudness_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    loudness_->setAccessibleName(QStringLiteral("Loudness of the last mix"));
}

void MainDialog::showOutputFile()
{
    setStatusText(outputFileText(settings_.outputFile));
    outputFormat_->setText(QStringLiteral("Next mix: ") + QString::fromStdString(waveFormatSummary(settings_)));
}

void MainDialog::linkListOutput()
{
    listFile_->linkOutput([this] { return settings_; },
                          [this](const OutputSettings& restored) {
                              settings_ = restored;
                              showOutputFile();
                          });
}

void MainDialog::followListForLoudness()
{
    connect(listFile_, &ListFileCommands::listOpened, loudness_, &QLabel::clear);
    connect(listModel_, &MixListModel::listEdited, this, [this] {
        if (store_.audioCount() == 0)
            loudness_->clear();
    });
}

void MainDialog::propertiesCommand()
{
    changePropertiesCommand(store_, *list_, desktop_, [this](const std::vector<int>& rows) { editEntries(rows); });
}

void MainDialog::setUpButton(ImageButton& button, int iconId, const char* tooltip)
{
    if (iconId != 0)
        button.setIcon(res::iconPath(iconId));
    button.setSound(res::resourceFile(res::kSoundHover), false, true);
    button.drawTransparent(false);
    button.setButtonCursor(res::resourceFile(res::kCursorButton), true);
    button.setTooltipText(QString::fromUtf8(tooltip), true);
    button.setAlign(ImageButton::AlignIconTop, true);
}

void MainDialog::startUp(const QString& musicFolder)
{
    if (media::failed(library_.initialize())) {
        desktop_.showMessage(QStringLiteral("Could not initialize COM library."), QStringLiteral("Error"),
                             MessageIcon::Error);
        return;
    }
    settings_ = loadOutputSettings(profile_, musicFolder, desktop_);
    showOutputFile();

    auto button = [this](int id) { return findChild<ImageButton*>(objectNameOf(id)); };
    setUpButton(*button(kIdAdd), res::kIconAdd, "Add audio files to list");
    setUpButton(*button(kIdOptions), res::kIconOptions, "Customize output options");
    setUpButton(*button(kIdMix), res::kIconMix, "Mix files to wav");
    setUpButton(*button(kIdHelp), res::kIconHelp, "Help");
    setUpButton(*button(kIdDeleteSelected), res::kIconDeleteSelected, "Delete selected items");
    setUpButton(*button(kIdDeleteAll), res::kIconDeleteAll, "Delete all items");
    setUpButton(*button(kIdHomepage), 0, "Homepage");
    setUpButton(*button(kIdAbout), 0, "About");
    setUpButton(*button(kIdExit), res::kIconExit, "Exit");
    setUpButton(*button(kIdProperties), res::kIconProperties, "Change selected item's properties");
    ready_ = true;
}

void MainDialog::setOutputSettings(const OutputSettings& settings)
{
    settings_ = settings;
    showOutputFile();
    listFile_->outputChanged();
}

bool MainDialog::engineReady(const QString& whatFails)
{
    if (!ready_)
        desktop_.showAppMessage(QStringLiteral("The media engine could not be started, so %1. "
                                               "Please close Sonarel and start it again.")
                                    .arg(whatFails));
    return ready_;
}

void MainDialog::editEntry(int index)
{
    if (index < 0 || index >= store_.audioCount())
        return;
    if (const auto changed = askEntryProperties(store_.at(index), desktop_, this))
        listModel_->setProperties(index, *changed);
}

void MainDialog::editEntries(const std::vector<int>& rows)
{
    if (rows.size() == 1)
        return editEntry(rows.front());
    std::vector<MixItem> items;
    for (int row : rows) {
        if (row < 0 || row >= store_.audioCount())
            return;
        items.push_back(store_.at(row));
    }
    if (const auto changed = askEntriesProperties(items, desktop_, this)) {
        const MixListModel::CommandScope command(*listModel_);  // one change of the list: one undo step
        for (std::size_t i = 0; i < rows.size() && i < changed->size(); ++i)
            listModel_->setProperties(rows[i], (*changed)[i]);
    }
}

void MainDialog::duckingCommand()
{
    DuckingDialog dialog(desktop_, listModel_->store().ducking(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const MixListModel::CommandScope command(*listModel_, QStringLiteral("Ducking"));
    listModel_->setDucking(dialog.ducking());
}

void MainDialog::tagsCommand()
{
    TagsDialog dialog(desktop_, listModel_->store().tags(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const MixListModel::CommandScope command(*listModel_, QStringLiteral("Tags"));
    listModel_->setTags(dialog.tags());
}

void MainDialog::placeOneAfterAnother()
{
    placeOneAfterAnotherCommand(*listModel_, *list_, desktop_, sequenceJoin_, this);
}

void MainDialog::addCommand()
{
    if (!engineReady(QStringLiteral("no files can be added")))
        return;
    const QString lastFolder = profile_.ReadString(profile::kOption, profile::kLastAudioFolder, QString());
    const QStringList paths = desktop_.chooseFilesToOpen(addFilesDialogRequest(lastFolder));
    if (!paths.isEmpty())
        addFiles(paths);
}

void MainDialog::addFiles(const QStringList& paths)
{
    if (!engineReady(QStringLiteral("no files can be added")))
        return;
    QProgressDialog progress(QStringLiteral("Adding files..."), QStringLiteral("Cancel"), 0,
                             static_cast<int>(paths.size()), this);
    progress.setWindowTitle(QStringLiteral("Sonarel"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(true);
    // Measured into a list of their own with the room that is left, then appended at once: the
    // rows arrive together, as one change of the list.
    MixItemStore added(store_.capacity() - store_.audioCount());
    const AddFilesResult result = addFilesToMixList(added, paths, library_, [&progress](int done, int total) {
        progress.setLabelText(QStringLiteral("Adding file %1 of %2...").arg(std::min(done + 1, total)).arg(total));
        progress.setValue(done);
        return !progress.wasCanceled();
    });
    const int firstNew = store_.audioCount();
    listModel_->append(added);
    showRowsFrom(firstNew);
    rememberLastFolder(store_, profile_);
    const QString refused = refusedFilesMessage(result);
    if (!refused.isEmpty())
        desktop_.showAppMessage(refused);
}

void MainDialog::showRowsFrom(int firstNew)
{
    if (firstNew >= list_->rowCount())
        return;
    // The last new row into view, then the first: all of them when they fit, else the first ones.
    list_->scrollToBottom();
    list_->scrollTo(list_->model()->index(firstNew, 0));
}

void MainDialog::mixCommand()
{
    if (!engineReady(QStringLiteral("nothing can be mixed")))
        return;
    playback_->stop();  // never both at once
    if (!runControl_->isMixing() && !confirmListOutput(settings_, desktop_))
        return;
    runControl_->mixCommand(store_, settings_);
    updateProgress();
}

void MainDialog::mixStemsCommand()
{
    if (runControl_->isMixing() || !engineReady(QStringLiteral("nothing can be mixed")))
        return;
    const QString offered = stemsFolder_.isEmpty() ? QFileInfo(settings_.outputFile).absolutePath() : stemsFolder_;
    const QString folder = desktop_.chooseFolder(QStringLiteral("Mix Stems into"), offered);
    if (folder.isEmpty())
        return;
    stemsFolder_ = folder;
    playback_->stop();  // never both at once
    if (!confirmListOutput(settings_, desktop_))
        return;
    OutputSettings withStems = settings_;
    withStems.stemsFolder = folder;
    runControl_->start(store_, withStems);
    updateProgress();
}

void MainDialog::optionsCommand()
{
    if (!engineReady(QStringLiteral("the output options cannot be changed")))
        return;
    OutputOptionsDialog dialog(settings_, profile_, desktop_, library_, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    copyBackOutputOptions(settings_, dialog.settings());
    showOutputFile();
    listFile_->outputChanged();  // the list keeps its output: a change of the list
}

void MainDialog::arrangementCommand()
{
    if (!arrangement_) {
        arrangement_ = new ArrangementWindow(*listModel_, *list_->selectionModel(), *runControl_, desktop_, profile_,
                                             PeakCache::defaultFolder(), this);
        arrangement_->followPlayback(*playback_);
        connect(arrangement_, &ArrangementWindow::entryActivated, this, &MainDialog::editEntry);
        connect(listFile_, &ListFileCommands::listOpened, arrangement_, &ArrangementWindow::listOpened);
        // A drag in the timeline is an edit like the dialog's: the row shows it and Undo takes it back.
        connect(arrangement_, &ArrangementWindow::entryEdited, this,
                [this](int index, const EntryProperties& properties) { listModel_->setProperties(index, properties); });
        // Undo and Redo by their keys in the timeline too: the same actions, so the same history.
        arrangement_->addActions({listFile_->undoAction(), listFile_->redoAction()});
    }
    arrangement_->open();
}

void MainDialog::mixStarted()
{
    mixButton_->setText(QStringLiteral("Stop"));
    mixAction_->setText(QStringLiteral("&Stop Mix"));
    mixStemsAction_->setEnabled(false);
    playAction_->setEnabled(false);
    soloAction_->setEnabled(false);
    secondTimer_.start();
    progressTimer_.start();
    progress_->setValue(0);
    progress_->show();
    loudness_->clear();
}

void MainDialog::mixFinished(MixOutcome outcome)
{
    // Stays until the next mix starts: nothing to click away.
    if (outcome == MixOutcome::Completed)
        loudness_->setText(runControl_->lastLoudnessText());
    secondTimer_.stop();
    progressTimer_.stop();
    progress_->hide();
    mixButton_->setText(QStringLiteral("Mix"));
    mixAction_->setText(QStringLiteral("&Mix"));
    mixStemsAction_->setEnabled(true);
    playAction_->setEnabled(true);
    soloAction_->setEnabled(true);
}

void MainDialog::setStatusText(const QString& text)
{
    status_->setText(text);
}

void MainDialog::postGraphNotice()
{
    QCoreApplication::postEvent(this, new QEvent(kGraphNoticeEvent));
}

void MainDialog::updateProgress()
{
    const double fraction = runControl_->progress();
    if (fraction >= 0)
        progress_->setValue(static_cast<int>(fraction * 1000));
}

bool MainDialog::event(QEvent* event)
{
    if (event->type() == kGraphNoticeEvent) {
        runControl_->onGraphNotice();
        return true;
    }
    return QDialog::event(event);
}

void MainDialog::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!background_.isNull())
        painter.drawTiledPixmap(rect(), background_);
}

void MainDialog::closeEvent(QCloseEvent* event)
{
    if (!runControl_->closeRequested() || !listFile_->closeRequested()) {
        event->ignore();
        return;
    }
    playback_->stop();
    library_.shutDown();
    saveWindowPlace();
    event->accept();
    QDialog::done(QDialog::Accepted);
}

void MainDialog::reject()
{
    close();
}

}  // namespace sonarel
