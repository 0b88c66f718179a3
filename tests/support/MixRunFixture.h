// SPDX-License-Identifier: GPL-3.0-or-later
// The run control on the real engine for tests: a view that records the button, the status line
// and the timer and hands the graph's notices to the test thread as the window's event loop would;
// a desktop that records every box; and a 0.5 s stereo sine to mix.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <thread>

#include "render/MixRunControl.h"
#include "support/RecordingDesktop.h"
#include "support/WavFile.h"

namespace sonarel::testing {

class TestMixView final : public MixRunView {
public:
    QString button = QStringLiteral("Mix");
    QString status;
    bool timerRunning = false;

    void mixStarted() override
    {
        button = QStringLiteral("Stop");
        timerRunning = true;
    }
    void mixFinished(MixOutcome) override
    {
        timerRunning = false;
        button = QStringLiteral("Mix");
    }
    void setStatusText(const QString& text) override { status = text; }
    void postGraphNotice() override { notices_.fetch_add(1); }
    // Polls an atomic count rather than waiting on a condition variable, so that ThreadSanitizer
    // follows it whatever the wait's clock (it did not see a timed wait retake its lock).
    bool waitForNotice(std::chrono::seconds limit)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (notices_.exchange(0) == 0) {
            if (std::chrono::steady_clock::now() >= end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    // Delivers the notices until the mix ends or ten minutes pass; false when it did not end.
    bool runToEnd(MixRunControl& control)
    {
        for (int i = 0; i < 600 && control.isMixing(); ++i) {
            waitForNotice(std::chrono::seconds(1));
            control.onGraphNotice();
        }
        return !control.isMixing();
    }

private:
    std::atomic<int> notices_{0};
};

class MixRunFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_EQ(library.initialize(), media::kOk);
        input = dir.filePath(QStringLiteral("in.wav"));
        writeWav16(input.toStdString(), 2, 44100, sine16(2, 44100, 0.5, 440, 8000));
    }

    QTemporaryDir dir;
    QString input;  // 0.5 s
    media::MediaLibrary library;
    RecordingDesktop desktop;
    TestMixView view;
    MixRunControl control{library, desktop, view};
};

inline QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace sonarel::testing
