// The join steps and the loop over the entries, checked call by call against a recording word
// processor; and the guard against a word processor of the user's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "RecordingWord.h"
#include "ScriptedPrompts.h"
#include "join/JoinCommand.h"
#include "join/Word1.h"

using namespace paperloom;
using paperloom::test::RecordingWord;
using paperloom::test::ScriptedPrompts;
using Calls = std::vector<std::string>;

namespace {

const std::string kOutput = "/out/joined.doc";

// A window without widgets whose pointer and progress changes go into the word log, so the
// whole interleaving is one sequence.
class RecordingWindow final : public JoinWindow {
public:
    RecordingWindow(RecordingWord& word, std::vector<std::string> entries)
        : m_word(word), m_entries(std::move(entries)) {}

    bool breaks = false;
    bool portraitChosen = true;
    std::vector<float> progress;

    bool pageBreaks() const override { return breaks; }
    bool portrait() const override { return portraitChosen; }
    int entryCount() const override { return static_cast<int>(m_entries.size()); }
    std::string entryPath(int index) const override { return m_entries.at(index - 1); }
    void setProgress(float value) override { progress.push_back(value); }
    void setMousePointer(MousePointerValue value) override {
        m_word.calls.push_back(value == MousePointerValue::Busy
                                   ? "Pointer"
                                   : "Pointer=" + std::to_string(static_cast<int>(value)));
    }

private:
    RecordingWord& m_word;
    std::vector<std::string> m_entries;
};

void append(Calls& calls, const Calls& more) {
    calls.insert(calls.end(), more.begin(), more.end());
}

// The calls of each step, written out as the steps must make them.
Calls copyStep(const std::string& source) {
    return {"Pointer",
            "create",
            "Pointer",
            "DisplayAlerts=false",
            "Documents.Open(" + source + ")",
            "Range",
            "Pointer",
            "Copy",
            "Pointer",
            "Close",
            "Quit",
            "Pointer"};
}

Calls pasteStep() {
    return {"Pointer", "PasteAndFormat(0)", "Pointer"};
}

Calls firstStep(bool breaks, bool portrait) {
    Calls calls{"create",        "DisplayAlerts=false",
                "Documents.Add", "EndKey(Unit=6,Extend=0)",
                "Pointer",       std::string("PageSetup.Orientation=") + (portrait ? "0" : "1")};
    append(calls, pasteStep());
    if (breaks) {
        calls.push_back("InsertBreak(Type=7)");
    }
    append(calls, {"Pointer", "ActiveDocument.SaveAs(" + kOutput + ")", "Pointer", "Quit"});
    return calls;
}

Calls laterStep(bool breaks, bool last) {
    Calls calls{"create", "Pointer", "DisplayAlerts=false", "Documents.Open(" + kOutput + ")",
                "EndKey(Unit=6,Extend=0)"};
    append(calls, pasteStep());
    calls.push_back("Pointer");
    if (breaks) {
        calls.push_back("InsertBreak(Type=7)");
        if (last) {
            append(calls, {"EndKey(Unit=6)", "TypeBackspace"});
        }
    }
    append(calls, {"Pointer", "ActiveDocument.SaveAs(" + kOutput + ")", "Pointer", "Quit"});
    return calls;
}

// What the loop around the steps adds for entry i: pointer, read the entry, pointer, copy,
// pointer, append, pointer.
Calls joinOf(const std::vector<std::string>& entries, bool breaks, bool portrait) {
    Calls calls;
    const auto count = entries.size();
    for (std::size_t i = 0; i < count; ++i) {
        append(calls, {"Pointer", "Pointer"});
        append(calls, copyStep(entries[i]));
        calls.push_back("Pointer");
        append(calls, i == 0 ? firstStep(breaks, portrait) : laterStep(breaks, i + 1 == count));
        calls.push_back("Pointer");
    }
    return calls;
}

Calls withoutPointer(const Calls& calls) {
    Calls result;
    for (const std::string& call : calls) {
        if (call != "Pointer") {
            result.push_back(call);
        }
    }
    return result;
}

struct SequenceCase {
    int entries;
    bool breaks;
    bool portrait;
};

void PrintTo(const SequenceCase& c, std::ostream* out) {
    *out << c.entries << " entries, breaks " << c.breaks << ", portrait " << c.portrait;
}

class JoinSequence : public testing::TestWithParam<SequenceCase> {};

TEST_P(JoinSequence, makesExactlyTheCallsOfEachStepInOrder) {
    const SequenceCase& c = GetParam();
    const std::vector<std::string> all{"/in/a.docx", "/in/b.docx", "/in/c.docx"};
    const std::vector<std::string> entries(all.begin(), all.begin() + c.entries);
    RecordingWord word;
    RecordingWindow window(word, entries);
    window.breaks = c.breaks;
    window.portraitChosen = c.portrait;

    EXPECT_FALSE(joinEntries(word, window, kOutput).has_value());

    EXPECT_EQ(word.calls, joinOf(entries, c.breaks, c.portrait));
    EXPECT_EQ(word.liveInstances(), 0);
}

INSTANTIATE_TEST_SUITE_P(EntriesBreaksOrientation, JoinSequence,
                         testing::Values(SequenceCase{1, false, true}, SequenceCase{1, true, true},
                                         SequenceCase{1, false, false},
                                         SequenceCase{2, false, true}, SequenceCase{2, true, true},
                                         SequenceCase{2, true, false}, SequenceCase{3, false, true},
                                         SequenceCase{3, true, true}, SequenceCase{3, true, false},
                                         SequenceCase{3, false, false}),
                         [](const testing::TestParamInfo<SequenceCase>& row) {
                             return std::to_string(row.param.entries) + "Entries" +
                                    (row.param.breaks ? "WithBreaks" : "NoBreaks") +
                                    (row.param.portrait ? "Portrait" : "Landscape");
                         });

// One case written out in full, so that a mistake shared by the step helpers above and the
// code cannot hide: two entries, page breaks, landscape, pointer lines left out.
TEST(JoinSequence, twoEntriesWithBreaksInLandscapeWrittenOut) {
    RecordingWord word;
    RecordingWindow window(word, {"/in/a.docx", "/in/b.docx"});
    window.breaks = true;
    window.portraitChosen = false;

    ASSERT_FALSE(joinEntries(word, window, "/o.doc").has_value());

    const Calls expected{"create",
                         "DisplayAlerts=false",
                         "Documents.Open(/in/a.docx)",
                         "Range",
                         "Copy",
                         "Close",
                         "Quit",
                         "create",
                         "DisplayAlerts=false",
                         "Documents.Add",
                         "EndKey(Unit=6,Extend=0)",
                         "PageSetup.Orientation=1",
                         "PasteAndFormat(0)",
                         "InsertBreak(Type=7)",
                         "ActiveDocument.SaveAs(/o.doc)",
                         "Quit",
                         "create",
                         "DisplayAlerts=false",
                         "Documents.Open(/in/b.docx)",
                         "Range",
                         "Copy",
                         "Close",
                         "Quit",
                         "create",
                         "DisplayAlerts=false",
                         "Documents.Open(/o.doc)",
                         "EndKey(Unit=6,Extend=0)",
                         "PasteAndFormat(0)",
                         "InsertBreak(Type=7)",
                         "EndKey(Unit=6)",
                         "TypeBackspace",
                         "ActiveDocument.SaveAs(/o.doc)",
                         "Quit"};
    EXPECT_EQ(withoutPointer(word.calls), expected);
}

TEST(JoinSequence, progressIsShownBeforeEachEntryInSinglePrecision) {
    const std::vector<std::pair<std::vector<std::string>, std::vector<float>>> cases{
        {{"/a"}, {100.0F}},
        {{"/a", "/b"}, {50.0F, 100.0F}},
        // i / 3 * 100 in double precision, stored as the nearest float (66.666664 shows as
        // 66.66667 with seven digits).
        {{"/a", "/b", "/c"}, {33.333332F, 66.666664F, 100.0F}},
        {{"/a", "/b", "/c", "/d"}, {25.0F, 50.0F, 75.0F, 100.0F}},
    };
    for (const auto& [entries, values] : cases) {
        RecordingWord word;
        RecordingWindow window(word, entries);
        ASSERT_FALSE(joinEntries(word, window, kOutput).has_value());
        EXPECT_EQ(window.progress, values);
    }
}

TEST(JoinSequence, choicesAreReadWhenEachStepRuns) {
    RecordingWord word;
    RecordingWindow window(word, {"/a", "/b", "/c"});
    word.onCall = [&](const std::string& call) {
        // The user ticks the page-break box while entry 2 is being copied.
        if (call == "Documents.Open(/b)") {
            window.breaks = true;
            window.portraitChosen = false;
        }
    };
    ASSERT_FALSE(joinEntries(word, window, kOutput).has_value());

    const Calls calls = withoutPointer(word.calls);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "InsertBreak(Type=7)"), 2);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "PageSetup.Orientation=0"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "PageSetup.Orientation=1"), 0);
}

