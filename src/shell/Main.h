// Start-up procedures: the promotional page opened one start in a hundred.
#pragma once

#include <QString>

namespace paperloom {

class RandomSource;
class Clock;
class UrlLauncher;

/// The maker's home page.
inline const QString kHomePageUrl = QStringLiteral("https://paperloom.example/");

/// Seeds the random source with the time of day and opens the home page when the draw
/// floor(r * 100) + 1 gives 7; returns at once either way.
void OpenHomePageAtRandom(RandomSource& random, Clock& clock, UrlLauncher& launcher);

} // namespace paperloom
