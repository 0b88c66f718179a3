// SPDX-License-Identifier: GPL-3.0-or-later
// A private PulseAudio server for playback tests: its only sink a null sink (44100 Hz, stereo,
// 16-bit, no rewinds, so what the monitor records is exactly what was played), its socket in a
// runtime folder of its own, and a recorder on the sink's monitor. The test process points its own
// sound clients (and the programs it starts) at the server through XDG_RUNTIME_DIR. Everything
// ends with the object.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

namespace sonarel::testing {

class PulseServer {
public:
    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;

    // Starts the server; false, with why(), when it cannot run here.
    bool start()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("parec")).isEmpty()) {
            why_ = QStringLiteral("pulseaudio or parec is not installed (./sonarel.sh installs them)");
            return false;
        }
        if (!runtime_.isValid()) {
            why_ = QStringLiteral("no temporary folder");
            return false;
        }
        QFile::setPermissions(runtime_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
        qunsetenv("PULSE_SERVER");
        // The rates and format of the sink are those of the played stream: the server neither
        // resamples nor converts.
        server_.setProgram(QStringLiteral("pulseaudio"));
        server_.setArguments({QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                              QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--disallow-exit"),
                              QStringLiteral("-L"),
                              QStringLiteral("module-null-sink sink_name=listen rate=44100 format=s16le channels=2 "
                                             "norewinds=1"),
                              QStringLiteral("-L"), QStringLiteral("module-native-protocol-unix")});
        server_.setProcessChannelMode(QProcess::MergedChannels);
        server_.setStandardOutputFile(runtime_.filePath(QStringLiteral("server.log")));
        server_.start();
        if (!server_.waitForStarted(5000)) {
            why_ = QStringLiteral("pulseaudio did not start");
            return false;
        }
        for (int i = 0; i < 80; ++i) {
            QProcess info;
            info.setStandardOutputFile(QProcess::nullDevice());
            info.setStandardErrorFile(QProcess::nullDevice());
            info.start(QStringLiteral("pactl"), {QStringLiteral("info")});
            if ((info.waitForFinished(5000) && info.exitCode() == 0) || server_.state() != QProcess::Running)
                break;
            QThread::msleep(100);
        }
        if (server_.state() != QProcess::Running) {
            why_ = QStringLiteral("pulseaudio ended at once");
            return false;
        }
        return true;
    }

    ~PulseServer()
    {
        stopRecording();
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            if (!server_.waitForFinished(5000)) {
                server_.kill();
                server_.waitForFinished();
            }
        }
    }

    const QString& why() const { return why_; }

    // Ends the server at once, as a crash would (SIGKILL): its clients lose their connection.
    void kill()
    {
        stopRecording();
        server_.kill();
        server_.waitForFinished(5000);
    }

    // Records the sink's monitor, raw 16-bit stereo, until stopRecording().
    bool startRecording()
    {
        stopRecording();  // one a failed test left running
        recordPath_ = runtime_.filePath(QStringLiteral("recorded.raw"));
        QFile::remove(recordPath_);
        recorder_.setProgram(QStringLiteral("parec"));
        recorder_.setArguments({QStringLiteral("-d"), QStringLiteral("listen.monitor"), QStringLiteral("--raw"),
                                QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                                QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=20")});
        recorder_.setStandardOutputFile(recordPath_);
        recorder_.start();
        if (!recorder_.waitForStarted(5000))
            return false;
        QThread::msleep(300);  // connected and recording before anything plays
        return true;
    }

    // The samples recorded so far (interleaved), after ending the recorder.
    std::vector<std::int16_t> stopRecording()
    {
        if (recorder_.state() == QProcess::NotRunning)
            return {};
        QThread::msleep(200);
        recorder_.terminate();
        if (!recorder_.waitForFinished(5000)) {
            recorder_.kill();
            recorder_.waitForFinished();
        }
        QFile file(recordPath_);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray bytes = file.readAll();
        std::vector<std::int16_t> samples(static_cast<std::size_t>(bytes.size()) / 2);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[static_cast<qsizetype>(2 * i)]) |
                                                   static_cast<std::uint8_t>(bytes[static_cast<qsizetype>(2 * i + 1)])
                                                       << 8);
        return samples;
    }

private:
    QTemporaryDir runtime_;
    QProcess server_;
    QProcess recorder_;
    QString recordPath_;
    QString why_;
};

// Noise over two slow sines, 44.1 kHz stereo: no two stretches alike, so a recording of it aligns
// with its file in one place only.
inline std::vector<std::int16_t> noisyTone(double seconds, unsigned seed, double level)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> noise(-0.2, 0.2);
    const auto frames = static_cast<std::size_t>(seconds * PulseServer::kRate);
    std::vector<std::int16_t> samples(frames * 2);
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < 2; ++c)
            samples[2 * i + c] = static_cast<std::int16_t>(
                level * 32767.0 *
                (0.7 * std::sin(2.0 * M_PI * (220.0 + 110.0 * static_cast<double>(c)) * static_cast<double>(i) /
                                PulseServer::kRate) +
                 noise(random)));
    return samples;
}

// Where the file's samples, from `fromFrame` on, lie in a recording: the recording's first sound is
// matched against the file near its first sound from `fromFrame` on. `mismatches` counts samples of the rest of the
// file that differ by more than one step; `missing` the file's frames the recording does not reach.
struct Alignment {
    bool found = false;
    std::int64_t fileFrame = 0;      // the file frame of the recording's first sound
    std::int64_t recordedFrame = 0;  // where that sound lies in the recording
    std::int64_t mismatches = 0;
    std::int64_t missing = 0;
};

inline Alignment align(const std::vector<std::int16_t>& recorded, const std::vector<std::int32_t>& file,
                       std::int64_t fromFrame, std::int64_t searchFrames = 2048)
{
    Alignment a;
    const auto recordedFrames = static_cast<std::int64_t>(recorded.size()) / 2;
    const auto fileFrames = static_cast<std::int64_t>(file.size()) / 2;
    std::int64_t first = 0;
    while (first < recordedFrames && recorded[2 * first] == 0 && recorded[2 * first + 1] == 0)
        ++first;
    const std::int64_t window = 1024;
    std::int64_t sounding = fromFrame;  // the file's first sound from `fromFrame` on
    while (sounding < fileFrames && file[2 * sounding] == 0 && file[2 * sounding + 1] == 0)
        ++sounding;
    if (first + window > recordedFrames)
        return a;
    const auto close = [&](std::int64_t r, std::int64_t f) {
        return std::abs(recorded[2 * r] - file[2 * f]) <= 1 && std::abs(recorded[2 * r + 1] - file[2 * f + 1]) <= 1;
    };
    for (std::int64_t f = std::max<std::int64_t>(sounding - searchFrames, 0);
         f <= sounding + searchFrames && f + window <= fileFrames && !a.found; ++f) {
        std::int64_t k = 0;
        while (k < window && close(first + k, f + k))
            ++k;
        if (k == window) {
            a.found = true;
            a.fileFrame = f;
            a.recordedFrame = first;
        }
    }
    if (!a.found)
        return a;
    for (std::int64_t f = a.fileFrame; f < fileFrames; ++f) {
        const std::int64_t r = a.recordedFrame + f - a.fileFrame;
        if (r >= recordedFrames) {
            a.missing = fileFrames - f;
            break;
        }
        a.mismatches += !close(r, f);
    }
    return a;
}

}  // namespace sonarel::testing
