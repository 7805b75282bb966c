// Messages between the office bridge and its converter process: lists of strings on a socket.
#pragma once

#include <sys/types.h>

#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace paperloom::engine::office {

/// One message: a list of fields, sent as a 32-bit field count followed by each field as a
/// 32-bit length and its bytes (host byte order: both ends run on the same machine).
using Message = std::vector<std::string>;

/// Fields and counts beyond these are refused, so a confused peer cannot make us allocate
/// without bound.
inline constexpr std::uint32_t kMaxFields = 16;
inline constexpr std::uint32_t kMaxFieldBytes = 1u << 20;

/// The file descriptor the converter process talks on (a socket inherited from the bridge).
inline constexpr int kConverterFd = 3;

/// Writes all of bytes through writeSome (a write(2)-like call taking data and size), going on
/// after interruptions. False when the other end has gone.
template <typename WriteSome> bool writeFully(const std::string& bytes, WriteSome writeSome) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = writeSome(bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

/// Request verbs and reply kinds.
inline constexpr const char* kReady = "ready";
inline constexpr const char* kConvert = "convert"; // convert, input path, output path, format
inline constexpr const char* kOk = "ok";
inline constexpr const char* kFailed = "failed"; // failed, reason, detail

/// Reasons a conversion or the start fails, as the converter reports them.
inline constexpr const char* kReasonStart = "start";      // LibreOffice could not start
inline constexpr const char* kReasonLoad = "load";        // the input could not be read
inline constexpr const char* kReasonNotText = "not-text"; // the input is not a text document
inline constexpr const char* kReasonSave = "save";        // the output could not be written
inline constexpr const char* kReasonRequest = "request";  // a malformed request
// The document needs the UNO-driven soffice, which this process does not run (kUnoElsewhere).
inline constexpr const char* kReasonElsewhere = "elsewhere";

/// The start of the name of every private profile folder the bridge makes; a process scan
/// recognises our office processes by it on their command line.
inline constexpr const char* kProfilePrefix = "paperloom-office-profile-";

/// The converter's optional last argument, for the bridge's further processes: run no UNO-driven
/// soffice at all and answer a document that needs one with kReasonElsewhere, so that the first
/// process, whose soffice is warm, converts it instead of this one starting another.
inline constexpr const char* kUnoElsewhere = "--uno-elsewhere";

/// The folder, inside the converter's profile folder, of the profile of its UNO-driven soffice.
inline constexpr const char* kUnoProfile = "uno";

/// The file in a LibreOffice profile of ours that lists the sockets its soffice makes in /tmp
/// (paperloom-convert-uno writes it before soffice starts).
inline constexpr const char* kSocketList = "office-sockets";

/// The name paperloom-convert-uno gives the pipe its soffice accepts on, followed by its own
/// process id; soffice makes it as /tmp/OSL_PIPE_<uid>_<name>.
inline constexpr const char* kUnoPipePrefix = "paperloom-uno-";

/// A file URL for an absolute path, every byte outside the unreserved set percent-encoded.
[[nodiscard]] inline std::string fileUrl(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string url = "file://";
    for (const char byte : path) {
        const auto c = static_cast<unsigned char>(byte);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            url += byte;
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

/// The path of a file URL made by fileUrl (the reverse of it).
[[nodiscard]] inline std::string filePathOf(const std::string& url) {
    const std::string scheme = "file://";
    std::string path;
    const auto hexValue = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c - 'a' + 10;
    };
    for (std::size_t i = url.rfind(scheme, 0) == 0 ? scheme.size() : 0; i < url.size(); ++i) {
        if (url[i] == '%' && i + 2 < url.size() &&
            std::isxdigit(static_cast<unsigned char>(url[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(url[i + 2]))) {
            path += static_cast<char>(hexValue(url[i + 1]) * 16 + hexValue(url[i + 2]));
            i += 2;
        } else {
            path += url[i];
        }
    }
    return path;
}

/// The bytes that carry message.
[[nodiscard]] inline std::string encodeMessage(const Message& message) {
    std::string out;
    const auto put = [&out](std::uint32_t value) {
        out.append(reinterpret_cast<const char*>(&value), sizeof value);
    };
    put(static_cast<std::uint32_t>(message.size()));
    for (const auto& field : message) {
        put(static_cast<std::uint32_t>(field.size()));
        out += field;
    }
    return out;
}

/// Decodes one message from the front of buffer and removes its bytes. Returns nothing when
/// the buffer does not hold a whole message yet; sets malformed when it never will.
[[nodiscard]] inline std::optional<Message> takeMessage(std::string& buffer, bool& malformed) {
    malformed = false;
    std::size_t at = 0;
    const auto get = [&](std::uint32_t& value) {
        if (buffer.size() - at < sizeof value) {
            return false;
        }
        value = 0;
        for (std::size_t i = 0; i < sizeof value; ++i) {
            reinterpret_cast<unsigned char*>(&value)[i] =
                static_cast<unsigned char>(buffer[at + i]);
        }
        at += sizeof value;
        return true;
    };
    std::uint32_t count = 0;
    if (!get(count)) {
        return std::nullopt;
    }
    if (count > kMaxFields) {
        malformed = true;
        return std::nullopt;
    }
    Message message;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t length = 0;
        if (!get(length)) {
            return std::nullopt;
        }
        if (length > kMaxFieldBytes) {
            malformed = true;
            return std::nullopt;
        }
        if (buffer.size() - at < length) {
            return std::nullopt;
        }
        message.emplace_back(buffer, at, length);
        at += length;
    }
    buffer.erase(0, at);
    return message;
}

} // namespace paperloom::engine::office
