// The one-in-a-hundred promotional page.
#include "shell/Main.h"

#include <cmath>

#include "platform/RandomSource.h"
#include "platform/UrlLauncher.h"

namespace paperloom {

void OpenHomePageAtRandom(RandomSource& random, Clock& clock, UrlLauncher& launcher) {
    random.seed(clock.secondsSinceMidnight());
    const int n = static_cast<int>(std::floor(random.next() * 100.0)) + 1;
    if (n == 7) {
        launcher.launch(kHomePageUrl);
    }
}

} // namespace paperloom