TEST(PasteIntoSelection, fallsBackToPlainPasteWhenFormattedPasteFails) {
    RecordingWord word;
    word.failCall("PasteAndFormat(0)");
    RecordingWindow window(word, {"/in/a.docx"});
    const std::unique_ptr<WordApplication> instance = word.createInstance();
    word.calls.clear();

    PasteIntoSelection(*instance, window);

    EXPECT_EQ(word.calls, (Calls{"Pointer", "PasteAndFormat(0)", "Pointer", "Paste"}));
}

TEST(PasteIntoSelection, fallbackRunsInEveryStepOfAJoin) {
    RecordingWord word;
    word.failCall("PasteAndFormat(0)");
    RecordingWindow window(word, {"/a", "/b", "/c"});

    ASSERT_FALSE(joinEntries(word, window, kOutput).has_value());

    const Calls calls = withoutPointer(word.calls);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Paste"), 3);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "ActiveDocument.SaveAs(" + kOutput + ")"), 3);
}

TEST(PasteIntoSelection, failingPlainPasteReachesTheCaller) {
    RecordingWord word;
    word.failCall("PasteAndFormat(0)");
    word.failCall("Paste");
    RecordingWindow window(word, {});
    const std::unique_ptr<WordApplication> instance = word.createInstance();

    EXPECT_THROW(PasteIntoSelection(*instance, window), WordError);
}

