// The join steps, and the test whether a word processor of the user's own runs.
#include "join/Word1.h"

#include <memory>
#include <utility>

namespace paperloom {
namespace {

// Owns the one instance of a step. A step that ends normally quits it itself; a step that stops
// at a failing call leaves it to this guard, which asks the instance to quit so nothing of the
// failed step stays running, and lets the step's own error go on to the caller.
class StepInstance {
public:
    explicit StepInstance(std::unique_ptr<WordApplication> word) : m_word(std::move(word)) {
        if (!m_word) {
            throw WordError("The document engine could not be started.",
                            "createInstance returned no instance");
        }
    }
    StepInstance(const StepInstance&) = delete;
    StepInstance& operator=(const StepInstance&) = delete;
    ~StepInstance() {
        if (!m_quit) {
            try {
                m_word->Quit();
            } catch (...) {
                // The step's own error is the one worth reporting.
            }
        }
    }

    WordApplication& operator*() { return *m_word; }
    WordApplication* operator->() { return m_word.get(); }

    void Quit() {
        m_quit = true;
        m_word->Quit();
    }

private:
    std::unique_ptr<WordApplication> m_word;
    bool m_quit = false;
};

constexpr EndKeyArgs kEndOfStory{EndKeyUnit::Story, EndKeyExtend::Move};
constexpr InsertBreakArgs kPageBreak{BreakType::Page};

// Steps 1 to 7 of the two steps that extend the saved output document.
void openOutputAndPaste(StepInstance& word, JoinContext& context, const std::string& outputPath) {
    context.setBusyPointer();
    word->setDisplayAlerts(false);
    word->Documents().Open(outputPath);
    word->Selection().EndKey(kEndOfStory);
    PasteIntoSelection(*word, context);
    context.setBusyPointer();
}

// Steps 9 to 12 of every step that writes the output document.
void saveOutputAndQuit(StepInstance& word, JoinContext& context, const std::string& outputPath) {
    context.setBusyPointer();
    try {
        word->ActiveDocument().SaveAs(outputPath);
    } catch (const WordInterrupted&) {
        throw;
    } catch (const WordError& error) {
        throw OutputError(error);
    }
    context.setBusyPointer();
    word.Quit();
}

} // namespace

void CopyDocumentToClipboard(WordAutomation& automation, JoinContext& context,
                             const std::string& sourcePath) {
    context.setBusyPointer();
    StepInstance word(automation.createInstance());
    context.setBusyPointer();
    word->setDisplayAlerts(false);
    WordDocument& document = word->Documents().Open(sourcePath);
    const std::unique_ptr<WordRange> content = document.Range();
    if (!content) {
        throw WordError("The content of \"" + sourcePath + "\" could not be read.",
                        "Range returned no range");
    }
    context.setBusyPointer();
    content->Copy();
    context.setBusyPointer();
    document.Close();
    word.Quit();
    context.setBusyPointer();
}

void StartJoinedDocument(WordAutomation& automation, JoinContext& context,
                         const std::string& outputPath) {
    StepInstance word(automation.createInstance());
    word->setDisplayAlerts(false);
    WordDocument& document = word->Documents().Add();
    word->Selection().EndKey(kEndOfStory);
    context.setBusyPointer();
    document.PageSetup().setOrientation(context.portrait() ? PageOrientation::Portrait
                                                           : PageOrientation::Landscape);
    PasteIntoSelection(*word, context);
    if (context.pageBreaks()) {
        word->Selection().InsertBreak(kPageBreak);
    }
    saveOutputAndQuit(word, context, outputPath);
}

void AppendDocument(WordAutomation& automation, JoinContext& context,
                    const std::string& outputPath) {
    StepInstance word(automation.createInstance());
    openOutputAndPaste(word, context, outputPath);
    if (context.pageBreaks()) {
        word->Selection().InsertBreak(kPageBreak);
    }
    saveOutputAndQuit(word, context, outputPath);
}

void AppendLastDocument(WordAutomation& automation, JoinContext& context,
                        const std::string& outputPath) {
    StepInstance word(automation.createInstance());
    openOutputAndPaste(word, context, outputPath);
    if (context.pageBreaks()) {
        word->Selection().InsertBreak(kPageBreak);
        word->Selection().EndKey(EndKeyArgs{EndKeyUnit::Story, std::nullopt});
        word->Selection().TypeBackspace();
    }
    saveOutputAndQuit(word, context, outputPath);
}

void PasteIntoSelection(WordApplication& word, JoinContext& context) {
    try {
        context.setBusyPointer();
        word.Selection().PasteAndFormat(PasteFormat::Original);
        context.setBusyPointer();
        return;
    } catch (const WordInterrupted&) {
        throw;
    } catch (const WordError&) {
        // Content the formatted paste refuses still goes in as a plain paste.
    }
    context.setBusyPointer();
    word.Selection().Paste();
}

bool IsWordRunning(WordAutomation& automation) noexcept {
    try {
        const std::unique_ptr<WordApplication> running = automation.findRunningInstance();
        return running && running->Name() == kWordApplicationName;
    } catch (...) {
        return false;
    }
}

} // namespace paperloom
