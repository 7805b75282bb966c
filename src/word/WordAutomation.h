// The operations the join needs of a word processor, shaped like its automation object model.
//
// The join steps drive documents only through these classes. Our own document engine stands
// behind them in the program; a recording fake stands behind them in the tests. The interface
// has no Qt in it so that the engine can implement it without depending on the user interface.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "word/WordError.h"

namespace paperloom {

/// Units of Selection.EndKey: how far the insertion point moves.
enum class EndKeyUnit : std::int32_t {
    Story = 6, // the end of the whole story
};

/// Whether Selection.EndKey moves the insertion point or extends the selection to where it goes.
enum class EndKeyExtend : std::int32_t {
    Move = 0,
    Extend = 1,
};

/// Kinds of break for Selection.InsertBreak.
enum class BreakType : std::int32_t {
    Line = 6,
    Page = 7,
    Column = 8,
};

/// Values of PageSetup.Orientation.
enum class PageOrientation : std::int32_t {
    Portrait = 0,
    Landscape = 1,
};

/// Formats of Selection.PasteAndFormat.
enum class PasteFormat : std::int16_t {
    Original = 0, // the source's own formatting
};

/// The name a running word processor answers to when the guard compares it.
inline constexpr const char* kWordApplicationName = "Microsoft Word";

/// Named arguments of Selection.EndKey; an unset optional is an argument not passed.
struct EndKeyArgs {
    std::optional<EndKeyUnit> Unit;
    std::optional<EndKeyExtend> Extend;
};

/// Named arguments of Selection.InsertBreak.
struct InsertBreakArgs {
    std::optional<BreakType> Type;
};

/// A range of a document; here always the whole document.
class WordRange {
public:
    virtual ~WordRange() = default;
    /// Puts the range's content on the clipboard shared by all instances.
    virtual void Copy() = 0;
};

class WordPageSetup {
public:
    virtual ~WordPageSetup() = default;
    /// Sets the page orientation; throws WordError for a value outside the enumeration.
    virtual void setOrientation(PageOrientation orientation) = 0;
};

/// An open document. References stay valid until the document is closed or its
/// application quits.
class WordDocument {
public:
    virtual ~WordDocument() = default;
    /// The whole content of the document.
    [[nodiscard]] virtual std::unique_ptr<WordRange> Range() = 0;
    [[nodiscard]] virtual WordPageSetup& PageSetup() = 0;
    /// Writes the document to path, replacing a file there without asking.
    virtual void SaveAs(const std::string& path) = 0;
    /// Closes the document without a prompt.
    virtual void Close() = 0;
};

class WordDocuments {
public:
    virtual ~WordDocuments() = default;
    /// A new empty document, made the active one, with the selection in it.
    virtual WordDocument& Add() = 0;
    /// Opens the document at path, makes it the active one and puts the selection in it.
    virtual WordDocument& Open(const std::string& path) = 0;
};

/// The insertion point of the active document.
class WordSelection {
public:
    virtual ~WordSelection() = default;
    virtual void EndKey(const EndKeyArgs& args) = 0;
    /// Inserts the clipboard at the insertion point; throws when it cannot.
    virtual void PasteAndFormat(PasteFormat type) = 0;
    virtual void Paste() = 0;
    virtual void InsertBreak(const InsertBreakArgs& args) = 0;
    /// Deletes the character before the insertion point.
    virtual void TypeBackspace() = 0;
};

/// One instance of the word processor.
class WordApplication {
public:
    virtual ~WordApplication() = default;
    /// The application's name (its default value).
    [[nodiscard]] virtual std::string Name() = 0;
    virtual void setDisplayAlerts(bool displayAlerts) = 0;
    virtual WordDocuments& Documents() = 0;
    virtual WordSelection& Selection() = 0;
    /// The active document; throws when there is none.
    virtual WordDocument& ActiveDocument() = 0;
    /// Ends the instance; its documents are closed without saving.
    virtual void Quit() = 0;
};

/// Where instances come from ("Word.Application").
class WordAutomation {
public:
    virtual ~WordAutomation() = default;
    /// A new, separate instance on every call.
    [[nodiscard]] virtual std::unique_ptr<WordApplication> createInstance() = 0;
    /// The user's own running word processor; throws WordError when none runs.
    [[nodiscard]] virtual std::unique_ptr<WordApplication> findRunningInstance() = 0;
    /// A hint that the documents at paths are about to be opened, in this order, so that they
    /// can be prepared ahead, and that a document made next will hold them all, so that its
    /// document-wide settings can suit the whole list; never throws. Ignored unless overridden.
    virtual void expectDocuments(const std::vector<std::string>& paths) { (void)paths; }
    /// A hint that a join may open the documents at paths later (the user is making its list):
    /// what opening them needs and takes long to start can start now. Changes no result, never
    /// throws, returns at once. Ignored unless overridden.
    virtual void prepareFor(const std::vector<std::string>& paths) { (void)paths; }
    /// Waits until every document that instances saved is written in full, and gives up what
    /// was prepared ahead; throws the WordError of a save that could not be written.
    virtual void waitForSaves() = 0;
};

} // namespace paperloom