// Each failing call stops the join at the entry it belongs to, quits the instance of the
// failing step, and leaves nothing of it alive.
struct FailureCase {
    const char* name;
    std::string call;
    int occurrence;
    int entry;
    Calls lastCalls;
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.call << " failing";
}

class JoinFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(JoinFailureTest, stopsAtTheFailingEntryAndReportsIt) {
    const FailureCase& c = GetParam();
    RecordingWord word;
    if (c.call == "Paste") {
        word.failCall("PasteAndFormat(0)");
    }
    word.failCall(c.call, c.occurrence);
    RecordingWindow window(word, {"/in/a.docx", "/in/b.docx", "/in/c.docx"});

    const std::optional<JoinFailure> failure = joinEntries(word, window, kOutput);

    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->entry, c.entry);
    EXPECT_EQ(failure->count, 3);
    const std::string entry = "\"/in/" + std::string(1, char('a' + c.entry - 1)) + ".docx\"";
    const bool firstSave = c.call == "ActiveDocument.SaveAs(" + kOutput + ")" && c.entry == 1;
    const std::string where =
        firstSave      ? std::string("Nothing was joined; no output document was written.")
        : c.entry == 1 ? "The join stopped at the first document, " + entry +
                             "; no output document was written."
                       : "The join stopped at document " + std::to_string(c.entry) + " of 3, " +
                             entry + "; \"" + kOutput + "\" holds the documents before it.";
    EXPECT_EQ(failure->message, RecordingWord::failureMessage(c.call) + "\r\r" + where);
    const Calls calls = withoutPointer(word.calls);
    ASSERT_GE(calls.size(), c.lastCalls.size());
    EXPECT_EQ(Calls(calls.end() - static_cast<long>(c.lastCalls.size()), calls.end()), c.lastCalls);
    EXPECT_EQ(word.liveInstances(), 0);
    EXPECT_EQ(window.progress.size(), static_cast<std::size_t>(c.entry));
}

INSTANTIATE_TEST_SUITE_P(
    FailingCalls, JoinFailureTest,
    testing::Values(
        FailureCase{"PlainPasteOfSecond", "Paste", 2, 2, {"PasteAndFormat(0)", "Paste", "Quit"}},
        FailureCase{"OpenOfSource",
                    "Documents.Open(/in/b.docx)",
                    0,
                    2,
                    {"DisplayAlerts=false", "Documents.Open(/in/b.docx)", "Quit"}},
        FailureCase{"OpenOfOutput",
                    "Documents.Open(" + kOutput + ")",
                    2,
                    3,
                    {"Documents.Open(" + kOutput + ")", "Quit"}},
        FailureCase{"FirstCreate", "create", 1, 1, {"create"}},
        FailureCase{"FirstSave",
                    "ActiveDocument.SaveAs(" + kOutput + ")",
                    1,
                    1,
                    {"ActiveDocument.SaveAs(" + kOutput + ")", "Quit"}},
        FailureCase{"LaterSave",
                    "ActiveDocument.SaveAs(" + kOutput + ")",
                    2,
                    2,
                    {"ActiveDocument.SaveAs(" + kOutput + ")", "Quit"}},
        FailureCase{"CopyOfLast", "Copy", 3, 3, {"Copy", "Quit"}}),
    [](const testing::TestParamInfo<FailureCase>& row) { return std::string(row.param.name); });

