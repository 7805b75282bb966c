// Random numbers from the standard library, time of day from Qt.
#include "platform/RandomSource.h"

#include <bit>
#include <cstdint>

#include <QTime>

namespace paperloom {

void SystemRandom::seed(double seed) {
    m_engine.seed(std::bit_cast<std::uint64_t>(seed));
}

double SystemRandom::next() {
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_engine);
}

double SystemClock::secondsSinceMidnight() {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

} // namespace paperloom
