// The /proc scan for a word processor of the user's own.
#include "platform/RunningWordProcessor.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

namespace paperloom::engine {
namespace {

namespace fs = std::filesystem;

// The kernel keeps at most 15 characters of a command name.
constexpr std::size_t kCommLength = 15;
// Bounds for files and chains that a process could make absurdly large or circular.
constexpr std::size_t kMaxFileBytes = 1 << 20;
constexpr int kMaxAncestors = 4096;

struct Product {
    std::string_view program;
    std::string_view name;
    bool ignoreCase;
};

constexpr std::array kProducts{
    Product{"soffice.bin", "LibreOffice", false},
    Product{"soffice", "LibreOffice", false},
    Product{"abiword", "AbiWord", false},
    Product{"calligrawords", "Calligra Words", false},
    Product{"DesktopEditors", "ONLYOFFICE", false},
    Product{"wps", "WPS Writer", false},
    Product{"winword.exe", "Word under Wine", true},
};

std::optional<std::string> readSmallFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string text;
    std::array<char, 4096> buffer{};
    while (text.size() < kMaxFileBytes && in.read(buffer.data(), buffer.size()).gcount() > 0) {
        text.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return text;
}

std::optional<long> parseNumber(std::string_view text) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data()) {
        return std::nullopt;
    }
    return value;
}

// The real uid from the "Uid:" line of a status file (real, effective, saved, file system).
std::optional<long> realUid(std::string_view status) {
    constexpr std::string_view kKey = "Uid:";
    std::size_t begin = 0;
    while (begin < status.size()) {
        std::size_t end = status.find('\n', begin);
        if (end == std::string_view::npos) {
            end = status.size();
        }
        std::string_view line = status.substr(begin, end - begin);
        if (line.starts_with(kKey)) {
            line.remove_prefix(kKey.size());
            while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
                line.remove_prefix(1);
            }
            return parseNumber(line);
        }
        begin = end + 1;
    }
    return std::nullopt;
}

// The state and parent from a stat file. The command name in parentheses may hold spaces and
// parentheses of its own, so the fields are counted from the last closing one.
struct Stat {
    char state = '?';
    long parent = 0;
};

std::optional<Stat> parseStat(const std::string& stat) {
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 4 > stat.size()) {
        return std::nullopt;
    }
    Stat result;
    result.state = stat[close + 2];
    const std::optional<long> parent = parseNumber(std::string_view(stat).substr(close + 4));
    if (!parent) {
        return std::nullopt;
    }
    result.parent = *parent;
    return result;
}

std::string baseName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool sameName(std::string_view a, std::string_view b, bool ignoreCase) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [ignoreCase](char x, char y) {
        return ignoreCase ? std::tolower(static_cast<unsigned char>(x)) ==
                                std::tolower(static_cast<unsigned char>(y))
                          : x == y;
    });
}

std::vector<std::string> splitArguments(const std::string& cmdline) {
    std::vector<std::string> arguments;
    std::size_t begin = 0;
    while (begin < cmdline.size()) {
        std::size_t end = cmdline.find('\0', begin);
        if (end == std::string::npos) {
            end = cmdline.size();
        }
        arguments.push_back(cmdline.substr(begin, end - begin));
        begin = end + 1;
    }
    return arguments;
}

class ProcessReader {
public:
    explicit ProcessReader(const ProcessScan& scan) : m_scan(scan) {}

    std::optional<FoundWordProcessor> examine(long pid) const {
        const fs::path dir = fs::path(m_scan.procRoot) / std::to_string(pid);
        const std::optional<std::string> status = readSmallFile(dir / "status");
        if (!status || realUid(*status) != static_cast<long>(m_scan.uid)) {
            return std::nullopt;
        }
        const std::optional<std::string> stat = readSmallFile(dir / "stat");
        const std::optional<Stat> parsed = stat ? parseStat(*stat) : std::nullopt;
        if (!parsed || parsed->state == 'Z' || parsed->state == 'X') {
            return std::nullopt;
        }
        const std::vector<std::string> arguments =
            splitArguments(readSmallFile(dir / "cmdline").value_or(std::string()));
        const std::optional<std::string_view> product = productOf(dir, arguments);
        if (!product || isOurs(arguments, parsed->parent)) {
            return std::nullopt;
        }
        return FoundWordProcessor{static_cast<int>(pid), std::string(*product)};
    }

private:
    static std::optional<std::string_view> productOf(const fs::path& dir,
                                                     const std::vector<std::string>& arguments) {
        std::string comm = readSmallFile(dir / "comm").value_or(std::string());
        if (!comm.empty() && comm.back() == '\n') {
            comm.pop_back();
        }
        std::error_code error;
        std::string exe = baseName(fs::read_symlink(dir / "exe", error).string());
        constexpr std::string_view kDeleted = " (deleted)";
        if (exe.ends_with(kDeleted)) {
            exe.resize(exe.size() - kDeleted.size());
        }
        const std::string first = arguments.empty() ? std::string() : baseName(arguments[0]);
        for (const Product& product : kProducts) {
            const std::string_view truncated = product.program.substr(0, kCommLength);
            if ((!comm.empty() && sameName(comm, truncated, product.ignoreCase)) ||
                (!exe.empty() && sameName(exe, product.program, product.ignoreCase)) ||
                (!first.empty() && sameName(first, product.program, product.ignoreCase))) {
                return product.name;
            }
        }
        return std::nullopt;
    }

