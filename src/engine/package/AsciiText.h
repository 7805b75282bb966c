// Names that compare without regard to case: part names, extensions, style names, item ids.
#pragma once

#include <string>
#include <string_view>

namespace paperloom::engine {

/// text with A-Z as a-z; every other byte (UTF-8 sequences included) as it is, whatever the
/// program's locale.
inline std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

/// Whether text starts with prefix, A-Z and a-z counting as the same.
inline bool startsWithAsciiNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           asciiLower(text.substr(0, prefix.size())) == asciiLower(prefix);
}

} // namespace paperloom::engine
