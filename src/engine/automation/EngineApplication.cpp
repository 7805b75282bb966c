// Application, documents and selection of the engine: word processor semantics on the model.
#include "engine/automation/EngineApplication.h"

#include "engine/files/StopRequest.h"
#include "engine/package/PackageOpener.h"
#include "engine/package/ZipWriter.h"
#include "engine/paste/FieldParagraphs.h"
#include "engine/paste/PasteSession.h"
#include "engine/paste/TitlePageHeader.h"
#include "engine/settings/DefaultTabStops.h"
#include "engine/settings/LineGrid.h"
#include "engine/settings/PageBackground.h"
#include "engine/settings/StatedSettings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <new>

namespace paperloom::engine {
namespace {

/// The one place where the engine's internal failures learn the operation they interrupted
/// (doing, on the file subject), and other exceptions become WordErrors.
template <typename Action>
auto guarded(FailedAction doing, const std::string& subject, Action&& action)
    -> decltype(action()) {
    try {
        return action();
    } catch (const WordError& error) {
        if (!userSentence(error).empty()) {
            throw; // already says what it interrupted
        }
        throw error.during(doing, subject);
    } catch (const std::bad_alloc&) {
        throw WordError(FailureKind::Memory, "there is not enough memory",
                        FailureContext{{}, {}, std::nullopt, "std::bad_alloc"})
            .during(doing, subject);
    } catch (const std::exception& error) {
        throw WordError(FailureKind::Internal, "the document engine failed",
                        FailureContext{{}, {}, std::nullopt, error.what()})
            .during(doing, subject);
    }
}

/// Refuses what is not a regular file before anything opens it: opening a named pipe waits for
/// a writer for ever, and a device or a socket is no document either.
void checkRegularFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        throw PackageError("it is " + nonRegularKind(st.st_mode) + ", not a document",
                           FailureContext{path, {}, std::nullopt, {}});
    }
}

class EngineRange : public WordRange {
public:
    explicit EngineRange(EngineDocument& document, EngineState& state)
        : m_document(document), m_state(state) {}
    void Copy() override {
        if (!m_document.isOpen()) {
            throw WordError("The document has been closed.");
        }
        m_state.clipboard =
            guarded(FailedAction::Copy, m_document.path(), [&] { return m_document.snapshot(); });
    }

private:
    EngineDocument& m_document;
    EngineState& m_state;
};

} // namespace

// ---------------------------------------------------------------- EngineDocument

EngineDocument::EngineDocument(EngineApplication& application, std::unique_ptr<DocumentModel> model,
                               std::string path)
    : m_application(application), m_model(std::move(model)), m_path(std::move(path)) {}

EngineDocument::EngineDocument(EngineApplication& application, Package package,
                               std::string mainPart, std::string path)
    : m_application(application), m_package(std::move(package)), m_mainPart(std::move(mainPart)),
      m_path(std::move(path)) {}

EngineDocument::~EngineDocument() = default;

void EngineDocument::checkOpen() const {
    if (m_closed) {
        throw WordError("The document has been closed.");
    }
}

std::unique_ptr<WordRange> EngineDocument::Range() {
    checkOpen();
    return std::make_unique<EngineRange>(*this, m_application.state());
}

WordPageSetup& EngineDocument::PageSetup() {
    checkOpen();
    return *this;
}

DocumentModel& EngineDocument::model() {
    if (!m_model) {
        m_model = guarded(FailedAction::Edit, m_path,
                          [&] { return DocumentModel::load(m_package, m_mainPart); });
        m_package = Package();
    }
    return *m_model;
}

std::shared_ptr<const ClipboardContent> EngineDocument::snapshot() {
    auto content = std::make_shared<ClipboardContent>();
    if (m_model) {
        content->package = m_model->toPackage();
        content->package.limits = m_application.state().options.limits;
        content->mainPart = m_model->mainPart;
    } else {
        content->package = m_package;
        content->mainPart = m_mainPart;
    }
    content->sourcePath = m_path;
    return content;
}

void EngineDocument::setOrientation(PageOrientation orientation) {
    checkOpen();
    if (orientation != PageOrientation::Portrait && orientation != PageOrientation::Landscape) {
        throw WordError("The page orientation must be portrait or landscape.",
                        "Orientation " + std::to_string(static_cast<std::int32_t>(orientation)));
    }
    DocumentModel& doc = model();
    doc.setOrientation(orientation);
}