TEST(JoinFailure, aStopEndsTheJoinWithoutAPlainPasteOrAnOutputFailure) {
    for (const std::string& call :
         {std::string("PasteAndFormat(0)"), "ActiveDocument.SaveAs(" + kOutput + ")"}) {
        RecordingWord word;
        int seen = 0;
        word.onCall = [&](const std::string& made) {
            if (made == call && ++seen == 2) {
                throw WordInterrupted("Asked to end.");
            }
        };
        RecordingWindow window(word, {"/in/a.docx", "/in/b.docx", "/in/c.docx"});

        const std::optional<JoinFailure> failure = joinEntries(word, window, kOutput);

        ASSERT_TRUE(failure.has_value());
        EXPECT_TRUE(failure->stopped);
        EXPECT_EQ(failure->message, "Asked to end.\r\rThe join stopped at document 2 of 3, "
                                    "\"/in/b.docx\"; \"" +
                                        kOutput + "\" holds the documents before it.");
        EXPECT_EQ(std::count(word.calls.begin(), word.calls.end(), "Paste"), 0) << call;
        EXPECT_EQ(word.liveInstances(), 0);
    }
}

TEST(JoinFailure, aSaveThatFailsInTheBackgroundFailsTheJoinAfterItsLastStep) {
    RecordingWord word;
    word.onWaitForSaves = [] { throw WordError("Cannot save /o.doc: the disk is full."); };
    RecordingWindow window(word, {"/in/a.docx", "/in/b.docx"});

    const std::optional<JoinFailure> failure = joinEntries(word, window, kOutput);

    EXPECT_EQ(word.expected, (std::vector<std::string>{"/in/a.docx", "/in/b.docx"}));
    EXPECT_EQ(word.saveWaits, 1);
    ASSERT_TRUE(failure.has_value());
    EXPECT_FALSE(failure->stopped);
    EXPECT_EQ(failure->message, "Cannot save /o.doc: the disk is full.\r\rAll 2 documents were "
                                "joined, but \"" +
                                    kOutput + "\" does not hold all of them.");
    EXPECT_EQ(window.progress.size(), 2u);
}

TEST(JoinFailure, anUnexpectedErrorIsReportedWithoutItsTechnicalText) {
    class BrokenEngine final : public WordAutomation {
    public:
        std::unique_ptr<WordApplication> createInstance() override {
            throw std::length_error("basic_string::_M_create");
        }
        std::unique_ptr<WordApplication> findRunningInstance() override { return nullptr; }
        void waitForSaves() override {}
    };
    BrokenEngine engine;
    RecordingWord log;
    RecordingWindow window(log, {"/a", "/b"});

    const std::optional<JoinFailure> failure = joinEntries(engine, window, kOutput);

    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->message.find("basic_string"), std::string::npos);
    EXPECT_NE(failure->message.find("unexpected error"), std::string::npos);
}

TEST(WordRunningGuard, findsOnlyARunningWordProcessorThatAnswersToTheName) {
    RecordingWord word;
    EXPECT_FALSE(IsWordRunning(word));

    word.running = true;
    EXPECT_TRUE(IsWordRunning(word));

    word.runningName = "microsoft word";
    EXPECT_FALSE(IsWordRunning(word));

    word.runningName = kWordApplicationName;
    word.failCall("Name");
    EXPECT_FALSE(IsWordRunning(word));
    EXPECT_EQ(word.liveInstances(), 0);
}

TEST(WordRunningGuard, asksNothingWhenNoneRuns) {
    RecordingWord word;
    ScriptedPrompts prompts;
    EXPECT_FALSE(CancelIfWordRunning(word, prompts));
    EXPECT_TRUE(prompts.asked.empty());
}

TEST(WordRunningGuard, asksWhetherToGoOnAndCancelsUnlessYes) {
    const std::vector<std::pair<MsgBoxResult, bool>> answers{{MsgBoxResult::Yes, false},
                                                             {MsgBoxResult::No, true}};
    for (const auto& [answer, cancels] : answers) {
        RecordingWord word;
        word.running = true;
        ScriptedPrompts prompts;
        prompts.msgBoxAnswers.push_back(answer);

        EXPECT_EQ(CancelIfWordRunning(word, prompts), cancels);

        ASSERT_EQ(prompts.asked.size(), 1U);
        EXPECT_EQ(prompts.asked[0].text.toStdString(),
                  "Word may be open. It is recommended that you close Word first.\r\n\r\n"
                  "Would you like to proceed anyway?");
        EXPECT_EQ(prompts.asked[0].buttons, MsgBoxButtons::YesNo);
        EXPECT_EQ(word.liveInstances(), 0);
        // The guard only drops its reference: it never quits what it found.
        EXPECT_EQ(std::count(word.calls.begin(), word.calls.end(), "Quit"), 0);
    }
}

} // namespace
