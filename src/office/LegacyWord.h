// What a legacy Word file says about itself before any converter reads it.
#pragma once

#include <string>

namespace paperloom::engine::office {

/// True when path is a Word 97-2003 file (an OLE compound file with a WordDocument stream)
/// whose header marks it encrypted, i.e. protected by a password to open. False for anything
/// else, including files too damaged to tell; never throws. Reads at most a few sectors.
[[nodiscard]] bool isPasswordProtectedWordBinary(const std::string& path);

/// True when path is a Word 97-2003 file whose header points at a table of comments that is not
/// empty. False for anything else, including files too damaged to tell; never throws. Reads at
/// most a few sectors.
[[nodiscard]] bool isWordBinaryWithComments(const std::string& path);

} // namespace paperloom::engine::office
