// fidelity-join: joins documents over the document engine with the join's own loop and steps,
// for the fidelity bench where paperloom-join is not built. Same arguments and exit codes.
#include "engine/automation/DocumentEngine.h"
#include "join/JoinEntries.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace paperloom;

int usage() {
    std::fputs("usage: fidelity-join [--landscape] [--page-breaks] OUTPUT INPUT...\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    bool landscape = false;
    bool pageBreaks = false;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--landscape") == 0) {
            landscape = true;
        } else if (std::strcmp(argv[i], "--page-breaks") == 0) {
            pageBreaks = true;
        } else if (argv[i][0] == '-' && argv[i][1] == '-') {
            return usage();
        } else {
            paths.emplace_back(argv[i]);
        }
    }
    if (paths.size() < 2) {
        return usage();
    }
    const std::string output = paths.front();
    const std::vector<std::string> inputs(paths.begin() + 1, paths.end());
    engine::DocumentEngine engine;
    FixedJoinWindow window(inputs, pageBreaks, landscape);
    const std::optional<JoinFailure> failure = joinEntries(engine, window, output);
    if (!failure) {
        return 0;
    }
    try {
        std::rethrow_exception(failure->cause);
    } catch (const WordError& error) {
        std::fprintf(stderr, "Cannot join \"%s\": %s\n%s\n",
                     inputs[static_cast<std::size_t>(failure->entry - 1)].c_str(),
                     error.userMessage().c_str(), error.detail().c_str());
    }
    return 1;
}
