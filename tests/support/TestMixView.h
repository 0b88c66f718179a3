// The run control's view for tests: records the button, the status line and the timer, and
// hands the graph's notices to the test thread as the window's event loop would.
#pragma once

#include <QString>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "render/MixRunControl.h"

namespace sonarel::testing {

class TestMixView final : public MixView {
public:
    QString button = QStringLiteral("Mix");
    QString status;
    bool timerRunning = false;

    void setMixButtonText(const QString& text) override { button = text; }
    void setStatusText(const QString& text) override { status = text; }
    void startSecondTimer() override { timerRunning = true; }
    void stopSecondTimer() override { timerRunning = false; }
    void postGraphNotice() override
    {
        std::lock_guard lock(mutex_);
        ++notices_;
        wake_.notify_all();
    }
    bool waitForNotice(std::chrono::seconds limit)
    {
        std::unique_lock lock(mutex_);
        const bool got = wake_.wait_for(lock, limit, [this] { return notices_ > 0; });
        notices_ = 0;
        return got;
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
    std::mutex mutex_;
    std::condition_variable wake_;
    int notices_ = 0;
};

}  // namespace sonarel::testing
