// Stand-ins for the launcher, random source, clock and word processor in widget tests.
#pragma once

#include <deque>

#include <QStringList>

#include "platform/RandomSource.h"
#include "platform/UrlLauncher.h"
#include "word/WordAutomation.h"

namespace paperloom::test {

class RecordingLauncher final : public UrlLauncher {
public:
    QStringList launched;
    void launch(const QString& url) override { launched << url; }
};

/// Gives the queued numbers in turn (then 0.5) and records the seeds.
class QueuedRandom final : public RandomSource {
public:
    std::deque<double> numbers;
    std::vector<double> seeds;
    void seed(double value) override { seeds.push_back(value); }
    double next() override {
        if (numbers.empty()) {
            return 0.5;
        }
        const double value = numbers.front();
        numbers.pop_front();
        return value;
    }
};

class FixedClock final : public Clock {
public:
    double seconds = 45296.25;
    double secondsSinceMidnight() override { return seconds; }
};

/// A word processor that is never there: every instance request fails.
class AbsentWord final : public WordAutomation {
public:
    std::unique_ptr<WordApplication> createInstance() override {
        throw WordError("The document engine is not available in this test.");
    }
    std::unique_ptr<WordApplication> findRunningInstance() override {
        throw WordError("No word processor is running.");
    }
    void waitForSaves() override {}
};

} // namespace paperloom::test
