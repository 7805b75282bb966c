// What the instances of one engine share: options, clipboard, saved-document cache, the folder
// of temporary copies, and the conversions that run beside the join.
#pragma once

#include "engine/automation/BackgroundSaves.h"
#include "engine/automation/ConversionWorkers.h"
#include "engine/automation/DocumentCache.h"
#include "engine/automation/EngineOptions.h"
#include "engine/automation/InputsAhead.h"
#include "engine/files/PrivateFolder.h"
#include "engine/package/Package.h"
#include "engine/settings/LayoutMode.h"

#include <memory>
#include <string>

namespace paperloom::engine {

/// A copied document: a snapshot of its package, immune to later edits of the source.
struct ClipboardContent {
    Package package;
    std::string mainPart;
    std::string sourcePath; // for messages
};

struct EngineState {
    EngineState() = default;
    /// Drops what was converted ahead and writes what is still to be saved, unless the program
    /// is to end; failures have nobody to go to any more.
    ~EngineState() {
        ahead.clear();
        try {
            saves.finish();
        } catch (...) {
        }
    }
    EngineState(const EngineState&) = delete;
    EngineState& operator=(const EngineState&) = delete;

    EngineOptions options;
    std::shared_ptr<const ClipboardContent> clipboard;
    /// The layout mode chosen over the documents announced for the join under way.
    std::optional<LayoutModeChoice> layoutMode;
    DocumentCache cache;
    /// Where copies handed to the converter are written.
    PrivateFolder temporaries;
    // Declared after the folder so that they end, and stop writing into it, before it goes.
    ConversionWorkers workers;
    BackgroundSaves saves{workers};
    InputsAhead ahead{workers, temporaries};
};

} // namespace paperloom::engine
