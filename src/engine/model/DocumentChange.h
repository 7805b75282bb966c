// One change to a document as a unit: it completes, or the document is as it was before it.
#pragma once

#include "engine/model/DocumentModel.h"

namespace paperloom::engine {

/// Begins a change of model when made; commit() keeps it, rollBack() or destruction without
/// commit puts the document back exactly as it was. A paste is one such change, so a paste
/// that fails part-way leaves nothing behind for the next attempt to trip over.
class DocumentChange {
public:
    /// Begins the change; throws as DocumentModel::beginChange does.
    explicit DocumentChange(DocumentModel& model) : m_model(model) { m_model.beginChange(); }
    ~DocumentChange() { rollBack(); }
    DocumentChange(const DocumentChange&) = delete;
    DocumentChange& operator=(const DocumentChange&) = delete;

    /// Keeps what the change did; the document counts as changed.
    void commit() {
        m_model.commitChange();
        m_done = true;
    }
    /// Undoes the change (once; nothing after commit).
    void rollBack() noexcept {
        if (!m_done) {
            m_done = true;
            m_model.rollBackChange();
        }
    }

private:
    DocumentModel& m_model;
    bool m_done = false;
};

} // namespace paperloom::engine
