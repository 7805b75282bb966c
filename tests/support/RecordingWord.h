// A word processor that records every call of the automation interface as a line of text.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "word/WordAutomation.h"

namespace paperloom::test {

/// Records calls as "create", "DisplayAlerts=false", "Documents.Add", "Documents.Open(/a.docx)",
/// "Range", "Copy", "PageSetup.Orientation=0", "EndKey(Unit=6,Extend=0)", "EndKey(Unit=6)",
/// "PasteAndFormat(0)", "Paste", "InsertBreak(Type=7)", "TypeBackspace",
/// "ActiveDocument.SaveAs(/out.doc)", "Close", "Quit", "findRunningInstance" and "Name". Others
/// (such as a join context) may add their own lines to the same log.
class RecordingWord final : public WordAutomation {
public:
    /// Every call so far, in order.
    std::vector<std::string> calls;
    /// Runs after each call is recorded, before it fails or returns.
    std::function<void(const std::string&)> onCall;

    /// Makes a call fail with a WordError: the nth time it is made, or every time for 0.
    void failCall(const std::string& call, int occurrence = 0);
    /// The sentence of the WordError a failing call throws.
    static std::string failureMessage(const std::string& call);

    /// Whether findRunningInstance finds a word processor, and the name it answers to.
    bool running = false;
    std::string runningName = kWordApplicationName;

    /// Instances made and not yet destroyed.
    [[nodiscard]] int liveInstances() const { return *m_live; }

    /// The paths of the last expectDocuments, which is not logged as a call.
    std::vector<std::string> expected;
    /// How often waitForSaves was called (not logged as a call), and what it throws.
    int saveWaits = 0;
    std::function<void()> onWaitForSaves;

    std::unique_ptr<WordApplication> createInstance() override;
    std::unique_ptr<WordApplication> findRunningInstance() override;
    void expectDocuments(const std::vector<std::string>& paths) override { expected = paths; }
    void waitForSaves() override {
        ++saveWaits;
        if (onWaitForSaves) {
            onWaitForSaves();
        }
    }

    /// Records call and throws when it is set to fail.
    void record(const std::string& call);

private:
    struct Failure {
        std::string call;
        int occurrence;
    };
    std::vector<Failure> m_failures;
    std::shared_ptr<int> m_live = std::make_shared<int>(0);
};

} // namespace paperloom::test
