// fidelity-join: joins documents over the document engine with the join's own call sequence, for
// the fidelity bench where paperloom-join is not built. Same arguments and exit codes.
#include "engine/DocumentEngine.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace paperloom;

struct Choices {
    bool pageBreaks = false;
    bool landscape = false;
};

void pasteIntoSelection(WordApplication& word) {
    try {
        word.Selection().PasteAndFormat(wd::FormatOriginal);
    } catch (const WordError&) {
        word.Selection().Paste();
    }
}

void copyToClipboard(WordAutomation& automation, const std::string& source) {
    auto word = automation.createInstance();
    word->setDisplayAlerts(false);
    WordDocument& document = word->Documents().Open(source);
    document.Range()->Copy();
    document.Close();
    word->Quit();
}

void startJoined(WordAutomation& automation, const std::string& output, const Choices& choices) {
    auto word = automation.createInstance();
    word->setDisplayAlerts(false);
    WordDocument& document = word->Documents().Add();
    word->Selection().EndKey({wd::Story, wd::Move});
    document.PageSetup().setOrientation(choices.landscape ? wd::OrientLandscape
                                                          : wd::OrientPortrait);
    pasteIntoSelection(*word);
    if (choices.pageBreaks) {
        word->Selection().InsertBreak({wd::PageBreak});
    }
    word->ActiveDocument().SaveAs(output);
    word->Quit();
}

void append(WordAutomation& automation, const std::string& output, const Choices& choices,
            bool last) {
    auto word = automation.createInstance();
    word->setDisplayAlerts(false);
    word->Documents().Open(output);
    word->Selection().EndKey({wd::Story, wd::Move});
    pasteIntoSelection(*word);
    if (choices.pageBreaks) {
        word->Selection().InsertBreak({wd::PageBreak});
        if (last) {
            word->Selection().EndKey({wd::Story, std::nullopt});
            word->Selection().TypeBackspace();
        }
    }
    word->ActiveDocument().SaveAs(output);
    word->Quit();
}

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
    const Choices choices{pageBreaks, landscape};
    std::size_t current = 0;
    try {
        for (current = 0; current < inputs.size(); ++current) {
            copyToClipboard(engine, inputs[current]);
            if (current == 0) {
                startJoined(engine, output, choices);
            } else {
                append(engine, output, choices, current + 1 == inputs.size());
            }
        }
    } catch (const WordError& error) {
        std::fprintf(stderr, "Cannot join \"%s\": %s\n%s\n", inputs[current].c_str(),
                     error.userMessage().c_str(), error.detail().c_str());
        return 1;
    }
    return 0;
}