    // An office process of ours: one we started (our descendant) or one that runs with our
    // private profile.
    bool isOurs(const std::vector<std::string>& arguments, long parent) const {
        constexpr std::string_view kProfileOption = "-env:UserInstallation=";
        for (const std::string& argument : arguments) {
            if (argument.starts_with(kProfileOption) && !m_scan.ownProfilePrefix.empty() &&
                argument.find(m_scan.ownProfilePrefix) != std::string::npos) {
                return true;
            }
        }
        for (int step = 0; step < kMaxAncestors && parent > 0; ++step) {
            if (parent == m_scan.selfPid) {
                return true;
            }
            if (parent == 1) {
                return false;
            }
            const std::optional<std::string> stat =
                readSmallFile(fs::path(m_scan.procRoot) / std::to_string(parent) / "stat");
            const std::optional<Stat> parsed = stat ? parseStat(*stat) : std::nullopt;
            if (!parsed) {
                return false;
            }
            parent = parsed->parent;
        }
        return false;
    }

    const ProcessScan& m_scan;
};

// What a found word processor answers through the automation interface: its name, and a
// refusal for everything else, since the join never works in the user's own window.
class RunningApplication final : public WordApplication {
public:
    std::string Name() override { return kWordApplicationName; }
    void setDisplayAlerts(bool) override { refuse(); }
    WordDocuments& Documents() override { refuse(); }
    WordSelection& Selection() override { refuse(); }
    WordDocument& ActiveDocument() override { refuse(); }
    void Quit() override { refuse(); }

private:
    [[noreturn]] static void refuse() {
        throw WordError("Paperloom does not work in a word processor that is already open.",
                        "operation on a running word processor");
    }
};

} // namespace

ProcessScan currentProcessScan(const std::string& ownProfilePrefix) {
    return ProcessScan{"/proc", static_cast<unsigned>(::getuid()), static_cast<int>(::getpid()),
                       ownProfilePrefix};
}

namespace {

std::vector<FoundWordProcessor> scanProcesses(const ProcessScan& scan, bool firstOnly) {
    std::vector<FoundWordProcessor> found;
    try {
        std::error_code error;
        fs::directory_iterator entry(scan.procRoot, error);
        const ProcessReader reader(scan);
        for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
            const std::string name = entry->path().filename().string();
            if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) {
                    return std::isdigit(static_cast<unsigned char>(c)) != 0;
                })) {
                continue;
            }
            const std::optional<long> pid = parseNumber(name);
            if (!pid || *pid == scan.selfPid) {
                continue;
            }
            if (std::optional<FoundWordProcessor> one = reader.examine(*pid)) {
                found.push_back(std::move(*one));
                if (firstOnly) {
                    break;
                }
            }
        }
    } catch (...) {
        // Memory running out or a path the library cannot handle: what was found so far.
    }
    return found;
}

} // namespace

std::optional<FoundWordProcessor> findRunningWordProcessor(const ProcessScan& scan) {
    std::vector<FoundWordProcessor> found = scanProcesses(scan, true);
    if (found.empty()) {
        return std::nullopt;
    }
    return std::move(found.front());
}

std::vector<FoundWordProcessor> findRunningWordProcessors(const ProcessScan& scan) {
    return scanProcesses(scan, false);
}

std::unique_ptr<WordApplication> findRunningWordProcessorInstance(const ProcessScan& scan) {
    if (!findRunningWordProcessor(scan)) {
        return nullptr;
    }
    return std::make_unique<RunningApplication>();
}

} // namespace paperloom::engine
