// Part storage and part-name arithmetic of OOXML packages.
#include "engine/package/Package.h"

#include "engine/package/AsciiText.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace paperloom::engine {

std::shared_ptr<const PartData> PartData::fromZip(Method method, std::string data,
                                                  std::uint32_t crc, std::uint64_t size) {
    auto part = std::make_shared<PartData>();
    part->m_method = method;
    part->m_blob = std::move(data);
    part->m_crc = crc;
    part->m_size = size;
    return part;
}

std::shared_ptr<const PartData> PartData::fromPieces(std::vector<PiecePtr> pieces) {
    auto part = std::make_shared<PartData>();
    part->m_method = Method::Deflated;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    for (const auto& piece : pieces) {
        crc = size == 0 ? piece->crc : crcCombine(crc, piece->crc, piece->size);
        size += piece->size;
    }
    part->m_crc = crc;
    part->m_size = size;
    part->m_pieces = std::move(pieces);
    if (part->m_pieces.empty()) {
        part->m_pieces.push_back(deflatePiece({}));
    }
    return part;
}

std::shared_ptr<const PartData> PartData::fromText(std::string_view text) {
    return fromPieces({deflatePiece(text)});
}

std::uint64_t PartData::compressedSize() const noexcept {
    std::uint64_t total = 0;
    forEachStoredRun([&](std::string_view run) { total += run.size(); });
    return total;
}

void PartData::checkLimits(const std::string& partName, const PackageLimits& limits) const {
    if (m_size > limits.maxPartSize) {
        throw PackageError("a part of it is too large to open", partName);
    }
    const std::uint64_t stored = compressedSize();
    if (m_size > limits.ratioFloor &&
        m_size / std::max<std::uint64_t>(stored, 1) > limits.maxInflateRatio) {
        throw PackageError("a part of it expands to an implausible size (a zip bomb?)", partName);
    }
}

void PartData::inflateInto(char* out, const std::string& partName,
                           const PackageLimits& limits) const {
    checkLimits(partName, limits);
    std::string reason;
    if (m_method == Method::Stored) {
        if (m_blob.size() != m_size) {
            throw PackageError("the document is damaged", partName + ": wrong length");
        }
        std::copy(m_blob.begin(), m_blob.end(), out);
    } else if (m_pieces.empty()) {
        if (!inflateRawInto(m_blob, out, m_size, reason)) {
            throw PackageError("the document is damaged", partName + ": " + reason);
        }
    } else {
        std::string stream;
        forEachStoredRun([&](std::string_view run) { stream.append(run); });
        if (!inflateRawInto(stream, out, m_size, reason)) {
            throw PackageError("the document is damaged", partName + ": " + reason);
        }
    }
    if (crcOf(std::string_view(out, m_size)) != m_crc) {
        throw PackageError("the document is damaged", partName + ": checksum mismatch");
    }
}

std::string PartData::text(const std::string& partName, const PackageLimits& limits) const {
    checkLimits(partName, limits);
    std::string out;
    if (m_method == Method::Stored) {
        out = m_blob;
    } else {
        std::string stream;
        const std::string* source = &m_blob;
        if (!m_pieces.empty()) {
            forEachStoredRun([&](std::string_view run) { stream.append(run); });
            source = &stream;
        }
        std::string reason;
        if (!inflateRaw(*source, m_size, out, reason)) {
            throw PackageError("the document is damaged", partName + ": " + reason);
        }
    }
    if (out.size() != m_size) {
        throw PackageError("the document is damaged", partName + ": wrong length");
    }
    if (crcOf(out) != m_crc) {
        throw PackageError("the document is damaged", partName + ": checksum mismatch");
    }
    return out;
}

bool PartData::sameContent(const PartData& other) const {
    if (m_size != other.m_size || m_crc != other.m_crc || m_method != other.m_method) {
        return false;
    }
    if (m_pieces.empty() && other.m_pieces.empty()) {
        return m_blob == other.m_blob;
    }
    std::string a;
    std::string b;
    forEachStoredRun([&](std::string_view run) { a.append(run); });
    other.forEachStoredRun([&](std::string_view run) { b.append(run); });
    return a == b;
}

const PartData* Package::find(const std::string& name) const {
    const auto it = parts.find(name);
    return it == parts.end() ? nullptr : it->second.get();
}

std::string Package::text(const std::string& name) const {
    const PartData* part = find(name);
    if (part == nullptr) {
        throw PackageError("the document is damaged (a part is missing)", name);
    }
    return part->text(name, limits);
}

std::string relsPartName(const std::string& partName) {
    const auto slash = partName.rfind('/');
    if (slash == std::string::npos) {
        return "_rels/" + partName + ".rels";
    }
    return partName.substr(0, slash + 1) + "_rels/" + partName.substr(slash + 1) + ".rels";
}

std::string partFolder(const std::string& partName) {
    const auto slash = partName.rfind('/');
    return slash == std::string::npos ? std::string() : partName.substr(0, slash + 1);
}

namespace {

/// Relationship targets are URIs: "%20" in a target is a space in the part name.
std::string percentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) != 0 &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2])) != 0) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string percentEncoded(const std::string& name) {
    std::string out;
    for (const char c : name) {
        if (c == ' ' || c == '%' || c == '#' || c == '?') {
            static const char* const kHex = "0123456789ABCDEF";
            out += '%';
            out += kHex[(static_cast<unsigned char>(c) >> 4) & 0xF];
            out += kHex[static_cast<unsigned char>(c) & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::string resolvePartName(const std::string& sourcePart, const std::string& encodedTarget) {
    const std::string target = percentDecoded(encodedTarget);
    std::string path;
    if (!target.empty() && target.front() == '/') {
        path = target.substr(1);
    } else {
        path = partFolder(sourcePart) + target;
    }
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string segment = path.substr(start, end - start);
        if (segment == "..") {
            if (segments.empty()) {
                throw PackageError("the document is damaged (a reference leaves the package)",
                                   sourcePart + " -> " + target);
            }
            segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string out;
    for (const auto& segment : segments) {
        if (!out.empty()) {
            out += '/';
        }
        out += segment;
    }
    return out;
}

std::string relativeTarget(const std::string& fromPart, const std::string& toPart) {
    const std::string folder = partFolder(fromPart);
    if (!folder.empty() && toPart.compare(0, folder.size(), folder) == 0) {
        return percentEncoded(toPart.substr(folder.size()));
    }
    return "/" + percentEncoded(toPart);
}

bool isSafePartName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.find('\\') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos) {
        return false;
    }
    std::size_t start = 0;
    while (start < name.size()) {
        auto end = name.find('/', start);
        if (end == std::string_view::npos) {
            end = name.size();
        }
        const auto segment = name.substr(start, end - start);
        if (segment.empty() || segment == "." || segment == "..") {
            return false;
        }
        start = end + 1;
    }
    return name.back() != '/';
}

bool isMarkupPartName(std::string_view name) {
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        return false;
    }
    const std::string extension = asciiLower(name.substr(dot + 1));
    return extension == "xml" || extension == "rels";
}

} // namespace paperloom::engine