void EngineDocument::SaveAs(const std::string& path) {
    checkOpen();
    throwIfStopRequested();
    EngineState& state = m_application.state();
    guarded(FailedAction::Save, path, [&] {
        Package package;
        if (m_model) {
            package = m_model->toPackage();
        } else {
            package = m_package;
        }
        const auto& converter = state.options.converter;
        const std::uint64_t version = m_model ? m_model->version() : 0;
        if (converter && converter->convertsOutput(path)) {
            // In a folder of our own, never beside the user's files: LibreOffice leaves lock
            // files beside what it loads, and other users must not read the document.
            const std::string temp = state.temporaries.newFilePath(".docx");
            try {
                writeZipPackage(package, temp, FileAccess::OwnerOnly);
            } catch (const WriteError& error) {
                std::remove(temp.c_str());
                throw WriteError("the copy for LibreOffice cannot be written in the temporary "
                                 "folder " +
                                     temporaryFolder() + ": " + error.reason(),
                                 error.context());
            }
            state.saves.settle(state.cache);
            state.saves.save(path, temp, version, converter);
            if (m_model) {
                state.cache.recordBackgroundSave(path, version);
            }
            state.saves.settle(state.cache);
        } else {
            writeZipPackage(package, path);
            if (m_model) {
                state.cache.recordSave(path, version);
            }
        }
        // The next step that opens this file gets the model it was written from: no reading
        // back, and for converted formats no waiting for the conversion, no second one and no
        // loss piling up.
        if (m_model) {
            m_savedPath = path;
            m_savedVersion = version;
        }
    });
    m_path = path;
}

void EngineDocument::Close() {
    checkOpen();
    release();
    m_application.documentClosed(*this);
}

void EngineDocument::release() {
    if (m_closed) {
        return;
    }
    m_closed = true;
    if (m_model && !m_savedPath.empty() && m_model->version() == m_savedVersion) {
        m_application.state().cache.offer(m_savedPath, std::move(m_model));
    }
    m_model.reset();
    m_package = Package();
}

// ---------------------------------------------------------------- EngineApplication

EngineApplication::EngineApplication(std::shared_ptr<EngineState> state)
    : m_state(std::move(state)) {}

EngineApplication::~EngineApplication() {
    for (auto& document : m_documents) {
        document->release();
    }
}

void EngineApplication::checkRunning() const {
    if (m_quit) {
        throw WordError("The word processor instance has already ended.");
    }
}

std::string EngineApplication::Name() {
    checkRunning();
    return kWordApplicationName;
}

void EngineApplication::setDisplayAlerts(bool displayAlerts) {
    checkRunning();
    m_displayAlerts = displayAlerts; // the engine never prompts; kept for the object model
}

WordDocuments& EngineApplication::Documents() {
    checkRunning();
    return *this;
}

WordSelection& EngineApplication::Selection() {
    checkRunning();
    return *this;
}

WordDocument& EngineApplication::ActiveDocument() {
    return active();
}

EngineDocument& EngineApplication::active() {
    checkRunning();
    if (m_active == nullptr) {
        throw WordError("There is no open document.");
    }
    return *m_active;
}

void EngineApplication::Quit() {
    checkRunning();
    for (auto& document : m_documents) {
        document->release();
    }
    m_active = nullptr;
    m_quit = true;
}

void EngineApplication::documentClosed(EngineDocument& document) {
    if (m_active == &document) {
        m_active = nullptr;
        for (auto it = m_documents.rbegin(); it != m_documents.rend(); ++it) {
            if ((*it)->isOpen()) {
                m_active = it->get();
                break;
            }
        }
    }
}

EngineDocument& EngineApplication::adopt(std::unique_ptr<EngineDocument> document) {
    m_documents.push_back(std::move(document));
    m_active = m_documents.back().get();
    return *m_active;
}

WordDocument& EngineApplication::Add() {
    checkRunning();
    throwIfStopRequested();
    const PaperSize paper = m_state->options.paper.value_or(paperFromLocale());
    auto model = guarded(FailedAction::Create, {}, [&] { return DocumentModel::blank(paper); });
    return adopt(std::make_unique<EngineDocument>(*this, std::move(model), "Document"));
}

WordDocument& EngineApplication::Open(const std::string& path) {
    checkRunning();
    throwIfStopRequested();
    // An output whose conversion in the background failed is not what was saved: the failure
    // stops the step here. One still being converted is what was saved.
    BackgroundSaves& saves = m_state->saves;
    saves.settle(m_state->cache);
    saves.throwIfFailed(path);
    m_state->ahead.reached(path);
    if (auto cached = m_state->cache.take(path)) {
        return adopt(std::make_unique<EngineDocument>(*this, std::move(cached), path));
    }
    if (saves.pending(path)) {
        saves.waitFor(path);
        saves.settle(m_state->cache);
        saves.throwIfFailed(path);
    }
    auto opened = guarded(FailedAction::Open, path, [&]() -> OpenedPackage {
        checkRegularFile(path);
        const FileKind kind = sniffFile(path);
        switch (kind) {
        case FileKind::WordPackage:
            return openWordPackage(path, m_state->options.limits);
        case FileKind::Encrypted:
            throw PackageError("the document is protected by a password", "encrypted package");
        case FileKind::LegacyWord:
        case FileKind::OldWord:
        case FileKind::Rtf:
        case FileKind::OpenDocument: {
            const auto& converter = m_state->options.converter;
            if (!converter) {
                throw PackageError("this format needs the office converter, which is not "
                                   "available",
                                   "legacy, RTF or OpenDocument file");
            }
            const std::string temp = m_state->ahead.convert(path, converter);
            try {
                OpenedPackage converted = openWordPackage(temp, m_state->options.limits);
                std::remove(temp.c_str());
                return converted;
            } catch (...) {
                std::remove(temp.c_str());
                throw;
            }
        }
        case FileKind::Other:
            break;
        }
        throw PackageError("not a Word document", "unrecognised content");
    });
    return adopt(std::make_unique<EngineDocument>(*this, std::move(opened.package),
                                                  std::move(opened.mainPart), path));
}

