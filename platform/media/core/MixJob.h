// SPDX-License-Identifier: GPL-3.0-or-later
// One render of a group into a WAV file or an encoded one, on worker threads.
//
// The output is produced in blocks. Workers decode the sources a few blocks ahead (DecodeAhead:
// each source by one thread at a time, so its decoder stays sequential); the job's thread takes
// the blocks in their order, mixes each in the order of the sources on the timeline, converts it
// to PCM and writes it. The fixed mixing order makes the result independent of the number of
// workers. Every block is measured for loudness as it is written. A normalized mix is mixed once
// into a temporary float file while it is measured, then read back with the gain that the measure
// gives, which costs far less than mixing twice. A source is opened at the first block it plays in
// and closed after its last one, so memory depends on how many sources overlap, not on the length
// of the list or of the output.
//
// With stem files, each block is also summed per stem (the sources whose stem it is, in the same
// order) and every stem goes the mix's way: its own temporary file while a normalized mix is
// measured, the mix's gain, the gains the limiter computes from the mix (frame by frame, delayed
// the same) and its own writer in the mix's format. The mix itself is summed as without stems, so
// it stays the same file, and the stems add up to it up to float rounding.
//
// start() and stop() are called on the owner's thread, framesWritten() and running() on any; the
// rest runs on the job's thread, which reads the options as they were when the job was made.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/media/EngineContext.h"
#include "platform/media/Formats.h"
#include "platform/media/Status.h"
#include "platform/media/core/DecodeAhead.h"
#include "platform/media/core/Dither.h"
#include "platform/media/core/LoudnessMeter.h"
#include "platform/media/core/MixOutput.h"
#include "platform/media/core/OutputEncoding.h"
#include "platform/media/core/PcmConversion.h"
#include "platform/media/core/Placement.h"
#include "platform/media/core/RenderCore.h"
#include "platform/media/core/TemporarySamples.h"
#include "platform/media/core/TruePeakLimiter.h"

namespace sonarel::media::core {

class MixJob {
public:
    using EventSink = std::function<void(const GraphEvent&)>;

    MixJob(std::shared_ptr<EngineContext> context, SourceList sources, WaveFormat format, std::u16string outputName,
           EventSink sink, OutputEncoding encoding = {}, std::vector<std::u16string> stemNames = {});
    ~MixJob();
    MixJob(const MixJob&) = delete;
    MixJob& operator=(const MixJob&) = delete;

    // Creates the output file and starts the work on its own thread; returns at once.
    Status start();
    // Asks the work to end and waits for it (unless called on the job's own thread); the output
    // is then a valid WAV file of what was written. Queues no event.
    void stop();

    std::int64_t framesWritten() const { return framesWritten_.load(std::memory_order_relaxed); }
    std::int64_t totalFrames() const { return totalFrames_; }
    // True from start() until the output file is closed.
    bool running() const { return running_.load(); }

private:
    struct Outcome {
        Status status = kOk;
        std::string detail;  // for a failure: what failed, naming the file
    };
    using Members = std::vector<DecodeAhead::Member>;
    // One stem file and what it needs on its way, as the mix has it.
    struct Stem {
        std::string path;
        std::unique_ptr<MixOutput> output;
        std::unique_ptr<TemporarySamples> temporary;
        std::unique_ptr<TpdfDither> dither;
        std::unique_ptr<LimiterFollower> follower;
        std::vector<float> block;    // the block being mixed, a mix block long
        std::vector<float> limited;  // what the follower handed out of it
        std::vector<const PlayingSource*> sounding;
        Clipping clipping;
    };

    void main();
    Status openOutput();
    // The stems' files, or their temporary files for a normalized mix's first pass.
    Status openStems(bool temporary);
    // Sums the block's parts of each stem's sources into its buffer.
    void sumStems(const Members& members, int slot, std::int64_t frames);
    // Writes the stems' blocks as writeBlock has written the mix's.
    Status writeStems(std::size_t frames, bool measuring);
    Status writeStem(Stem& stem, float* samples, std::size_t frames);
    Status writeLimitedStem(Stem& stem, const float* samples, std::size_t frames);
    static std::string writeFailureText(const std::string& path, Status status);
    // For a failure of the temporary file of a normalized mix, naming where it lies.
    std::string temporaryFailureText(Status status) const;
    // While `measuring`, the blocks go to the temporary file instead of the output.
    Outcome mixAllBlocks(bool measuring);
    // Writes the temporary file to the output with the chosen gain.
    Outcome replayTemporary();
    // The gain of a normalized mix from the first pass's figures; notes it in loudness_. True when
    // that gain takes the true peak over the ceiling and the limiter is to hold it.
    bool chooseGain(const LoudnessFigures& measured);
    // With the limiter: corrects the gain and the limiter's ceiling by passes over the temporary
    // file until the limited mix measures the target and keeps under the ceiling.
    Outcome tuneLimiter(double gainDb);
    // The figures of the temporary file at the gain, through a limiter at the ceiling.
    Outcome limitedFigures(double gainDb, double ceilingDbtp, LoudnessFigures& figures);
    // Writes what the limiter still holds (the end of the mix) and notes what it did.
    Status finishLimiter();
    int workerCount() const;
    std::int64_t blockFrames(const SourceSchedule& schedule, const DecodeAhead& decoding, std::int64_t start) const;
    Outcome firstFailure(const Members& members) const;
    // Notes the sources that silenced samples or ended early, for the closing event.
    void noteLosses(const Members& members);
    // Applies the gain, measures the block and writes it.
    Status writeBlock(std::vector<float>& mix, std::int64_t blockFrames, bool measuring);
    // Measures, dithers and writes mixed frames.
    Status writeOut(float* samples, std::size_t frames);
    void finishOutput(Outcome& outcome);
    void report(const Outcome& outcome);
    const std::vector<SourceEntry>& entries() const { return *sources_; }

    std::shared_ptr<EngineContext> context_;  // its faults only: the options are copied below
    const EngineOptions options_;
    SourceList sources_;  // shared with the engine's output, never null
    WaveFormat format_;
    std::u16string outputName_;
    std::string outputPath_;
    EventSink sink_;
    OutputEncoding encoding_;
    std::int64_t totalFrames_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::atomic<std::int64_t> framesWritten_{0};
    Clipping clipping_;                         // job's thread
    std::vector<bool> silenced_;                // per entry: some of its samples were not numbers (job's thread)
    std::vector<EndedEarlySource> endedEarly_;  // in timeline order (job's thread)
    std::unique_ptr<MixOutput> output_;
    std::unique_ptr<LoudnessMeter> meter_;  // of the pass under way
    std::unique_ptr<TpdfDither> dither_;
    std::unique_ptr<TemporarySamples> temporary_;  // a normalized mix before its gain
    std::unique_ptr<TruePeakLimiter> limiter_;     // of the pass that writes the output
    std::vector<float> limited_;                   // what the limiter handed out of a block
    std::vector<double> limiterGains_;             // and the gain of each of those frames
    std::vector<Stem> stems_;
    std::string failedStem_;  // the path of a stem whose writing failed
    float gain_ = 1.0f;
    LoudnessFigures loudness_;
    std::thread thread_;
};

}  // namespace sonarel::media::core
