// The pasted document's comments with the parts around them: threads, durable ids, extensions
// and the people who wrote them.
#pragma once

#include "engine/model/DocumentModel.h"
#include "engine/paste/PastedDocument.h"

#include <pugixml.hpp>

#include <string>
#include <string_view>
#include <unordered_map>

namespace paperloom::engine {

class PasteRemap;

/// Appends the pasted comments to the target's and keeps their threads, ids and authors in
/// step. Gives the content walk the key under which a comment mark's id is renumbered: a
/// source that repeats a comment id gets one id per comment, its marks paired in order.
///
/// LibreOffice cannot show a VML picture in a comment: it lays it out at the start of the
/// document's first paragraph instead, as a character. Alone, that is the commented document's
/// own first page; pasted after other content, it is the first document's, which the picture
/// (often ink drawn across the whole page) pushes down a page. So the VML pictures of comments
/// pasted after other content are offered only to readers that know Word 2010's ink namespace
/// (the word processor since 2010), which show them in the comment as before.
class CommentMerger {
public:
    /// Merges into target; reads the pasted comments when first asked. Whether the target has
    /// content before the paste is read here.
    CommentMerger(PastedDocument& source, DocumentModel& target);

    /// The key of a comment element or mark (by its local name) with a pasted id: the id
    /// itself, or the id with its occurrence where the source repeats it; "" for a comment the
    /// source does not have. Throws PackageError for a comments part that does not parse.
    [[nodiscard]] std::string commentKey(std::string_view local, const std::string& sourceId);
    /// Appends the comments, then the threads, durable ids, extensions and people that name
    /// them. Throws PackageError for a part that does not parse.
    void merge(PasteRemap& remap);

private:
    /// The pasted comments, parsed once; empty when absent.
    const pugi::xml_document& sourceComments();
    void mergeThreads(const std::unordered_map<std::string, std::string>& paraIds);
    std::unordered_map<std::string, std::string>
    mergeIds(const std::unordered_map<std::string, std::string>& paraIds);
    void mergeExtensions(const std::unordered_map<std::string, std::string>& durableIds);
    void mergePeople();

    PastedDocument& m_source;
    DocumentModel& m_target;
    pugi::xml_document m_sourceComments;
    bool m_sourceCommentsRead = false;
    bool m_afterOtherContent; // the target's body had content before the paste
    std::unordered_map<std::string, unsigned> m_commentCounts; // source comment id -> comments
    std::unordered_map<std::string, unsigned> m_commentsSeen;  // local + ':' + id -> seen so far
};

} // namespace paperloom::engine