void EngineApplication::EndKey(const EndKeyArgs& args) {
    EngineDocument& document = active();
    if (args.Unit != EndKeyUnit::Story) {
        const auto unit = args.Unit ? static_cast<std::int32_t>(*args.Unit) : -1;
        throw WordError("Only moving to the end of the document is supported.",
                        "EndKey Unit " + std::to_string(unit));
    }
    if (args.Extend.value_or(EndKeyExtend::Move) != EndKeyExtend::Move) {
        throw WordError("Extending the selection is not supported.",
                        "EndKey Extend " + std::to_string(static_cast<std::int32_t>(*args.Extend)));
    }
    document.position = EngineDocument::Position::End;
}

void EngineApplication::pasteClipboard() {
    EngineDocument& document = active();
    throwIfStopRequested();
    const auto clipboard = m_state->clipboard;
    if (!clipboard) {
        throw WordError("There is nothing to paste.");
    }
    DocumentModel& model = document.model();
    if (document.position != EngineDocument::Position::End && !model.body.isEmpty()) {
        throw WordError("Pasting is supported only at the end of a document.",
                        "insertion point at the start");
    }
    guarded(FailedAction::Paste, clipboard->sourcePath, [&] {
        // The first document's settings become the joined document's, its interval among them.
        std::optional<long> joinedTabInterval;
        std::optional<std::string> joinedBackground;
        if (!model.body.isEmpty()) {
            joinedTabInterval = defaultTabInterval(model.settings.doc().document_element());
            joinedBackground = shownPageBackground(model);
        }
        Package source =
            withOwnSettingsStated(clipboard->package, clipboard->mainPart, joinedTabInterval,
                                  hasNotes(model), joinedBackground, model.body.isEmpty());
        // Its title page would show the empty header that keeps an earlier first-page one off.
        if (!model.body.isEmpty() &&
            (model.statedHeaders & headerReferenceBit(false, "first")) != 0) {
            stateTitlePageClearOfHeader(source, clipboard->mainPart);
        }
        if (model.hasTableOfContents) {
            source = withFieldFormattingStyled(source, clipboard->mainPart);
        }
        PasteSession session(source, clipboard->mainPart, model);
        session.beforeStep = m_state->options.beforePasteStep;
        if (model.body.isEmpty() && m_state->layoutMode &&
            m_state->layoutMode->firstPath == clipboard->sourcePath) {
            session.joinedLayoutMode = m_state->layoutMode->mode;
        }
        session.run(); // all or nothing: a failed paste leaves the document as it was
    });
    document.position = EngineDocument::Position::End;
}

void EngineApplication::PasteAndFormat(PasteFormat type) {
    checkRunning();
    if (type != PasteFormat::Original) {
        throw WordError("This paste format is not supported.",
                        "PasteAndFormat " + std::to_string(static_cast<std::int16_t>(type)));
    }
    pasteClipboard();
}

void EngineApplication::Paste() {
    pasteClipboard();
}

void EngineApplication::InsertBreak(const InsertBreakArgs& args) {
    EngineDocument& document = active();
    const BreakType type = args.Type.value_or(BreakType::Page);
    if (type != BreakType::Page && type != BreakType::Column && type != BreakType::Line) {
        throw WordError("This kind of break is not supported.",
                        "InsertBreak Type " + std::to_string(static_cast<std::int32_t>(type)));
    }
    DocumentModel& model = document.model();
    if (document.position != EngineDocument::Position::End && !model.body.isEmpty()) {
        throw WordError("Breaks can be inserted only at the end of a document.",
                        "insertion point at the start");
    }
    guarded(FailedAction::InsertBreak, {}, [&] { model.insertBreak(type); });
    document.position = EngineDocument::Position::End;
}

void EngineApplication::TypeBackspace() {
    EngineDocument& document = active();
    if (document.position != EngineDocument::Position::End) {
        return; // nothing precedes the start of a document
    }
    DocumentModel& model = document.model();
    guarded(FailedAction::Delete, {}, [&] { model.backspace(); });
}

} // namespace paperloom::engine
