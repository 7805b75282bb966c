// One application instance of the engine, with its documents, selection and page setup.
#pragma once

#include "engine/automation/EngineState.h"
#include "engine/model/DocumentModel.h"

#include "word/WordAutomation.h"

#include <memory>
#include <string>
#include <vector>

namespace paperloom::engine {

class EngineApplication;

/// An open document: the package it was opened from, and its editable model once edited.
class EngineDocument : public WordDocument, private WordPageSetup {
public:
    EngineDocument(EngineApplication& application, std::unique_ptr<DocumentModel> model,
                   std::string path);
    EngineDocument(EngineApplication& application, Package package, std::string mainPart,
                   std::string path);
    ~EngineDocument() override;

    [[nodiscard]] std::unique_ptr<WordRange> Range() override;
    [[nodiscard]] WordPageSetup& PageSetup() override;
    void SaveAs(const std::string& path) override;
    void Close() override;

    /// Where the insertion point is: where Open and Add leave it, or after EndKey.
    enum class Position { Start, End };
    Position position = Position::Start;

    /// The editable model, made from the package on first use.
    DocumentModel& model();
    /// A snapshot of the whole document for the clipboard.
    [[nodiscard]] std::shared_ptr<const ClipboardContent> snapshot();
    [[nodiscard]] bool isOpen() const { return !m_closed; }
    /// Closes without saving; a model unchanged since its last save goes to the engine's cache.
    void release();
    [[nodiscard]] const std::string& path() const { return m_path; }

private:
    void setOrientation(PageOrientation orientation) override;
    void checkOpen() const;

    EngineApplication& m_application;
    std::unique_ptr<DocumentModel> m_model;
    Package m_package;
    std::string m_mainPart;
    std::string m_path;
    std::string m_savedPath;
    std::uint64_t m_savedVersion = 0;
    bool m_closed = false;
};

class EngineApplication : public WordApplication, private WordDocuments, private WordSelection {
public:
    explicit EngineApplication(std::shared_ptr<EngineState> state);
    ~EngineApplication() override;

    [[nodiscard]] std::string Name() override;
    void setDisplayAlerts(bool displayAlerts) override;
    WordDocuments& Documents() override;
    WordSelection& Selection() override;
    WordDocument& ActiveDocument() override;
    void Quit() override;

    [[nodiscard]] EngineState& state() { return *m_state; }
    /// Called by a document that closes.
    void documentClosed(EngineDocument& document);

private:
    // Documents
    WordDocument& Add() override;
    WordDocument& Open(const std::string& path) override;
    // Selection
    void EndKey(const EndKeyArgs& args) override;
    void PasteAndFormat(PasteFormat type) override;
    void Paste() override;
    void InsertBreak(const InsertBreakArgs& args) override;
    void TypeBackspace() override;

    void checkRunning() const;
    EngineDocument& active();
    EngineDocument& adopt(std::unique_ptr<EngineDocument> document);
    void pasteClipboard();

    std::shared_ptr<EngineState> m_state;
    std::vector<std::unique_ptr<EngineDocument>> m_documents;
    EngineDocument* m_active = nullptr;
    bool m_displayAlerts = true;
    bool m_quit = false;
};

} // namespace paperloom::engine
