// The join's call sequence, driven over any WordAutomation, so engine tests run it end to end.
#pragma once

#include "word/WordAutomation.h"

#include <string>
#include <vector>

namespace paperloom::engine::testing {

struct JoinChoices {
    bool pageBreaks = false;
    bool landscape = false;
};

/// Copy step: open the source in an instance of its own, copy everything, close, quit.
void copyDocumentToClipboard(WordAutomation& automation, const std::string& source);
/// First, middle and last append steps, with the calls in the join's order.
void startJoinedDocument(WordAutomation& automation, const std::string& output,
                         const JoinChoices& choices);
void appendDocument(WordAutomation& automation, const std::string& output,
                    const JoinChoices& choices);
void appendLastDocument(WordAutomation& automation, const std::string& output,
                        const JoinChoices& choices);
/// All steps for a list of inputs, announced first, with the wait for the saves at the end. A
/// failing step throws before the wait, as a bare step sequence would.
void joinDocuments(WordAutomation& automation, const std::vector<std::string>& inputs,
                   const std::string& output, const JoinChoices& choices);

} // namespace paperloom::engine::testing
