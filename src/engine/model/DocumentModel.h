// The editable form of one open document: body, styles, lists, notes and the parts around them.
#pragma once

#include "engine/automation/EngineOptions.h"
#include "engine/model/Body.h"
#include "engine/model/IdRegistry.h"
#include "engine/model/Numbering.h"
#include "engine/package/Package.h"
#include "engine/package/Relationships.h"
#include "word/WordAutomation.h"

#include <pugixml.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace paperloom::engine {

/// One bit for each kind (header, footer) and type (default, first, even) of reference that the
/// section properties state: what a section after them lacking its own would show.
[[nodiscard]] unsigned headerReferenceBits(const pugi::xml_node& sectPr);

/// The bit headerReferenceBits gives a reference of that kind and type (0 for an unknown type).
[[nodiscard]] unsigned headerReferenceBit(bool footer, std::string_view type);

/// A part held as parsed XML, written back only when it changed: whoever changes it takes it
/// through edit(), which is what tells the next save to write it anew.
class XmlPart {
public:
    /// The part's name; empty when the document has no such part.
    [[nodiscard]] const std::string& name() const { return m_name; }
    explicit operator bool() const { return !m_name.empty(); }
    /// The parsed part, to read (pugi's handles stay writable: change it only through edit()).
    [[nodiscard]] const pugi::xml_document& doc() const { return m_doc; }
    /// The parsed part, to change; the next save writes it from this.
    [[nodiscard]] pugi::xml_document& edit() {
        m_dirty = true;
        return m_doc;
    }

private:
    friend class DocumentModel;
    std::string m_name;
    pugi::xml_document m_doc;
    bool m_dirty = false;
    PartDataPtr m_cached; // the part as the last save wrote it, while it is unchanged
};

/// Everything a document is made of while it is open for editing. The merge code works on it
/// directly; DocumentModel itself keeps it consistent when loading and saving, and undoes a
/// change that fails (beginChange, commitChange, rollBackChange; see DocumentChange). What
/// decides what a save writes (which parts and relationships changed, the version) moves only
/// through its own members: XmlPart::edit, relsForEdit, putPart and the changes.
class DocumentModel {
public:
    DocumentModel();
    ~DocumentModel();
    DocumentModel(const DocumentModel&) = delete;
    DocumentModel& operator=(const DocumentModel&) = delete;

    /// A new blank document.
    [[nodiscard]] static std::unique_ptr<DocumentModel> blank(PaperSize paper);
    /// The editable form of a package; throws PackageError.
    [[nodiscard]] static std::unique_ptr<DocumentModel> load(const Package& package,
                                                             const std::string& mainPart);
    /// The document as a package, for saving or copying. Unchanged parts are shared.
    [[nodiscard]] Package toPackage();

    /// Sets the orientation of the document's (last) section; swaps page width and height
    /// when the orientation changes.
    void setOrientation(PageOrientation orientation);
    /// Inserts a break run (page, column or line) at the end of the tail paragraph.
    void insertBreak(BreakType type);
    /// Deletes the character before the end of the tail paragraph, or joins an empty tail to
    /// the paragraph before it.
    void backspace();

    /// The relationships of a part of this document, loaded on first use, to read.
    const Relationships& relsOf(const std::string& partName);
    /// The relationships of a part, to change; the next save writes them.
    Relationships& relsForEdit(const std::string& partName);
    /// A part name not yet used, made from a wanted name ("word/media/image1.png").
    [[nodiscard]] std::string uniquePartName(const std::string& wanted);
    /// Adds or replaces a part (its content type is set by the caller).
    void putPart(const std::string& name, PartDataPtr data);
    /// Takes a part out of the document with its content type override and the main part's
    /// relationships to it.
    void removePart(const std::string& name);
    /// The name of a media part of this document with the same bytes as data, or "".
    [[nodiscard]] std::string sameMedia(const PartData& data) const;
    /// Records a media part by its content, so identical media is stored once (sameMedia).
    void rememberMedia(const PartData& data, const std::string& name);
    /// Makes sure the document has the part that a main relationship of this type points to,
    /// creating it from initialXml when missing; returns it.
    XmlPart& ensurePart(XmlPart& part, const std::string& relType, const std::string& wantedName,
                        const std::string& contentType, const std::string& initialXml);

    /// Starts a change that ends in commitChange or rollBackChange, remembering the document
    /// as it is now. Cheap: compressed pieces and parts are shared, what the change adds is
    /// recorded as it happens. Throws std::logic_error when a change is open already and
    /// PackageError when an earlier change could not be undone.
    void beginChange();
    /// Counts the document's changes: a saved copy is current while the count is the same.
    [[nodiscard]] std::uint64_t version() const { return m_version; }

    /// Ends the change, keeping what it did; the document counts as changed (version).
    void commitChange();
    /// Ends the change by putting the document back exactly as it was at beginChange: its
    /// content, the part names and ids in use, its version. When that fails (it needs memory
    /// only for parts that have to be parsed again), the document refuses to be saved or
    /// changed any further instead of being saved half changed.
    void rollBackChange() noexcept;

    Package package; // parts not held in parsed form below
    ContentTypes contentTypes;
    std::string mainPart;
    std::string mainContentType;
    Body body;
    XmlPart styles;
    XmlPart settings;
    XmlPart footnotes;
    XmlPart endnotes;
    XmlPart comments;
    XmlPart fontTable;
    Numbering numbering;
    std::string numberingName;
    std::string themeName;
    IdRegistry ids;
    unsigned statedHeaders = 0;       // headerReferenceBits of every section of the body, or-ed
    bool numbersLines = false;        // a section of the body numbers its lines (see LineNumbers)
    bool hasTableOfContents = false;  // the body holds one (see FieldParagraphs)
    bool endsInStatedSection = false; // the final section is one a paste stated (see Paste)
    std::string emptyHeaderPart;      // shared by sections that must not inherit a header
    std::string emptyFooterPart;

private:
    struct Change;
    /// Fails with a PackageError when a change could not be undone.
    void checkUsable() const;
    /// relsOf's work: the relationships, loaded on first use, noted for an open change.
    Relationships& relsForReading(const std::string& partName);
    // What an open change records as it happens, for rollBackChange (no-ops without one).
    void noteReplacedPart(const std::string& name);
    void noteClaimedName(const std::string& lowerName);
    void noteRelationships(const std::string& partName, bool existed);
    void noteRemovedRelationships(const std::string& partName);
    void noteMedia(std::uint64_t key, const std::string& name);
    /// The key media is recorded under: crc << 32 ^ size.
    [[nodiscard]] static std::uint64_t mediaKey(const PartData& data);

    std::unordered_map<std::string, Relationships> m_rels;
    std::unordered_set<std::string> m_dirtyRels; // parts whose relationships the save writes
    std::unordered_multimap<std::uint64_t, std::string> m_mediaByContent; // by mediaKey
    std::uint64_t m_version = 0;

    std::unordered_set<std::string> m_lowerNames;
    std::unordered_map<std::string, unsigned> m_nextSuffix;
    std::unique_ptr<Change> m_change; // what the open change must undo
    bool m_damaged = false;           // a change could not be undone
};

/// Local names of the annotation elements whose w:id must be unique in a document.
[[nodiscard]] const std::unordered_set<std::string_view>& annotationElementNames();

/// Namespace declarations our new parts carry on their document element.
[[nodiscard]] const std::string& standardNamespaceDeclarations();

} // namespace paperloom::engine
