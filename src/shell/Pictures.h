// The button pictures and the program icon, drawn from the program's own artwork.
#pragma once

#include <QIcon>

namespace paperloom {

enum class Picture { WordDocument, TapeDispenser, OpenFolder, MoveUp, MoveDown, ProgramIcon };

/// The picture at 32 x 32 pixels, sharp on high-density screens too.
[[nodiscard]] QIcon picture(Picture which);

} // namespace paperloom
