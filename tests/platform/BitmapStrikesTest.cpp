// Dialog fonts drawn from the bitmaps their face carries for the size on screen.
#include "platform/BitmapStrikes.h"

#include "platform/Dialog.h"

#include <QFontInfo>
#include <QtEndian>
#include <gtest/gtest.h>
#include <vector>

using namespace platform;

namespace {

struct Strike {
    int ppem;
    int bitDepth;
};

// An 'EBLC' table with one 48-byte size record per strike (only the fields read are filled).
QByteArray eblcTable(const std::vector<Strike>& strikes, quint32 declared, quint32 version = 0x00020000)
{
    QByteArray table(8 + qsizetype(strikes.size()) * 48, '\0');
    auto* bytes = reinterpret_cast<uchar*>(table.data());
    qToBigEndian<quint32>(version, bytes);
    qToBigEndian<quint32>(declared, bytes + 4);
    for (std::size_t i = 0; i < strikes.size(); ++i) {
        uchar* record = bytes + 8 + i * 48;
        record[44] = static_cast<uchar>(strikes[i].ppem);
        record[45] = static_cast<uchar>(strikes[i].ppem);
        record[46] = static_cast<uchar>(strikes[i].bitDepth);
    }
    return table;
}

TEST(BitmapStrikes, OnlyOneBitStrikesThatTheTableReallyHoldsCount)
{
    const struct {
        const char* what;
        QByteArray table;
        std::vector<int> sizes;
    } cases[] = {
        { "no table", {}, {} },
        { "shorter than its header", QByteArray(7, '\0'), {} },
        { "an unknown version", eblcTable({ { 12, 1 } }, 1, 0x00010000), {} },
        { "1-bit strikes", eblcTable({ { 11, 1 }, { 12, 1 }, { 16, 1 } }, 3), { 11, 12, 16 } },
        { "a grey strike is left out", eblcTable({ { 12, 8 }, { 13, 1 } }, 2), { 13 } },
        { "more declared than present", eblcTable({ { 12, 1 }, { 13, 1 } }, 1000), { 12, 13 } },
        { "fewer declared than present", eblcTable({ { 12, 1 }, { 13, 1 } }, 1), { 12 } },
        { "a truncated last record", eblcTable({ { 12, 1 }, { 13, 1 } }, 2).left(8 + 48 + 47), { 12 } },
    };
    for (const auto& c : cases)
        EXPECT_EQ(MonochromeStrikeSizes(c.table), c.sizes) << c.what;
}

TEST(BitmapStrikes, AMingFaceAtNinePointUsesItsBitmapsOnlyWhereItHasThemForTheScreen)
{
    const QFont dialogFont = DialogFontOf({ 9, QStringLiteral("宋体"), 400, false, 1 });
    if (QFontInfo(dialogFont).family() != QStringLiteral("AR PL UMing CN"))
        GTEST_SKIP() << "AR PL UMing CN is not installed";
    ASSERT_EQ(QFontInfo(dialogFont).pixelSize(), 12);

    const QFont bitmapFont = WithBitmapStrikes(dialogFont, 1.0);
    EXPECT_TRUE(bitmapFont.styleStrategy() & QFont::NoAntialias);
    // The bitmaps keep SimSun's dialog units, so the dialogs keep their size.
    EXPECT_EQ(BaseUnitsOf(bitmapFont).x, 6);
    EXPECT_EQ(BaseUnitsOf(bitmapFont).y, 12);
    // 24 device pixels on a doubled screen: the face has no bitmaps that large.
    EXPECT_FALSE(WithBitmapStrikes(dialogFont, 2.0).styleStrategy() & QFont::NoAntialias);

    QFont large = dialogFont;
    large.setPointSize(20);
    EXPECT_FALSE(WithBitmapStrikes(large, 1.0).styleStrategy() & QFont::NoAntialias);
}

TEST(BitmapStrikes, AnOutlineOnlyFaceIsLeftAsItIs)
{
    QFont font(QStringLiteral("DejaVu Sans"), 9);
    if (QFontInfo(font).family() != QStringLiteral("DejaVu Sans"))
        GTEST_SKIP() << "DejaVu Sans is not installed";
    font.setStyleStrategy(QFont::PreferQuality);
    EXPECT_EQ(WithBitmapStrikes(font, 1.0).styleStrategy(), QFont::PreferQuality);
}

} // namespace
