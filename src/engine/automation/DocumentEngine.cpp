// The engine object: shared state and the two ways to get an application instance.
#include "engine/automation/DocumentEngine.h"

#include "engine/automation/EngineApplication.h"
#include "engine/automation/EngineState.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdint>
#include <exception>

namespace paperloom::engine {

PaperSize paperFromLocale() {
    const locale_t locale = ::newlocale(LC_PAPER_MASK, "", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) {
        return PaperSize::A4;
    }
    // glibc answers these two items with a number in place of the string pointer.
    const auto width =
        static_cast<int>(reinterpret_cast<std::intptr_t>(::nl_langinfo_l(_NL_PAPER_WIDTH, locale)));
    ::freelocale(locale);
    return width == 216 ? PaperSize::Letter : PaperSize::A4;
}

DocumentEngine::DocumentEngine() : DocumentEngine(EngineOptions{}) {}

DocumentEngine::DocumentEngine(EngineOptions options) : m_state(std::make_shared<EngineState>()) {
    m_state->options = std::move(options);
}

DocumentEngine::~DocumentEngine() = default;

std::unique_ptr<WordApplication> DocumentEngine::createInstance() {
    return std::make_unique<EngineApplication>(m_state);
}

std::unique_ptr<WordApplication> DocumentEngine::findRunningInstance() {
    if (m_state->options.findRunning) {
        if (auto running = m_state->options.findRunning()) {
            return running;
        }
    }
    throw WordError("No word processor is running.");
}

void DocumentEngine::expectDocuments(const std::vector<std::string>& paths) {
    m_state->layoutMode.reset();
    try {
        // Before the first paste, which makes the joined document's settings.
        m_state->layoutMode = joinedLayoutMode(paths, m_state->options.limits);
    } catch (...) {
        // Without a choice the joined document takes the first document's layout mode.
    }
    try {
        m_state->ahead.expect(paths, m_state->options.converter);
    } catch (...) {
        // Only a hint: whatever cannot be prepared now is converted when it is opened.
    }
}

void DocumentEngine::prepareFor(const std::vector<std::string>& paths) {
    try {
        m_state->ahead.prepare(paths, m_state->options.converter);
    } catch (...) {
        // Only a hint, as above.
    }
}

void DocumentEngine::waitForSaves() {
    m_state->ahead.clear();
    m_state->layoutMode.reset();
    std::exception_ptr failure;
    try {
        m_state->saves.finish();
    } catch (...) {
        failure = std::current_exception();
    }
    m_state->saves.settle(m_state->cache);
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void DocumentEngine::setRunningInstanceFinder(
    std::function<std::unique_ptr<WordApplication>()> finder) {
    m_state->options.findRunning = std::move(finder);
}

void DocumentEngine::setConverter(std::shared_ptr<DocumentConverter> converter) {
    m_state->options.converter = std::move(converter);
}

} // namespace paperloom::engine
