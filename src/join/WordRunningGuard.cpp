// The question before a join when a word processor of the user's own runs.
#include "join/Word1.h"

#include "platform/Prompts.h"

namespace paperloom {

bool CancelIfWordRunning(WordAutomation& automation, Prompts& prompts) {
    if (!IsWordRunning(automation)) {
        return false;
    }
    const MsgBoxResult answer =
        prompts.MsgBox(QString::fromLatin1(kWordRunningQuestion), MsgBoxButtons::YesNo);
    return answer != MsgBoxResult::Yes;
}

} // namespace paperloom
