// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/MixJob.h"

#include <sys/stat.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <system_error>

#include "platform/media/FreedMemory.h"
#include "platform/media/core/Files.h"
#include "platform/media/core/PcmConversion.h"
#include "platform/media/core/PlayingSource.h"

namespace sonarel::media::core {

namespace {
// Blocks are as long as the sources that sound in them allow: few sources take the longest blocks
// (fewer hand-overs between the threads), many take shorter ones, so that their buffers stay
// within kSourceBuffersBytes. Each source holds about kBuffersPerSource block-sized buffers (its
// ring of parts and the decoded samples before the volume). The block length changes no sample:
// every source reads its stream frame by frame.
constexpr std::int64_t kLongestBlock = 16384;
constexpr std::int64_t kShortestBlock = 256;
constexpr std::int64_t kSourceBuffersBytes = 16 << 20;
constexpr std::int64_t kBuffersPerSource = kPlayingParts + 1;

// A normalized mix's temporary file lies beside the output; an output that is a pipe or a device
// (or standard output redirected to a file, named in /dev) has no folder of its own to share, so
// it goes to the temporary folder instead.
std::string temporaryFolderFor(const std::string& outputPath)
{
    struct stat info {};
    const bool systemFolder = outputPath.rfind("/dev/", 0) == 0 || outputPath.rfind("/proc/", 0) == 0;
    if (systemFolder || (::stat(outputPath.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))) {
        const char* tmp = std::getenv("TMPDIR");
        return tmp && *tmp ? std::string(tmp) + "/" : std::string("/tmp/");
    }
    const std::size_t slash = outputPath.find_last_of('/');
    return slash == std::string::npos ? "." : outputPath.substr(0, slash + 1);
}
// Each closed source leaves its decoder's freed blocks scattered over the workers' heaps; over a long
// list of short files that grew a 100,000-entry mix by about a kilobyte per entry.
constexpr std::size_t kClosedSourcesPerTrim = 64;

}  // namespace

MixJob::MixJob(std::shared_ptr<EngineContext> context, SourceList sources, WaveFormat format, std::u16string outputName,
               EventSink sink, OutputEncoding encoding, std::vector<std::u16string> stemNames)
    : context_(std::move(context)),
      options_(context_->options),
      sources_(sources ? std::move(sources) : std::make_shared<const std::vector<SourceEntry>>()),
      format_(format),
      outputName_(std::move(outputName)),
      outputPath_(toUtf8(outputName_)),
      sink_(std::move(sink)),
      encoding_(encoding)
{
    totalFrames_ = outputFrames(entries(), static_cast<int>(format_.samplesPerSec));
    stems_.resize(stemNames.size());
    for (std::size_t k = 0; k < stems_.size(); ++k)
        stems_[k].path = toUtf8(stemNames[k]);
}

MixJob::~MixJob()
{
    stop();
    if (thread_.joinable())
        thread_.join();
}

Status MixJob::start()
{
    if (thread_.joinable() || output_)
        return kErrWrongState;
    if (encoding_.normalize) {
        // The output is opened after the first pass: until then a file it replaces stays whole.
        temporary_ = std::make_unique<TemporarySamples>();
        if (const Status s = temporary_->open(temporaryFolderFor(outputPath_)); failed(s))
            return s;
        if (const Status s = openStems(true); failed(s))
            return s;
    } else if (const Status s = openOutput(); failed(s)) {
        return s;
    }
    const bool integerSamples = format_.formatTag == kWaveFormatPcm && (encoding_.container == OutputContainer::Wav ||
                                                                        encoding_.container == OutputContainer::Flac);
    if (encoding_.dither && integerSamples) {
        dither_ = std::make_unique<TpdfDither>(format_.bitsPerSample);
        for (Stem& stem : stems_)
            stem.dither = std::make_unique<TpdfDither>(format_.bitsPerSample);
    }
    if (encoding_.limit && !encoding_.normalize)
        limiter_ = std::make_unique<TruePeakLimiter>(format_.channels, static_cast<int>(format_.samplesPerSec),
                                                     encoding_.truePeakCeilingDbtp);
    running_.store(true);
    try {
        thread_ = std::thread([this] { main(); });
    } catch (const std::system_error&) {
        // The header of the empty file is made true; the failure to start is what counts.
        if (output_)
            static_cast<void>(output_->finish());
        for (Stem& stem : stems_)
            if (stem.output)
                static_cast<void>(stem.output->finish());
        running_.store(false);
        return kErrOutOfMemory;
    }
    return kOk;
}

Status MixJob::openOutput()
{
    std::string detail;
    const Status s = MixOutput::open(outputPath_, format_, encoding_, options_.rf64Threshold, &context_->faults,
                                     output_, detail,
                                     static_cast<std::uint64_t>(std::max<std::int64_t>(totalFrames_, 0)));
    if (failed(s)) {
        output_.reset();
        return s;
    }
    if (const Status stems = openStems(false); failed(stems)) {
        // The mix's file goes the way of a stopped one: a valid empty WAV file, or nothing.
        static_cast<void>(output_->finish());
        return stems;
    }
    return kOk;
}

Status MixJob::openStems(bool temporary)
{
    // A stem is plain audio in the mix's kind of file: none of the mix's other settings.
    OutputEncoding plain;
    plain.container = encoding_.container;
    plain.bitrateKbps = encoding_.bitrateKbps;
    for (Stem& stem : stems_) {
        Status s = kOk;
        if (temporary) {
            stem.temporary = std::make_unique<TemporarySamples>();
            s = stem.temporary->open(temporaryFolderFor(stem.path));
        } else {
            std::string detail;
            s = MixOutput::open(stem.path, format_, plain, options_.rf64Threshold, &context_->faults, stem.output,
                                detail, static_cast<std::uint64_t>(std::max<std::int64_t>(totalFrames_, 0)));
        }
        if (failed(s)) {
            failedStem_ = stem.path;
            for (Stem& opened : stems_)
                if (opened.output)
                    static_cast<void>(opened.output->finish());
            return s;
        }
        stem.block.assign(static_cast<std::size_t>(kLongestBlock) * static_cast<std::size_t>(format_.channels), 0.0f);
    }
    return kOk;
}

void MixJob::stop()
{
    stop_.store(true);
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void MixJob::main()
{
    Outcome outcome;
    try {
        outcome = mixAllBlocks(encoding_.normalize);
        if (encoding_.normalize && succeeded(outcome.status) && !stop_.load()) {
            if (chooseGain(meter_->figures()))
                outcome = tuneLimiter(loudness_.gainDb);
            if (succeeded(outcome.status) && !stop_.load()) {
                if (const Status s = openOutput(); failed(s))
                    outcome = {s, writeFailureText(failedStem_.empty() ? outputPath_ : failedStem_, s)};
                else
                    outcome = replayTemporary();
            }
        }
        if (limiter_ && output_ && succeeded(outcome.status))
            if (const Status s = finishLimiter(); failed(s))
                outcome = {s, {}};
        if (meter_) {
            const LoudnessFigures chosen = loudness_;
            loudness_ = meter_->figures();
            loudness_.normalized = chosen.normalized;
            loudness_.gainDb = chosen.gainDb;
            loudness_.belowTargetLu = chosen.belowTargetLu;
            loudness_.limited = chosen.limited;
            loudness_.limitedPeaks = chosen.limitedPeaks;
            loudness_.limiterMostDb = chosen.limiterMostDb;
        }
    } catch (const std::bad_alloc&) {
        outcome = {kErrOutOfMemory, "The mix ran out of memory while writing " + outputPath_ + "."};
    } catch (const std::exception& e) {
        outcome = {kErrFail, std::string("The mix failed: ") + e.what()};
    }
    finishOutput(outcome);
    running_.store(false);
    report(outcome);
}

// Block k is mixed, measured and written while the workers fill the parts of the blocks after it.
MixJob::Outcome MixJob::mixAllBlocks(bool measuring)
{
    meter_ = std::make_unique<LoudnessMeter>(format_.channels, static_cast<int>(format_.samplesPerSec), totalFrames_);
    if (totalFrames_ <= 0)
        return {};
    SourceSchedule schedule(entries(), static_cast<int>(format_.samplesPerSec));
    BlockRequest request;
    request.channels = format_.channels;
    request.rate = static_cast<int>(format_.samplesPerSec);
    request.stop = &stop_;
    request.faults = &context_->faults;
    DecodeAhead decoding(workerCount(), request);
    std::vector<float> mix(static_cast<std::size_t>(kLongestBlock) * static_cast<std::size_t>(format_.channels));
    std::vector<const PlayingSource*> sounding;
    std::int64_t planned = 0;  // the end of the blocks planned so far
    std::size_t closedSinceTrim = 0;
    const auto planAhead = [&] {
        while (planned < totalFrames_ && decoding.blocksAhead() < static_cast<std::size_t>(kPlayingParts)) {
            const std::int64_t frames = blockFrames(schedule, decoding, planned);
            decoding.plan(planned, frames, schedule.admit(planned, planned + frames));
            planned += frames;
        }
    };
    planAhead();
    while (decoding.takeOldest()) {
        const DecodeAhead::Block& block = decoding.oldest();
        noteLosses(decoding.members());
        if (Outcome failure = firstFailure(decoding.members()); failed(failure.status))
            return failure;
        sounding.clear();
        for (const DecodeAhead::Member& member : decoding.members())
            sounding.push_back(member.source);
        sumParts(sounding, block.slot, block.frames, format_.channels, mix.data());
        if (!stems_.empty())
            sumStems(decoding.members(), block.slot, block.frames);
        const Status written = writeBlock(mix, block.frames, measuring);
        const std::int64_t end = block.start + block.frames;
        if (succeeded(written))
            framesWritten_.store(end, std::memory_order_relaxed);  // also when stopped meanwhile
        if (stop_.load())
            break;
        if (failed(written))
            return {written, measuring ? temporaryFailureText(written) : std::string()};
        closedSinceTrim += decoding.release();
        if (closedSinceTrim >= kClosedSourcesPerTrim) {
            returnFreedMemory();
            closedSinceTrim = 0;
        }
        if (end >= totalFrames_)
            break;
        planAhead();
    }
    return {};
}

void MixJob::sumStems(const Members& members, int slot, std::int64_t frames)
{
    for (Stem& stem : stems_)
        stem.sounding.clear();
    for (const DecodeAhead::Member& member : members) {
        const int k = entries()[member.source->index()].stem;
        if (k >= 0 && static_cast<std::size_t>(k) < stems_.size())
            stems_[static_cast<std::size_t>(k)].sounding.push_back(member.source);
    }
    for (Stem& stem : stems_)
        sumParts(stem.sounding, slot, frames, format_.channels, stem.block.data());
}

// The length of the block at `start`: the longest whose buffers, for every source that may sound in
// it, fit the budget.
std::int64_t MixJob::blockFrames(const SourceSchedule& schedule, const DecodeAhead& decoding, std::int64_t start) const
{
    const std::int64_t left = totalFrames_ - start;
    if (left <= 0)
        return 0;
    const std::int64_t sources = decoding.soundingAfter(start) + schedule.waiting(start, start + kLongestBlock);
    const std::int64_t perFrame = std::max<std::int64_t>(sources, 1) * format_.channels *
                                  static_cast<std::int64_t>(sizeof(float)) * kBuffersPerSource;
    const std::int64_t fits = std::clamp(kSourceBuffersBytes / perFrame, kShortestBlock, kLongestBlock);
    return std::min(fits, left);
}

int MixJob::workerCount() const
{
    int workers = options_.workerThreads;
    if (workers <= 0)
        workers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return std::min(workers, kMaxRenderWorkers);
}

MixJob::Outcome MixJob::firstFailure(const Members& members) const
{
    for (const DecodeAhead::Member& member : members)
        if (member.failed)
            return {member.source->failure().status, readFailureDetail(*member.source)};
    return {};
}

void MixJob::noteLosses(const Members& members)
{
    silenced_.resize(entries().size(), false);
    for (const DecodeAhead::Member& member : members) {
        if (member.silenced)
            silenced_[member.source->index()] = true;
        const PlayingSource& source = *member.source;
        // What an ended source says of its end is set once, before the fill that handed it over.
        if (member.endedEarly && std::none_of(endedEarly_.begin(), endedEarly_.end(),
                                              [&](const EndedEarlySource& e) { return e.source == source.index(); }))
            endedEarly_.push_back({source.path(), source.index(),
                                   static_cast<double>(source.soundEnd()) / format_.samplesPerSec, source.shrank()});
    }
}

// The loudness is measured on what is written, before the dither that is a tiny noise by design.
Status MixJob::writeBlock(std::vector<float>& mix, std::int64_t blockFrames, bool measuring)
{
    const auto frames = static_cast<std::size_t>(blockFrames);
    const std::size_t samples = frames * format_.channels;
    if (gain_ != 1.0f)
        for (std::size_t i = 0; i < samples; ++i)
            mix[i] *= gain_;
    if (measuring) {
        meter_->add(mix.data(), frames);
        if (const Status s = temporary_->append(mix.data(), samples); failed(s))
            return s;
        return writeStems(frames, true);
    }
    if (!limiter_) {
        if (const Status s = writeOut(mix.data(), frames); failed(s))
            return s;
        return writeStems(frames, false);
    }
    limited_.clear();
    limiterGains_.clear();
    limiter_->process(mix.data(), frames, limited_, stems_.empty() ? nullptr : &limiterGains_);
    if (const Status s = writeOut(limited_.data(), limited_.size() / format_.channels); failed(s))
        return s;
    return writeStems(frames, false);
}

// The stems' blocks take the mix's gain; behind the limiter, the gains it gave the mix's frames.
Status MixJob::writeStems(std::size_t frames, bool measuring)
{
    const std::size_t samples = frames * format_.channels;
    for (Stem& stem : stems_) {
        if (gain_ != 1.0f)
            for (std::size_t i = 0; i < samples; ++i)
                stem.block[i] *= gain_;
        Status s = kOk;
        if (measuring) {
            s = stem.temporary->append(stem.block.data(), samples);
        } else if (!limiter_) {
            s = writeStem(stem, stem.block.data(), frames);
        } else {
            s = writeLimitedStem(stem, stem.block.data(), frames);
        }
        if (failed(s)) {
            failedStem_ = stem.path;
            return s;
        }
    }
    return kOk;
}

Status MixJob::writeStem(Stem& stem, float* samples, std::size_t frames)
{
    if (frames == 0)
        return kOk;
    if (stem.dither)
        stem.dither->apply(samples, frames * format_.channels);
    return stem.output->write(samples, frames, stem.clipping);
}

Status MixJob::writeOut(float* samples, std::size_t frames)
{
    if (frames == 0)
        return kOk;
    meter_->add(samples, frames);
    if (dither_)
        dither_->apply(samples, frames * format_.channels);
    return output_->write(samples, frames, clipping_);
}

Status MixJob::finishLimiter()
{
    limited_.clear();
    limiterGains_.clear();
    limiter_->finish(limited_, stems_.empty() ? nullptr : &limiterGains_);
    loudness_.limited = true;
    loudness_.limitedPeaks = limiter_->peaksLowered();
    loudness_.limiterMostDb = limiter_->mostReductionDb();
    if (const Status s = writeOut(limited_.data(), limited_.size() / format_.channels); failed(s))
        return s;
    for (Stem& stem : stems_) {
        if (const Status s = writeLimitedStem(stem, nullptr, 0); failed(s)) {
            failedStem_ = stem.path;
            return s;
        }
    }
    return kOk;
}

// The stem's frames through the gains the limiter gave the mix's (null and 0: what it still holds).
Status MixJob::writeLimitedStem(Stem& stem, const float* samples, std::size_t frames)
{
    if (!stem.follower)
        stem.follower = std::make_unique<LimiterFollower>(format_.channels);
    stem.limited.clear();
    stem.follower->follow(samples, frames, limiterGains_, stem.limited);
    return writeStem(stem, stem.limited.data(), stem.limited.size() / format_.channels);
}

MixJob::Outcome MixJob::replayTemporary()
{
    meter_ = std::make_unique<LoudnessMeter>(format_.channels, static_cast<int>(format_.samplesPerSec), totalFrames_);
    if (const Status s = temporary_->rewind(); failed(s))
        return {s, temporaryFailureText(s)};
    for (Stem& stem : stems_)
        if (const Status s = stem.temporary->rewind(); failed(s))
            return {s, temporaryFailureText(s)};
    const auto channels = static_cast<std::size_t>(format_.channels);
    std::vector<float> block(static_cast<std::size_t>(kLongestBlock) * channels);
    for (std::int64_t at = 0; at < totalFrames_ && !stop_.load(); at += kLongestBlock) {
        const std::int64_t frames = std::min(kLongestBlock, totalFrames_ - at);
        if (const Status s = temporary_->read(block.data(), static_cast<std::size_t>(frames) * channels); failed(s))
            return {s, temporaryFailureText(s)};
        for (Stem& stem : stems_)
            if (const Status s = stem.temporary->read(stem.block.data(), static_cast<std::size_t>(frames) * channels);
                failed(s))
                return {s, temporaryFailureText(s)};
        if (const Status s = writeBlock(block, frames, false); failed(s))
            return {s, {}};
    }
    return {};
}

// One gain for the whole mix: the target's distance from the measured loudness, less what the
// true-peak ceiling forbids. Silence stays as it is.
bool MixJob::chooseGain(const LoudnessFigures& measured)
{
    loudness_.normalized = true;
    if (!std::isfinite(measured.integratedLufs))
        return false;
    double gainDb = encoding_.targetLufs - measured.integratedLufs;
    const bool overCeiling = std::isfinite(measured.truePeakDbtp) &&
                             measured.truePeakDbtp + gainDb > encoding_.truePeakCeilingDbtp;
    if (overCeiling && !encoding_.limiter) {
        gainDb = encoding_.truePeakCeilingDbtp - measured.truePeakDbtp;
        loudness_.belowTargetLu = encoding_.targetLufs - (measured.integratedLufs + gainDb);
    }
    loudness_.gainDb = gainDb;
    gain_ = static_cast<float>(std::pow(10.0, gainDb / 20.0));
    return overCeiling && encoding_.limiter;
}

// Limiting lowers the loudness a little and a changing gain can lift an interpolated peak a
// little: each pass measures what the limited mix would be and corrects for what it missed.
MixJob::Outcome MixJob::tuneLimiter(double gainDb)
{
    constexpr int kMostPasses = 4;
    constexpr double kLoudnessTolerance = 0.05;  // LU
    const double ceiling = encoding_.truePeakCeilingDbtp;
    double held = ceiling;  // the limiter's own ceiling
    double lastGainDb = gainDb;
    double lastMissed = 0.0;
    for (int pass = 0; pass < kMostPasses && !stop_.load(); ++pass) {
        LoudnessFigures figures;
        if (Outcome outcome = limitedFigures(gainDb, held, figures); failed(outcome.status))
            return outcome;
        const bool peakHeld = !(figures.truePeakDbtp > ceiling);
        const double missed = encoding_.targetLufs - figures.integratedLufs;
        if (!std::isfinite(missed) || (peakHeld && std::abs(missed) <= kLoudnessTolerance))
            break;
        // Sound that is loud throughout (a tone, a square wave) gains nothing from more gain: the
        // limiter takes it all back. The gain before stays, and the mix falls short of the target.
        if (pass > 0 && lastMissed > 0.0 && missed > lastMissed / 2) {
            gainDb = lastGainDb;
            loudness_.belowTargetLu = lastMissed;
            break;
        }
        if (!peakHeld)
            held -= figures.truePeakDbtp - ceiling + 0.01;
        lastGainDb = gainDb;
        lastMissed = missed;
        gainDb += missed;
    }
    loudness_.gainDb = gainDb;
    gain_ = static_cast<float>(std::pow(10.0, gainDb / 20.0));
    limiter_ = std::make_unique<TruePeakLimiter>(format_.channels, static_cast<int>(format_.samplesPerSec), held);
    return {};
}

MixJob::Outcome MixJob::limitedFigures(double gainDb, double ceilingDbtp, LoudnessFigures& figures)
{
    const auto channels = static_cast<std::size_t>(format_.channels);
    const int rate = static_cast<int>(format_.samplesPerSec);
    LoudnessMeter meter(format_.channels, rate, totalFrames_);
    TruePeakLimiter limiter(format_.channels, rate, ceilingDbtp);
    const auto gain = static_cast<float>(std::pow(10.0, gainDb / 20.0));
    if (const Status s = temporary_->rewind(); failed(s))
        return {s, temporaryFailureText(s)};
    std::vector<float> block(static_cast<std::size_t>(kLongestBlock) * channels);
    std::vector<float> limited;
    for (std::int64_t at = 0; at < totalFrames_; at += kLongestBlock) {
        if (stop_.load())
            return {};
        const std::int64_t frames = std::min(kLongestBlock, totalFrames_ - at);
        const std::size_t samples = static_cast<std::size_t>(frames) * channels;
        if (const Status s = temporary_->read(block.data(), samples); failed(s))
            return {s, temporaryFailureText(s)};
        for (std::size_t i = 0; i < samples; ++i)
            block[i] *= gain;
        limited.clear();
        limiter.process(block.data(), static_cast<std::size_t>(frames), limited);
        meter.add(limited.data(), limited.size() / channels);
    }
    limited.clear();
    limiter.finish(limited);
    meter.add(limited.data(), limited.size() / channels);
    figures = meter.figures();
    return {};
}

// Closes the file with a true header, whatever happened; a failure to do so is the outcome when
// nothing failed before.
void MixJob::finishOutput(Outcome& outcome)
{
    if (!output_)
        return;  // a normalized mix that ended in its first pass
    Status finished = output_->finish();
    for (Stem& stem : stems_) {
        if (!stem.output)
            continue;
        if (const Status s = stem.output->finish(); failed(s) && succeeded(finished)) {
            finished = s;
            failedStem_ = stem.path;
        }
    }
    if (succeeded(outcome.status) && failed(finished))
        outcome.status = finished;
    if (outcome.status == kErrReaderGone && outcome.detail.empty()) {
        outcome.detail = "What was mixed until then went to " + outputPath_ + "; the rest was not mixed.";
    } else if (failed(outcome.status) && outcome.detail.empty() && !failedStem_.empty()) {
        outcome.detail = writeFailureText(failedStem_, outcome.status);
        for (const Stem& stem : stems_)
            if (stem.path == failedStem_ && stem.output && !stem.output->failureDetail().empty())
                outcome.detail += " (" + stem.output->failureDetail() + ")";
    } else if (failed(outcome.status) && outcome.detail.empty()) {
        outcome.detail = writeFailureText(outputPath_, outcome.status);
        if (const std::string why = output_->failureDetail(); !why.empty())
            outcome.detail += " (" + why + ")";
    }
}

std::string MixJob::writeFailureText(const std::string& path, Status status)
{
    std::string text = "Could not write the output file ";
    text += path;
    text += ": ";
    text += errorText(status);
    return text;
}

std::string MixJob::temporaryFailureText(Status status) const
{
    std::string text = "Could not write or read back the normalized mix's temporary file in ";
    text += temporary_->folder();
    text += " (the mix before its loudness is set): ";
    text += errorText(status);
    return text;
}

void MixJob::report(const Outcome& outcome)
{
    if (stop_.load() && (succeeded(outcome.status) || outcome.status == kErrAbort))
        return;  // stopped by the caller: no event
    if (!sink_)
        return;
    GraphEvent event;
    event.code = failed(outcome.status) ? kEventErrorAbort : kEventComplete;
    event.status = outcome.status;
    event.detail = outcome.detail;
    event.clippedSamples = clipping_.samples;
    event.peakLevel = clipping_.peak;
    event.loudness = loudness_;
    event.outputKept = output_ && output_->kept();
    for (std::size_t i = 0; i < silenced_.size(); ++i)
        if (silenced_[i])
            event.silencedSources.push_back(toUtf8(entries()[i].fileName()));
    event.endedEarlySources = endedEarly_;
    std::sort(event.endedEarlySources.begin(), event.endedEarlySources.end(),
              [](const EndedEarlySource& a, const EndedEarlySource& b) { return a.source < b.source; });
    sink_(event);
}

}  // namespace sonarel::media::core
