// SPDX-License-Identifier: GPL-3.0-or-later
// Renders a built timeline into one WAV file: render engine -> "Wave Format" converter ->
// "Wave Mux" multiplexer -> "Writer" file writer, then starts the graph. Runs on the
// user-interface thread. Every failure the manual names is shown through the desktop interface in
// its own words. Three failures have no described message and stay silent, as only an injected
// fault brings them about with this engine: the engine not handing back the timeline it was given
// or the graph it has just built (takeEngineGraph), the multiplexer or the writer without its pin
// (connectMultiplexerToWriter; both are made with theirs), and the converter not telling its
// format (setOutputFormat). The first two end the render like any failure, so the Mix command then
// starts nothing and says nothing; after the third the file is written in the converter's own
// format.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "platform/media/services/MediaLibrary.h"
#include "settings/WaveFormatChoice.h"

namespace sonarel {

class Desktop;

// What lives while a mix runs. Empty when no mix runs.
struct RenderJob {
    std::shared_ptr<media::RenderEngine> renderEngine;
    std::shared_ptr<media::MediaControl> control;
    std::shared_ptr<media::MediaEvents> events;
    std::shared_ptr<media::MediaSeeking> seeking;  // for the progress display

    bool isRunning() const { return events != nullptr; }
    void reset() { *this = RenderJob{}; }
};

// True when a file or a link has the output's name, readable or not (see nameIsTaken).
bool outputFileExists(const QString& path);

// Fills the converter's wave format from the chosen PCM format, keeping the format tag (but for
// float samples) and cbSize the converter reported.
void applyPcmFormat(media::WaveFormat& format, const PcmFormat& pcm);

class RenderPipeline {
public:
    RenderPipeline(media::MediaLibrary& library, Desktop& desktop);

    // Builds and starts the pipeline. On success `job` holds the running graph and true is
    // returned; `notify` is then called on a worker thread whenever the graph queues an event.
    // On failure the message has been shown, everything taken is released and `job` is empty.
    // `encoding` is handed to the multiplexer: the kind of file, normalization and dither.
    // `stemFiles`: the files written beside the output, one per stem of the timeline's sources.
    bool renderToFile(const std::shared_ptr<media::Timeline>& timeline, const QString& outputFile,
                      const PcmFormat& format, std::function<void()> notify, RenderJob& job,
                      const media::core::OutputEncoding& encoding = {}, const QStringList& stemFiles = {});

private:
    struct Assembly;  // what one assembly holds until the graph runs

    bool startEngine(const std::shared_ptr<media::Timeline>& timeline, std::shared_ptr<media::RenderEngine>& engine);
    void switchPreviewOff(media::Timeline& timeline);
    bool assembleAndRun(media::RenderEngine& engine, const QString& outputFile, const PcmFormat& format,
                        const media::core::OutputEncoding& encoding, std::function<void()> notify, RenderJob& job,
                        const QStringList& stemFiles);
    bool takeEngineGraph(media::RenderEngine& engine, Assembly& assembly);
    bool addMultiplexer(Assembly& assembly, const media::core::OutputEncoding& encoding);
    bool addFileWriter(Assembly& assembly, const QString& outputFile, const QStringList& stemFiles);
    bool addConverter(Assembly& assembly);
    bool renderGroupThroughConverter(media::RenderEngine& engine, Assembly& assembly);
    void setOutputFormat(Assembly& assembly, const PcmFormat& format);
    bool connectMultiplexerToWriter(Assembly& assembly);
    bool startGraph(Assembly& assembly, std::function<void()> notify, RenderJob& job);
    // Shows a failed step: its fixed text, and for the command line the output and the cause.
    // `withPlatformText`: the window shows a second box with the platform's text for `status`.
    // `outcome`: what it means for the output (default: the mix is not started).
    void failedStep(const char* stepText, media::Status status, bool withPlatformText = false,
                    const QString& caption = {}, const char* outcome = nullptr);
    void failedStep(const QString& stepText, media::Status status, bool withPlatformText = false,
                    const QString& caption = {}, const char* outcome = nullptr);

    media::MediaLibrary& library_;
    Desktop& desktop_;
    QString outputFile_;  // of the mix being set up
};

}  // namespace sonarel
