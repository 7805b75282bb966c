// What the instances of one engine share: options, clipboard, saved-document cache, the folder
// of temporary copies.
#pragma once

#include "engine/DocumentCache.h"
#include "engine/EngineOptions.h"
#include "engine/Package.h"
#include "engine/PrivateFolder.h"

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
    EngineOptions options;
    std::shared_ptr<const ClipboardContent> clipboard;
    DocumentCache cache;
    /// Where copies handed to the converter are written.
    PrivateFolder temporaries;
};

} // namespace paperloom::engine
