// The seedable random numbers and the time of day that start-up draws from.
#pragma once

#include <random>

namespace paperloom {

class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual void seed(double seed) = 0;
    /// A uniform number in [0, 1).
    [[nodiscard]] virtual double next() = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    /// Seconds since midnight, local time, fraction included.
    [[nodiscard]] virtual double secondsSinceMidnight() = 0;
};

class SystemRandom final : public RandomSource {
public:
    void seed(double seed) override;
    [[nodiscard]] double next() override;

private:
    std::mt19937_64 m_engine;
};

class SystemClock final : public Clock {
public:
    [[nodiscard]] double secondsSinceMidnight() override;
};

} // namespace paperloom
