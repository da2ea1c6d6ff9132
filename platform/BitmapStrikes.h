#pragma once

#include <QByteArray>
#include <QFont>
#include <vector>

namespace platform {

// The pixel sizes at which an sfnt 'EBLC' table holds 1-bit glyph bitmaps, in table order.
// A table that is absent, too short or of an unknown version holds none.
std::vector<int> MonochromeStrikeSizes(const QByteArray& eblcTable);

// A Song (Ming) face at dialog sizes carries bitmaps its maker drew for each size, which is how
// Windows draws SimSun at 9 pt; antialiased outlines at 12 pixels come out faint and blurred.
// Where the font's face has such a bitmap for the size it is drawn at on this screen, the font
// is returned set to draw them; otherwise it is returned as it is.
QFont WithBitmapStrikes(QFont font, qreal devicePixelRatio);

} // namespace platform
