#include "tts/face/FacePainter.h"
#include "tts/MouthImageList.h"
#include "tts/VisemeFace.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

using face::kMaskColour;

int countPixels(const QImage &picture, const QRect &area, const std::function<bool(QRgb)> &wanted)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += wanted(picture.pixel(x, y)) ? 1 : 0;
    return count;
}

/// The whole face with one picture laid over it, as the window shows it.
QImage faceWith(const QString &part)
{
    return overlayPicture(face::paintFacePicture(QStringLiteral("MICFULL")), face::paintFacePicture(part));
}

TEST(FacePainter, FifteenKeyedBitmapsEachDrawnInItsRegionAndAllDifferent)
{
    const QStringList names = faceResourceNames();
    ASSERT_EQ(names.size(), 15);
    const auto drawn = [](QRgb c) { return c != kMaskColour; };
    QList<QImage> faces;
    for (const QString &name : names) {
        const QImage picture = face::paintFacePicture(name);
        ASSERT_EQ(picture.size(), QSize(128, 128)) << qPrintable(name);
        EXPECT_EQ(picture.format(), QImage::Format_RGB888) << qPrintable(name);
        const QRect region = name == QLatin1String("MICFULL")           ? picture.rect()
                             : name.startsWith(QLatin1String("MICEYE")) ? face::eyeRegion()
                                                                        : face::mouthRegion();
        EXPECT_EQ(countPixels(picture, picture.rect(), drawn), countPixels(picture, region, drawn))
            << qPrintable(name) << " draws outside its region";
        EXPECT_GT(countPixels(picture, region, drawn), 600) << qPrintable(name);
        faces << faceWith(name);
    }
    for (int a = 0; a < faces.size(); ++a)
        for (int b = a + 1; b < faces.size(); ++b) {
            int differing = 0;
            for (int y = 0; y < 128; ++y)
                for (int x = 0; x < 128; ++x)
                    differing += faces[a].pixel(x, y) != faces[b].pixel(x, y) ? 1 : 0;
            EXPECT_GT(differing, 60) << qPrintable(names[a] + " vs " + names[b]);
        }
    // The whole face is a character on a keyed background, not a filled square.
    const QImage full = face::paintFacePicture(QStringLiteral("MICFULL"));
    EXPECT_EQ(full.pixel(0, 0), kMaskColour);
    EXPECT_EQ(full.pixel(127, 0), kMaskColour);
    EXPECT_NE(full.pixel(64, 52), kMaskColour);
    EXPECT_TRUE(face::paintFacePicture(QStringLiteral("MIC14")).isNull());
}

TEST(FacePainter, MouthAndEyesMoveAsTheirSoundsNeed)
{
    // Dark mouth interior: how far the mouth is open.
    const auto inside = [](QRgb c) { return qRed(c) < 110 && qGreen(c) < 40 && qBlue(c) < 60; };
    const auto teeth = [](QRgb c) { return qRed(c) > 240 && qGreen(c) > 240 && qBlue(c) > 230; };
    const auto tongue = [](QRgb c) {
        return qRed(c) > 200 && qGreen(c) > 80 && qGreen(c) < 130 && qBlue(c) > 95 && qBlue(c) < 140;
    };
    const auto mouth = [](const char *name, const std::function<bool(QRgb)> &what) {
        return countPixels(faceWith(QLatin1String(name)), face::mouthRegion(), what);
    };
    // Closed lips show no inside; then slightly open, open, wide open.
    EXPECT_EQ(mouth("MIC10", inside), 0);
    EXPECT_EQ(mouth("MICFULL", inside), 0);
    EXPECT_LT(mouth("MIC4", inside), mouth("MIC11", inside));
    EXPECT_LT(mouth("MIC11", inside), mouth("MIC13", inside));
    // "oo" is small: much less open than "ah".
    EXPECT_LT(mouth("MIC9", inside), mouth("MIC11", inside) / 2);
    // Teeth show for "ee", "sh", "f"; the tongue for "l" and "th"; "oo" shows neither.
    for (const char *name : {"MIC5", "MIC6", "MIC7"})
        EXPECT_GT(mouth(name, teeth), 20) << name;
    for (const char *name : {"MIC3", "MIC8"})
        EXPECT_GT(mouth(name, tongue), 40) << name;
    EXPECT_EQ(mouth("MIC9", teeth), 0);
    EXPECT_EQ(mouth("MIC9", tongue), 0);
    // "ee" is spread: its opening is wider than tall.
    const QImage ee = faceWith(QStringLiteral("MIC6"));
    QRect shown;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            if (face::mouthRegion().contains(x, y) && teeth(ee.pixel(x, y)))
                shown |= QRect(x, y, 1, 1);
    EXPECT_GT(shown.width(), 3 * shown.height());

    const auto whites = [](const char *name) {
        return countPixels(faceWith(QLatin1String(name)), face::eyeRegion(),
                           [](QRgb c) { return c == qRgb(255, 255, 255); });
    };
    EXPECT_GT(whites("MICFULL"), 250);
    EXPECT_EQ(whites("MICEYECLOSED"), 0);
    EXPECT_GT(whites("MICEYENARROW"), 20);
    EXPECT_LT(whites("MICEYENARROW"), whites("MICFULL") / 2);
}

TEST(FacePainter, KeyingNeverLosesADrawnPixel)
{
    QImage canvas(3, 1, QImage::Format_ARGB32);
    canvas.setPixel(0, 0, qRgba(255, 0, 255, 255)); // drawn exactly in the mask colour
    canvas.setPixel(1, 0, qRgba(10, 20, 30, 40));   // mostly transparent edge
    canvas.setPixel(2, 0, qRgba(10, 20, 30, 200));  // mostly opaque edge
    const QImage keyed = face::toKeyedRgb(canvas);
    EXPECT_NE(keyed.pixel(0, 0), kMaskColour);
    EXPECT_EQ(keyed.pixel(1, 0), kMaskColour);
    EXPECT_EQ(keyed.pixel(2, 0), qRgb(10, 20, 30));
}

} // namespace
} // namespace kestrel
