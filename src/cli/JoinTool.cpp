// Argument parsing, progress bar and outcome of paperloom-join.
#include "cli/JoinTool.h"

#include <cmath>
#include <optional>
#include <string_view>

#include "join/JoinCommand.h"

namespace paperloom::cli {
namespace {

struct Request {
    bool landscape = false;
    bool pageBreaks = false;
    std::string output;
    std::vector<std::string> inputs;
};

// The tool's own window: the arguments are the list, the bar is drawn on the error stream.
class ToolWindow final : public FixedJoinWindow {
public:
    ToolWindow(const Request& request, std::ostream& err, bool showProgress)
        : FixedJoinWindow(request.inputs, request.pageBreaks, request.landscape), m_err(err),
          m_showProgress(showProgress) {}

    void setProgress(float value) override {
        if (!m_showProgress) {
            return;
        }
        constexpr int kWidth = 40;
        const auto filled = static_cast<int>(std::lround(value / 100.0F * kWidth));
        m_err << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] "
              << std::lround(value) << "%" << std::flush;
        m_drawn = true;
    }

    /// Ends the bar's line so that what follows starts on a line of its own.
    void finishProgress() {
        if (m_drawn) {
            m_err << "\n" << std::flush;
            m_drawn = false;
        }
    }

private:
    std::ostream& m_err;
    bool m_showProgress;
    bool m_drawn = false;
};

// --help: the usage line, the options and the formats by extension of the names.
constexpr const char* kHelp =
    "\n"
    "Joins the INPUT documents, in the order given, into one new document OUTPUT, replacing\n"
    "OUTPUT when it exists.\n"
    "\n"
    "  --landscape    set up the joined document's pages in landscape, not portrait\n"
    "  --page-breaks  put a page break between the documents\n"
    "  --help         print this help and exit\n"
    "  --version      print the version and exit\n"
    "  --             end of options: later arguments are file names\n"
    "\n"
    "OUTPUT is written in the format its extension names:\n"
    "  .docx .docm .dotx .dotm, or any other  Word (Office Open XML)\n"
    "  .doc .dot                              Word 97-2003 (needs LibreOffice)\n"
    "  .rtf                                   RTF (needs LibreOffice)\n"
    "  .odt                                   OpenDocument text (needs LibreOffice)\n"
    "  .pdf                                   PDF (needs LibreOffice)\n"
    "INPUT documents are recognised by their content, whatever their extension: Word\n"
    "(Office Open XML) directly; Word 97-2003, RTF and OpenDocument text through LibreOffice\n"
    "(Debian package libreoffice-writer-nogui).\n"
    "\n"
    "Exit status: 0 joined, 1 the join failed (the reason is printed; OUTPUT then holds the\n"
    "documents before the one that failed, or is not written), 2 wrong usage.\n";

int usageError(std::ostream& err, const std::string& problem) {
    err << "paperloom-join: " << problem << "\n" << kUsage << "\n";
    return kUsageError;
}

// The failure text, with its paragraph breaks as line breaks.
std::string asLines(std::string text) {
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            lines.push_back(text[i]);
        } else if (i + 1 >= text.size() || text[i + 1] != '\r') {
            lines.push_back('\n');
        }
    }
    return lines;
}

} // namespace

int runJoinTool(const std::vector<std::string>& arguments, WordAutomation& automation,
                std::ostream& out, std::ostream& err, bool showProgress) {
    Request request;
    std::vector<std::string> names;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument == "--landscape") {
            request.landscape = true;
        } else if (!optionsEnded && argument == "--page-breaks") {
            request.pageBreaks = true;
        } else if (!optionsEnded && (argument == "--help" || argument == "-h")) {
            out << kUsage << "\n" << kHelp;
            return kJoined;
        } else if (!optionsEnded && argument == "--version") {
            out << "paperloom-join " << PAPERLOOM_VERSION << "\n";
            return kJoined;
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            return usageError(err, "unknown option " + argument);
        } else if (argument.empty()) {
            return usageError(err, "a file name is empty");
        } else {
            names.push_back(argument);
        }
    }
    if (names.size() < 2) {
        return usageError(err, "an output file and at least one input file are needed");
    }
    request.output = names.front();
    request.inputs.assign(names.begin() + 1, names.end());
    const std::string special = specialFileKind(request.output);
    if (!special.empty()) {
        return usageError(err,
                          "the output file " + request.output + " is " + special + ", not a file");
    }
    for (const std::string& input : request.inputs) {
        if (isSameFile(input, request.output)) {
            return usageError(err, "the output file " + request.output +
                                       " is also one of the input files");
        }
    }

    ToolWindow window(request, err, showProgress);
    const std::optional<JoinFailure> failure = joinEntries(automation, window, request.output);
    window.finishProgress();
    if (failure) {
        err << "paperloom-join: " << asLines(failure->message) << "\n";
        return kJoinFailed;
    }
    return kJoined;
}

} // namespace paperloom::cli
