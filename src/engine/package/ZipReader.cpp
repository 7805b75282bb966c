// libzip-based package reader; every libzip error is turned into a PackageError in zipFailure().
#include "engine/package/ZipReader.h"

#include "engine/package/AsciiText.h"

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <set>

namespace paperloom::engine {
namespace {

/// The one place where libzip's error codes become our errors.
[[noreturn]] void zipFailure(zip_error_t* error, const std::string& where) {
    const int code = zip_error_code_zip(error);
    std::string reason = "the document is damaged";
    if (code == ZIP_ER_NOENT) {
        reason = "the file does not exist";
    } else if (code == ZIP_ER_OPEN || code == ZIP_ER_READ) {
        reason = "the file cannot be read";
    } else if (code == ZIP_ER_NOZIP) {
        // Only files that start like a zip get here: one without a directory is cut short.
        reason = "the document is damaged (the file is incomplete)";
    } else if (code == ZIP_ER_ENCRNOTSUPP || code == ZIP_ER_NOPASSWD ||
               code == ZIP_ER_WRONGPASSWD) {
        reason = "the document is encrypted";
    } else if (code == ZIP_ER_MEMORY) {
        reason = "there is not enough memory to open it";
    }
    const std::string detail = where + ": " + zip_error_strerror(error);
    zip_error_fini(error);
    throw PackageError(reason, detail);
}

[[noreturn]] void zipFailure(int code, const std::string& where) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    zipFailure(&error, where);
}

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct FileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

} // namespace

Package readZipPackage(const std::string& path, const PackageLimits& limits,
                       const std::function<bool(std::string_view)>& wanted) {
    struct stat onDisk {};
    if (::stat(path.c_str(), &onDisk) != 0) {
        zipFailure(ZIP_ER_NOENT, "stat");
    }
    const auto fileSize = static_cast<std::uint64_t>(onDisk.st_size);
    if (fileSize > limits.maxFileSize) {
        throw PackageError("the document is too large to open", std::to_string(fileSize));
    }
    // No ZIP_CHECKCONS: it refuses packages whose local headers say less than the central
    // directory (data descriptors, local extra fields of their own), which every reader opens.
    // The central directory is what counts; below, its sizes must fit in the file, and each
    // part's checksum and length are checked when it is inflated.
    int errorCode = 0;
    std::unique_ptr<zip_t, ArchiveCloser> archive(zip_open(path.c_str(), ZIP_RDONLY, &errorCode));
    if (!archive) {
        zipFailure(errorCode, "zip_open");
    }
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count < 0) {
        zipFailure(zip_get_error(archive.get()), "zip_get_num_entries");
    }
    if (static_cast<std::uint64_t>(count) > limits.maxEntries) {
        throw PackageError("the document has too many parts", std::to_string(count) + " entries");
    }
    Package package;
    package.limits = limits;
    std::set<std::string> seen;
    std::uint64_t totalStored = 0;
    for (zip_int64_t index = 0; index < count; ++index) {
        const auto entry = static_cast<zip_uint64_t>(index);
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive.get(), entry, 0, &st) != 0) {
            zipFailure(zip_get_error(archive.get()), "zip_stat_index");
        }
        const std::string name = (st.valid & ZIP_STAT_NAME) != 0 ? st.name : "";
        if ((!name.empty() && name.back() == '/') || (wanted && !wanted(name))) {
            continue; // a folder entry, or one the caller does not look at
        }
        if (!isSafePartName(name)) {
            throw PackageError("the document is damaged (a part name leaves the package)", name);
        }
        if (!seen.insert(asciiLower(name)).second) {
            throw PackageError("the document is damaged (a part occurs twice)", name);
        }
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && st.encryption_method != ZIP_EM_NONE) {
            throw PackageError("the document is encrypted", name);
        }
        if (st.comp_method != ZIP_CM_STORE && st.comp_method != ZIP_CM_DEFLATE) {
            throw PackageError("the document uses a compression this program does not read",
                               name + ": method " + std::to_string(st.comp_method));
        }
        if (st.size > limits.maxPartSize) {
            throw PackageError("a part of it is too large to open", name);
        }
        if (st.comp_method == ZIP_CM_STORE && st.comp_size != st.size) {
            throw PackageError("the document is damaged", name + ": stored sizes differ");
        }
        totalStored += st.comp_size;
        // Sizes come from the archive itself: together they cannot exceed the file, and entries
        // that share their data would otherwise multiply what the file holds.
        if (totalStored > fileSize) {
            throw PackageError("the document is damaged (its sizes do not add up)",
                               name + ": " + std::to_string(totalStored) + " stored bytes in a " +
                                   std::to_string(fileSize) + "-byte file");
        }
        std::unique_ptr<zip_file_t, FileCloser> file(
            zip_fopen_index(archive.get(), entry, ZIP_FL_COMPRESSED));
        if (!file) {
            zipFailure(zip_get_error(archive.get()), "zip_fopen_index " + name);
        }
        std::string data(st.comp_size, '\0');
        zip_uint64_t done = 0;
        while (done < st.comp_size) {
            const zip_int64_t got = zip_fread(file.get(), data.data() + done, st.comp_size - done);
            if (got < 0) {
                zipFailure(zip_file_get_error(file.get()), "zip_fread " + name);
            }
            if (got == 0) {
                throw PackageError("the document is damaged (it ends early)", name);
            }
            done += static_cast<zip_uint64_t>(got);
        }
        const auto method =
            st.comp_method == ZIP_CM_STORE ? PartData::Method::Stored : PartData::Method::Deflated;
        package.parts.emplace(name, PartData::fromZip(method, std::move(data), st.crc, st.size));
    }
    return package;
}

} // namespace paperloom::engine
