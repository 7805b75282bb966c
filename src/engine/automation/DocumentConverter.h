// The seam for formats the engine does not read or write itself (legacy Word, RTF, ODF, PDF).
#pragma once

#include <cstddef>
#include <string>

namespace paperloom::engine {

/// Converts between other document formats and WordprocessingML packages, for example by
/// running an office suite headless. Implementations throw paperloom::WordError with a sentence
/// for the user when a conversion fails. The engine calls them from threads of its own (never
/// from more threads at once than parallelConversions() says), so that conversions go on while
/// the documents are worked on.
class DocumentConverter {
public:
    virtual ~DocumentConverter() = default;
    /// Writes a WordprocessingML package at packagePath with the content of inputPath.
    virtual void toWordPackage(const std::string& inputPath, const std::string& packagePath) = 0;
    /// Writes outputPath, in the format its name asks for, from the package at packagePath.
    virtual void fromWordPackage(const std::string& packagePath, const std::string& outputPath) = 0;
    /// True when saving under this name must go through fromWordPackage.
    [[nodiscard]] virtual bool convertsOutput(const std::string& outputPath) const = 0;
    /// How many conversions may be asked at once, each from a thread of its own; one unless the
    /// implementation is thread-safe.
    [[nodiscard]] virtual int parallelConversions() const { return 1; }
    /// A hint that about this many conversions may be asked soon: whatever they need that takes
    /// long to start (an office process) can start now, without waiting for them. Returns at
    /// once and never throws; ignored unless overridden.
    virtual void prepare(std::size_t conversions) { (void)conversions; }
};

} // namespace paperloom::engine
