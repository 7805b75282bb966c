// Conversions on the engine's threads: inputs converted ahead, outputs converted behind the join.
#include "EngineFixture.h"

#include "engine/automation/DocumentConverter.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <thread>

namespace paperloom::engine::testing {
namespace {

using namespace std::chrono_literals;

const std::string kLegacyMagic("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

/// Converts "legacy" files (the legacy magic, then a word) into a document of that word, each
/// after a delay of its own and up to three at once; writes outputs as copies of the package,
/// whole or not at all, after a delay.
class SlowConverter : public DocumentConverter {
public:
    void toWordPackage(const std::string& input, const std::string& package) override {
        std::ifstream file(input, std::ios::binary);
        const std::string content{std::istreambuf_iterator<char>(file), {}};
        const std::string word =
            content.substr(kLegacyMagic.size(), content.find(' ') - kLegacyMagic.size());
        {
            std::lock_guard lock(m_mutex);
            started.push_back(word);
        }
        std::this_thread::sleep_for(importDelays.count(word) ? importDelays.at(word) : 0ms);
        if (word == "damaged") {
            throw WordError("Cannot open " + input + ": the document is damaged.");
        }
        DocDraft draft;
        draft.body = para(word);
        draft.write(package);
        std::lock_guard lock(m_mutex);
        converted.push_back(word);
    }
    void fromWordPackage(const std::string& package, const std::string& output) override {
        ++running;
        std::this_thread::sleep_for(exportDelay);
        const int call = ++exports;
        if (failExportsFrom > 0 && call >= failExportsFrom) {
            --running;
            throw WordError("Cannot save " + output + ": the disk is full.");
        }
        std::filesystem::copy_file(package, output + ".part",
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::rename(output + ".part", output);
        --running;
    }
    [[nodiscard]] bool convertsOutput(const std::string& output) const override {
        return output.ends_with(".doc");
    }
    [[nodiscard]] int parallelConversions() const override { return threads; }
    void prepare(std::size_t conversions) override { prepared = conversions; }

    std::map<std::string, std::chrono::milliseconds> importDelays;
    std::chrono::milliseconds exportDelay = 40ms;
    int failExportsFrom = 0;
    std::atomic<int> running{0};
    std::atomic<int> exports{0};
    int threads = 3;
    std::atomic<std::size_t> prepared{0};
    std::vector<std::string> started;   // in the order the conversions began
    std::vector<std::string> converted; // in the order the conversions ended

private:
    std::mutex m_mutex;
};

class BackgroundConversion : public EngineFixture {
protected:
    BackgroundConversion() { engine.setConverter(converter); }

    std::string legacy(const std::string& word) {
        const auto path = dir / (word + ".doc");
        std::ofstream(path, std::ios::binary) << kLegacyMagic << word;
        return path.string();
    }

    std::shared_ptr<SlowConverter> converter = std::make_shared<SlowConverter>();
    const std::string output = (dir / "joined.doc").string();
};

TEST_F(BackgroundConversion, InputsConvertedAheadJoinInListOrderWhenTheyFinishOutOfOrder) {
    converter->importDelays = {{"first", 300ms}, {"second", 100ms}};
    const std::vector<std::string> inputs{legacy("first"), legacy("second"), legacy("third"),
                                          legacy("fourth")};

    joinDocuments(engine, inputs, output, {});

    EXPECT_NE(converter->converted.front(), "first") << "the conversions ended in list order";
    EXPECT_EQ(Written(output).paragraphs(),
              (std::vector<std::string>{"first", "second", "third", "fourth", ""}));
    EXPECT_LE(converter->exports.load(), 4) << "at most one conversion of the output per step";
}

TEST_F(BackgroundConversion, ALargeDocumentFarDownTheListConvertsBesideTheNextOnes) {
    // Converted in its place, it would leave the other converter idle while the join waits for
    // it; the next document beside it keeps the join going.
    converter->importDelays = {{"one", 300ms}};
    converter->threads = 2;
    const std::string large = legacy("large");
    std::ofstream(large, std::ios::binary | std::ios::app) << std::string(1 << 20, ' ');
    std::vector<std::string> inputs;
    std::vector<std::string> words{"one", "two", "three", "four", "five", "six", "seven", "eight"};
    for (const std::string& word : words) {
        inputs.push_back(legacy(word));
    }
    inputs.push_back(large);

    joinDocuments(engine, inputs, output, {});

    // The next documents may start before it; none of those the join reaches only later.
    const auto& started = converter->started;
    EXPECT_LT(std::find(started.begin(), started.end(), "large") - started.begin(), 3);
    words.push_back("large");
    words.push_back("");
    EXPECT_EQ(Written(output).paragraphs(), words);
}

TEST_F(BackgroundConversion, AFailingDocumentLeavesTheDocumentsBeforeItAndNoConversionRunning) {
    converter->exportDelay = 150ms;
    const std::vector<std::string> inputs{legacy("one"), legacy("two"), legacy("damaged"),
                                          legacy("four")};

    EXPECT_THROW(joinDocuments(engine, inputs, output, {}), WordError);
    EXPECT_NO_THROW(engine.waitForSaves());

    EXPECT_EQ(converter->running.load(), 0);
    const int exports = converter->exports.load();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(converter->exports.load(), exports) << "nothing converts after the wait";
    EXPECT_EQ(Written(output).paragraphs(), (std::vector<std::string>{"one", "two", ""}));
}

TEST_F(BackgroundConversion, AListBeingMadeStartsTheConverterOnlyForDocumentsThatNeedIt) {
    const std::string pipe = (dir / "pipe.doc").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string native = write("native.docx", DocDraft{});
    const auto preparedAfter = [&](const std::vector<std::string>& paths) {
        converter->prepared = 0;
        engine.prepareFor(paths);
        for (int i = 0; i < 100 && converter->prepared == 0; ++i) {
            std::this_thread::sleep_for(20ms);
        }
        return converter->prepared.load();
    };

    EXPECT_EQ(preparedAfter({native, pipe, native}), 0U)
        << "a pipe is not read, a package needs none";
    EXPECT_EQ(preparedAfter({pipe, legacy("one"), native, legacy("two")}), 2U);
    EXPECT_EQ(preparedAfter({legacy("a"), legacy("b"), legacy("c"), legacy("d"), legacy("e")}), 3U)
        << "no more than it converts at once";
    EXPECT_TRUE(converter->started.empty()) << "nothing is converted before the join";
}

TEST_F(BackgroundConversion, AJoinConvertsItsOutputTwiceTheFirstSaveAndTheLast) {
    converter->exportDelay = 100ms;
    const std::vector<std::string> inputs{legacy("one"), legacy("two"), legacy("three"),
                                          legacy("four"), legacy("five")};

    joinDocuments(engine, inputs, output, {});
    engine.waitForSaves();

    EXPECT_EQ(converter->exports.load(), 2) << "a save a newer one supersedes is not converted";
    EXPECT_EQ(Written(output).paragraphs(),
              (std::vector<std::string>{"one", "two", "three", "four", "five", ""}));
}

TEST_F(BackgroundConversion, AnOutputThatCannotBeWrittenInTheBackgroundFailsTheJoin) {
    converter->failExportsFrom = 2; // the first save, written before SaveAs returns, succeeds
    const std::vector<std::string> inputs{legacy("one"), legacy("two"), legacy("three")};

    // The failure shows at the next Open of the output, or at the wait when the join is ahead.
    std::string failure;
    for (const auto& step :
         {std::function<void()>([&] { joinDocuments(engine, inputs, output, {}); }),
          std::function<void()>([&] { engine.waitForSaves(); })}) {
        try {
            step();
        } catch (const WordError& error) {
            failure = error.userMessage();
        }
    }
    EXPECT_EQ(failure, "Cannot save " + output + ": the disk is full.");
    EXPECT_EQ(Written(output).paragraphs(), (std::vector<std::string>{"one", ""}));
    EXPECT_NO_THROW(engine.waitForSaves()) << "a failure is reported once";
}

} // namespace
} // namespace paperloom::engine::testing
