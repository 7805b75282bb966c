// fidelity-join: joins documents over the document engine with the join's own call sequence, for
// the fidelity bench where paperloom-join is not built. Same arguments and exit codes.
#include "../../tests/engine/JoinSteps.h"
#include "engine/automation/DocumentEngine.h"

#include <cstdio>
#include <cstring>
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
    const engine::testing::JoinChoices choices{pageBreaks, landscape};
    std::size_t current = 0;
    try {
        for (current = 0; current < inputs.size(); ++current) {
            engine::testing::copyDocumentToClipboard(engine, inputs[current]);
            if (current == 0) {
                engine::testing::startJoinedDocument(engine, output, choices);
            } else if (current + 1 < inputs.size()) {
                engine::testing::appendDocument(engine, output, choices);
            } else {
                engine::testing::appendLastDocument(engine, output, choices);
            }
        }
    } catch (const WordError& error) {
        std::fprintf(stderr, "Cannot join \"%s\": %s\n%s\n", inputs[current].c_str(),
                     error.userMessage().c_str(), error.detail().c_str());
        return 1;
    }
    return 0;
}
