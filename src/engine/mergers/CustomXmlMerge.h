// Custom XML parts that the pasted content controls are bound to.
#pragma once

#include "engine/model/DocumentModel.h"
#include "engine/paste/PastedDocument.h"

#include <pugixml.hpp>

#include <string>
#include <unordered_map>

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
    void rebind(pugi::xml_node binding);

private:
    /// Lists the custom XML parts of both documents, once.
    void index();

    PastedDocument& m_source;
    DocumentModel& m_target;
    PartMerger& m_parts;
    std::unordered_map<std::string, std::string> m_storeItemIds; // source id (lower) -> target id
    bool m_indexed = false;
    std::unordered_map<std::string, CustomXmlItem> m_sourceItems; // id (lower) -> parts
    std::unordered_map<std::string, CustomXmlItem> m_targetItems;
};

} // namespace paperloom::engine
