// Replacing a file whole or not at all: a temporary beside it, renamed over it at the end.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "word/WordError.h"

namespace paperloom::engine {

class TemporaryRecord;

/// A file that cannot be written, caught apart where the failure is reported as a failure of
/// the output. reason is a sentence fragment ("the folder does not exist"); the operation that
/// meets it adds the file it was saving.
class WriteError : public WordError {
public:
    WriteError(std::string reason, std::string detail)
        : WordError(FailureKind::Write, std::move(reason),
                    FailureContext{{}, {}, std::nullopt, std::move(detail)}) {}
    WriteError(std::string reason, FailureContext context)
        : WordError(FailureKind::Write, std::move(reason), std::move(context)) {}
};

/// True when name (without a folder) is that of a temporary a ReplacementFile makes beside its
/// target: ".NAME." and random letters and digits.
[[nodiscard]] bool isReplacementTemporaryName(std::string_view name);

/// What writing failed with, as a sentence fragment ("the disk is full").
[[nodiscard]] std::string writeFailureReason(int error);

/// "a folder", "a named pipe", "a device", "a socket" for a file system entry that is not a
/// regular file (nor a symbolic link); empty for a regular file.
[[nodiscard]] std::string nonRegularKind(mode_t mode);

/// 0 when a file of bytes bytes can be written in folder right now; otherwise the error that
/// writing one fails with (ENOSPC for a full disk, EFBIG over a file size limit, EACCES, ...).
/// Writes and removes a file of at most 16 MiB to find out. For explaining a failure that
/// another program reported without its cause.
[[nodiscard]] int writeProbe(const std::string& folder, std::uint64_t bytes);

/// Where writing to path really writes: path itself, or, when path is a symbolic link (or a
/// chain of them), the file the link leads to, which need not exist yet. Links are kept, as
/// editors keep them. Throws WriteError when the links go round in a loop.
[[nodiscard]] std::string replacementTarget(const std::string& path);

/// Who may read a new file: what the process's umask allows, or its owner only.
enum class FileAccess { Umask, OwnerOnly };

/// A new version of the file at path, written to a temporary file in the target's folder and
/// renamed over the target by commit(), so the target holds either its old content or all of
/// the new. The target is replacementTarget(path); a target that is a folder, a device, a named
/// pipe or a socket is refused, never replaced. The temporary, named ".NAME.XXXXXX" (NAME cut
/// short when the folder's name length limit needs it), is removed unless committed, and is on
/// record (TemporaryRecord) while it exists, so that a kill does not leave it for good. An
/// existing target's permissions carry over. Every failure throws WriteError.
class ReplacementFile {
public:
    explicit ReplacementFile(const std::string& path, FileAccess access = FileAccess::Umask);
    /// Removes the temporary unless commit() succeeded.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    /// Appends bytes to the temporary.
    void write(std::string_view bytes);
    /// Appends the whole content of the file at sourcePath to the temporary.
    void copyFrom(const std::string& sourcePath);
    /// Closes the temporary and renames it over the target.
    void commit();

    /// The file that commit() replaces.
    [[nodiscard]] const std::string& target() const { return m_target; }
    /// The temporary being written.
    [[nodiscard]] const std::string& temporary() const { return m_temporary; }

private:
    [[noreturn]] void fail(int error, const std::string& where);
    void discard() noexcept;

    std::string m_target;
    std::string m_temporary;
    std::unique_ptr<TemporaryRecord> m_record;
    mode_t m_mode = 0600;
    int m_fd = -1;
    bool m_committed = false;
};

} // namespace paperloom::engine
