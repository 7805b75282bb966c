// The recording word processor: instances, documents and selection that only write the log.
#include "RecordingWord.h"

#include <algorithm>

namespace paperloom::test {
namespace {

class RecordingRange final : public WordRange {
public:
    explicit RecordingRange(RecordingWord& log) : m_log(log) {}
    void Copy() override { m_log.record("Copy"); }

private:
    RecordingWord& m_log;
};

class RecordingPageSetup final : public WordPageSetup {
public:
    explicit RecordingPageSetup(RecordingWord& log) : m_log(log) {}
    void setOrientation(PageOrientation orientation) override {
        m_log.record("PageSetup.Orientation=" +
                     std::to_string(static_cast<std::int32_t>(orientation)));
    }

private:
    RecordingWord& m_log;
};

class RecordingDocument final : public WordDocument {
public:
    explicit RecordingDocument(RecordingWord& log) : m_log(log), m_pageSetup(log) {}
    std::unique_ptr<WordRange> Range() override {
        m_log.record("Range");
        return std::make_unique<RecordingRange>(m_log);
    }
    WordPageSetup& PageSetup() override { return m_pageSetup; }
    void SaveAs(const std::string& path) override {
        m_log.record("ActiveDocument.SaveAs(" + path + ")");
    }
    void Close() override { m_log.record("Close"); }

private:
    RecordingWord& m_log;
    RecordingPageSetup m_pageSetup;
};

// "Name=value" of a named argument given, in the numbers the automation passes; empty when not.
template <typename Value>
std::string argument(const char* name, const std::optional<Value>& value) {
    return value ? std::string(name) + "=" + std::to_string(static_cast<std::int32_t>(*value))
                 : std::string();
}

class RecordingSelection final : public WordSelection {
public:
    explicit RecordingSelection(RecordingWord& log) : m_log(log) {}
    void EndKey(const EndKeyArgs& args) override {
        std::string text = argument("Unit", args.Unit);
        const std::string extend = argument("Extend", args.Extend);
        if (!extend.empty()) {
            text += (text.empty() ? "" : ",") + extend;
        }
        m_log.record("EndKey(" + text + ")");
    }
    void PasteAndFormat(PasteFormat type) override {
        m_log.record("PasteAndFormat(" + std::to_string(static_cast<std::int16_t>(type)) + ")");
    }
    void Paste() override { m_log.record("Paste"); }
    void InsertBreak(const InsertBreakArgs& args) override {
        m_log.record("InsertBreak(" + argument("Type", args.Type) + ")");
    }
    void TypeBackspace() override { m_log.record("TypeBackspace"); }

private:
    RecordingWord& m_log;
};

class RecordingApplication;

class RecordingDocuments final : public WordDocuments {
public:
    explicit RecordingDocuments(RecordingWord& log) : m_log(log) {}
    WordDocument& Add() override {
        m_log.record("Documents.Add");
        return make();
    }
    WordDocument& Open(const std::string& path) override {
        m_log.record("Documents.Open(" + path + ")");
        return make();
    }
    [[nodiscard]] RecordingDocument* active() const {
        return m_documents.empty() ? nullptr : m_documents.back().get();
    }

private:
    WordDocument& make() {
        m_documents.push_back(std::make_unique<RecordingDocument>(m_log));
        return *m_documents.back();
    }

    RecordingWord& m_log;
    std::vector<std::unique_ptr<RecordingDocument>> m_documents;
};

class RecordingApplication final : public WordApplication {
public:
    RecordingApplication(RecordingWord& log, std::shared_ptr<int> live, std::string name)
        : m_log(log), m_live(std::move(live)), m_name(std::move(name)), m_documents(log),
          m_selection(log) {
        ++*m_live;
    }
    ~RecordingApplication() override { --*m_live; }
    RecordingApplication(const RecordingApplication&) = delete;
    RecordingApplication& operator=(const RecordingApplication&) = delete;

    std::string Name() override {
        m_log.record("Name");
        return m_name;
    }
    void setDisplayAlerts(bool displayAlerts) override {
        m_log.record(std::string("DisplayAlerts=") + (displayAlerts ? "true" : "false"));
    }
    WordDocuments& Documents() override { return m_documents; }
    WordSelection& Selection() override { return m_selection; }
    WordDocument& ActiveDocument() override {
        RecordingDocument* document = m_documents.active();
        if (!document) {
            throw WordError("There is no active document.");
        }
        return *document;
    }
    void Quit() override { m_log.record("Quit"); }

private:
    RecordingWord& m_log;
    std::shared_ptr<int> m_live;
    std::string m_name;
    RecordingDocuments m_documents;
    RecordingSelection m_selection;
};

} // namespace

void RecordingWord::failCall(const std::string& call, int occurrence) {
    m_failures.push_back({call, occurrence});
}

std::string RecordingWord::failureMessage(const std::string& call) {
    return "The recorded call " + call + " failed.";
}

void RecordingWord::record(const std::string& call) {
    calls.push_back(call);
    if (onCall) {
        onCall(call);
    }
    const auto made = static_cast<int>(std::count(calls.begin(), calls.end(), call));
    for (const Failure& failure : m_failures) {
        if (failure.call == call && (failure.occurrence == 0 || failure.occurrence == made)) {
            throw WordError(failureMessage(call), "recorded failure");
        }
    }
}

std::unique_ptr<WordApplication> RecordingWord::createInstance() {
    record("create");
    return std::make_unique<RecordingApplication>(*this, m_live, kWordApplicationName);
}

std::unique_ptr<WordApplication> RecordingWord::findRunningInstance() {
    record("findRunningInstance");
    if (!running) {
        throw WordError("No word processor is running.");
    }
    return std::make_unique<RecordingApplication>(*this, m_live, runningName);
}

} // namespace paperloom::test
