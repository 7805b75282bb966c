// Custom XML parts that the pasted content controls are bound to.
#pragma once

#include "engine/model/DocumentModel.h"
#include "engine/paste/PastedDocument.h"

#include <pugixml.hpp>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace paperloom::engine {

class PartMerger;

/// A custom XML part with its properties part, which names it by an item id.
struct CustomXmlItem {
    std::string itemPart;
    std::string propsPart;
    std::string itemId; // as written in the properties part
};

/// Carries the custom XML part a data binding names into the target (through parts) and keeps
/// the binding naming the data it was made for: the same data is shared, different data under
/// an item id the target uses already gets a new id.
class CustomXmlMerger {
public:
    /// Merges into target, copying parts through parts; lists the custom XML when first asked.
    CustomXmlMerger(PastedDocument& source, DocumentModel& target, PartMerger& parts);

    /// Copies the custom XML part a w:dataBinding names and points the binding at the copy.
    /// Returns false for a binding that must go: its data holds no value for it (or the source
    /// lacks that data) and no other data of the source does. LibreOffice fills such a control
    /// from any custom XML part that has a value at its path, in the joined document another
    /// document's; without the binding it shows its own content, the placeholder, as it did.
    [[nodiscard]] bool rebind(pugi::xml_node binding);

private:
    /// Lists the custom XML parts of both documents, once.
    void index();

    /// Whether some custom XML part of the source holds a value at the binding's path, or the
    /// path is more than a chain of elements (then it cannot tell, and says so).
    [[nodiscard]] bool sourceMayFill(const pugi::xml_node& binding);

    PastedDocument& m_source;
    DocumentModel& m_target;
    PartMerger& m_parts;
    std::unordered_map<std::string, std::string> m_storeItemIds; // source id (lower) -> target id
    bool m_indexed = false;
    std::unordered_map<std::string, CustomXmlItem> m_sourceItems; // id (lower) -> parts
    std::unordered_map<std::string, CustomXmlItem> m_targetItems;
    // The source's custom XML that parses, read once: a document may bind many controls.
    std::vector<std::unique_ptr<pugi::xml_document>> m_sourceData;
    bool m_sourceDataRead = false;
};

} // namespace paperloom::engine
