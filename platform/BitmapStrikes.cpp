#include "platform/BitmapStrikes.h"

#include <QFontInfo>
#include <QRawFont>
#include <QtEndian>
#include <algorithm>
#include <cmath>

namespace platform {

namespace {

// The layout of 'EBLC' (the embedded bitmap location table): a header, then one 48-byte
// BitmapSize record per strike.
constexpr qsizetype kHeaderSize = 8;
constexpr qsizetype kBitmapSizeRecord = 48;
constexpr qsizetype kPpemYOffset = 45;
constexpr qsizetype kBitDepthOffset = 46;
constexpr quint32 kVersion2 = 0x00020000;

} // namespace

std::vector<int> MonochromeStrikeSizes(const QByteArray& eblcTable)
{
    std::vector<int> sizes;
    if (eblcTable.size() < kHeaderSize)
        return sizes;
    const auto* bytes = reinterpret_cast<const uchar*>(eblcTable.constData());
    if (qFromBigEndian<quint32>(bytes) != kVersion2)
        return sizes;
    const quint32 declared = qFromBigEndian<quint32>(bytes + 4);
    const auto present = static_cast<quint32>((eblcTable.size() - kHeaderSize) / kBitmapSizeRecord);
    for (quint32 i = 0; i < std::min(declared, present); ++i) {
        const uchar* record = bytes + kHeaderSize + qsizetype(i) * kBitmapSizeRecord;
        if (record[kBitDepthOffset] == 1)
            sizes.push_back(record[kPpemYOffset]);
    }
    return sizes;
}

QFont WithBitmapStrikes(QFont font, qreal devicePixelRatio)
{
    const int devicePixels = static_cast<int>(std::lround(QFontInfo(font).pixelSize() * devicePixelRatio));
    // The face the font's own family resolves to; its Chinese glyphs come from it too.
    const QRawFont face = QRawFont::fromFont(font);
    if (!face.isValid())
        return font;
    const std::vector<int> strikes = MonochromeStrikeSizes(face.fontTable("EBLC"));
    if (std::find(strikes.begin(), strikes.end(), devicePixels) != strikes.end())
        font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::NoAntialias));
    return font;
}

} // namespace platform
