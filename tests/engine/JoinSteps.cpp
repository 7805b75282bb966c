// The join's call sequence for engine tests and the benchmark.
#include "JoinSteps.h"

namespace paperloom::engine::testing {
namespace {

void pasteIntoSelection(WordApplication& word) {
    try {
        word.Selection().PasteAndFormat(PasteFormat::Original);
    } catch (const WordError&) {
        word.Selection().Paste();
    }
}

void appendStep(WordAutomation& automation, const std::string& output, const JoinChoices& choices,
                bool last) {
    auto word = automation.createInstance();
    word->setDisplayAlerts(false);
    word->Documents().Open(output);
    word->Selection().EndKey({EndKeyUnit::Story, EndKeyExtend::Move});
    pasteIntoSelection(*word);
    if (choices.pageBreaks) {
        word->Selection().InsertBreak({BreakType::Page});
        if (last) {
            word->Selection().EndKey({EndKeyUnit::Story, std::nullopt});
            word->Selection().TypeBackspace();
        }
    }
    word->ActiveDocument().SaveAs(output);
    word->Quit();
}

} // namespace

void copyDocumentToClipboard(WordAutomation& automation, const std::string& source) {
    auto word = automation.createInstance();
    word->setDisplayAlerts(false);
    WordDocument& document = word->Documents().Open(source);
    auto range = document.Range();
    range->Copy();
    document.Close();
    word->Quit();
}

void startJoinedDocument(WordAutomation& automation, const std::string& output,
                         const JoinChoices& choices) {
    auto word = automation.createInstance();
    word->setDisplayAlerts(false);
    WordDocument& document = word->Documents().Add();
    word->Selection().EndKey({EndKeyUnit::Story, EndKeyExtend::Move});
    document.PageSetup().setOrientation(choices.landscape ? PageOrientation::Landscape
                                                          : PageOrientation::Portrait);
    pasteIntoSelection(*word);
    if (choices.pageBreaks) {
        word->Selection().InsertBreak({BreakType::Page});
    }
    word->ActiveDocument().SaveAs(output);
    word->Quit();
}

void appendDocument(WordAutomation& automation, const std::string& output,
                    const JoinChoices& choices) {
    appendStep(automation, output, choices, false);
}

void appendLastDocument(WordAutomation& automation, const std::string& output,
                        const JoinChoices& choices) {
    appendStep(automation, output, choices, true);
}

void joinDocuments(WordAutomation& automation, const std::vector<std::string>& inputs,
                   const std::string& output, const JoinChoices& choices) {
    automation.expectDocuments(inputs);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        copyDocumentToClipboard(automation, inputs[i]);
        if (i == 0) {
            startJoinedDocument(automation, output, choices);
        } else if (i + 1 == inputs.size()) {
            appendLastDocument(automation, output, choices);
        } else {
            appendDocument(automation, output, choices);
        }
    }
    automation.waitForSaves();
}

} // namespace paperloom::engine::testing
