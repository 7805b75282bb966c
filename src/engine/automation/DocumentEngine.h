// The document engine: our native implementation of the word processor automation interface.
#pragma once

#include "engine/automation/EngineOptions.h"

#include "word/WordAutomation.h"

#include <functional>
#include <memory>

namespace paperloom::engine {

struct EngineState;

/// Reads, joins and writes WordprocessingML documents in process, behind WordAutomation.
///
/// Every createInstance() gives a new, cheap application object. All instances made by one
/// engine share its clipboard (so content copied in one instance is pasted in another, and the
/// desktop clipboard is never touched) and its cache of documents it saved itself (so opening
/// the output again at the next join step reuses what is in memory while the file on disk is
/// unchanged). Instances stay usable after the engine is destroyed. Not thread-safe: use one
/// engine and its instances from one thread. Conversions through the converter run on threads
/// of the engine's own: saves into the formats it writes go on in the background until
/// waitForSaves, and the documents announced by expectDocuments are converted ahead.
class DocumentEngine : public WordAutomation {
public:
    DocumentEngine();
    explicit DocumentEngine(EngineOptions options);
    ~DocumentEngine() override;
    DocumentEngine(const DocumentEngine&) = delete;
    DocumentEngine& operator=(const DocumentEngine&) = delete;

    /// A new application instance; never fails.
    [[nodiscard]] std::unique_ptr<WordApplication> createInstance() override;
    /// The user's running word processor as found by the finder set in the options or with
    /// setRunningInstanceFinder; throws WordError("No word processor is running.") otherwise.
    [[nodiscard]] std::unique_ptr<WordApplication> findRunningInstance() override;
    /// Starts converting the documents among paths that need the converter, a few ahead, and
    /// chooses the layout mode of the document that paths[0] is pasted into first
    /// (joinedLayoutMode), until waitForSaves.
    void expectDocuments(const std::vector<std::string>& paths) override;
    /// Starts the converter's processes when some of paths need it.
    void prepareFor(const std::vector<std::string>& paths) override;
    /// Waits for the saves written in the background, gives up what was converted ahead and the
    /// layout mode chosen, and throws the WordError of a save that failed (WordInterrupted when
    /// a stop dropped one).
    void waitForSaves() override;

    /// Replaces the function that looks for a running word processor.
    void setRunningInstanceFinder(std::function<std::unique_ptr<WordApplication>()> finder);
    /// Sets (or with nullptr removes) the converter for other formats.
    void setConverter(std::shared_ptr<DocumentConverter> converter);

private:
    std::shared_ptr<EngineState> m_state;
};

} // namespace paperloom::engine
