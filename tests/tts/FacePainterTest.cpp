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

int differingPixels(const QImage &a, const QImage &b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return count;
}

// Dark mouth interior: how far the mouth is open.
bool isMouthInside(QRgb c)
{
    return qRed(c) < 110 && qGreen(c) < 40 && qBlue(c) < 60;
}
bool isTeeth(QRgb c)
{
    return qRed(c) > 240 && qGreen(c) > 240 && qBlue(c) > 230;
}
bool isTongue(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) > 80 && qGreen(c) < 130 && qBlue(c) > 95 && qBlue(c) < 140;
}

QRect regionOf(const QString &name)
{
    if (name == QLatin1String("MICFULL"))
        return QRect(0, 0, face::kFaceSize, face::kFaceSize);
    return name.startsWith(QLatin1String("MICEYE")) ? face::eyeRegion() : face::mouthRegion();
}

TEST(FacePainter, FifteenKeyedBitmapsThatDrawOnlyInTheirRegion)
{
    const QStringList names = faceResourceNames();
    ASSERT_EQ(names.size(), 15);
    for (const QString &name : names) {
        const QImage picture = face::paintFacePicture(name);
        ASSERT_EQ(picture.size(), QSize(128, 128)) << qPrintable(name);
        EXPECT_EQ(picture.format(), QImage::Format_RGB888) << qPrintable(name);
        const QRect region = regionOf(name);
        int drawnOutside = 0;
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x)
                drawnOutside += !region.contains(x, y) && picture.pixel(x, y) != kMaskColour ? 1 : 0;
        EXPECT_EQ(drawnOutside, 0) << qPrintable(name);
        EXPECT_GT(countPixels(picture, region, [](QRgb c) { return c != kMaskColour; }), 600)
            << qPrintable(name);
    }
    // The whole face is a character on a keyed background, not a filled square.
    const QImage full = face::paintFacePicture(QStringLiteral("MICFULL"));
    EXPECT_EQ(full.pixel(0, 0), kMaskColour);
    EXPECT_EQ(full.pixel(127, 0), kMaskColour);
    EXPECT_NE(full.pixel(64, 52), kMaskColour);
    EXPECT_TRUE(face::paintFacePicture(QStringLiteral("MIC14")).isNull());
}

TEST(FacePainter, EveryMouthAndEyePictureLooksDifferent)
{
    QList<QImage> faces;
    const QStringList names = faceResourceNames();
    for (const QString &name : names)
        faces << overlayPicture(face::paintFacePicture(QStringLiteral("MICFULL")),
                                face::paintFacePicture(name));
    for (int a = 0; a < faces.size(); ++a)
        for (int b = a + 1; b < faces.size(); ++b)
            EXPECT_GT(differingPixels(faces[a], faces[b]), 60) << qPrintable(names[a] + " vs " + names[b]);
}

TEST(FacePainter, MouthShapesOpenAsTheirSoundsNeed)
{
    const QImage full = face::paintFacePicture(QStringLiteral("MICFULL"));
    auto measure = [&](const char *name, bool (*what)(QRgb)) {
        const QImage shown = overlayPicture(full, face::paintFacePicture(QLatin1String(name)));
        return countPixels(shown, face::mouthRegion(), what);
    };
    // Closed lips show no inside; then slightly open, open, wide open.
    EXPECT_EQ(measure("MIC10", isMouthInside), 0);
    EXPECT_EQ(measure("MICFULL", isMouthInside), 0);
    EXPECT_LT(measure("MIC4", isMouthInside), measure("MIC11", isMouthInside));
    EXPECT_LT(measure("MIC11", isMouthInside), measure("MIC13", isMouthInside));
    // "oo" is small: much less open than "ah".
    EXPECT_LT(measure("MIC9", isMouthInside), measure("MIC11", isMouthInside) / 2);
    // Teeth show for "ee", "sh", "f"; the tongue for "l" and "th"; "oo" shows neither.
    for (const char *name : {"MIC5", "MIC6", "MIC7"})
        EXPECT_GT(measure(name, isTeeth), 20) << name;
    for (const char *name : {"MIC3", "MIC8"})
        EXPECT_GT(measure(name, isTongue), 40) << name;
    EXPECT_EQ(measure("MIC9", isTeeth), 0);
    EXPECT_EQ(measure("MIC9", isTongue), 0);
    // "ee" is spread: its opening is wider than tall.
    const QImage ee = overlayPicture(full, face::paintFacePicture(QStringLiteral("MIC6")));
    QRect teeth;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            if (face::mouthRegion().contains(x, y) && isTeeth(ee.pixel(x, y)))
                teeth |= QRect(x, y, 1, 1);
    EXPECT_GT(teeth.width(), 3 * teeth.height());
}

TEST(FacePainter, EyesCloseAndNarrow)
{
    const QImage full = face::paintFacePicture(QStringLiteral("MICFULL"));
    auto whites = [&](const char *name) {
        const QImage shown = overlayPicture(full, face::paintFacePicture(QLatin1String(name)));
        return countPixels(shown, face::eyeRegion(), [](QRgb c) { return c == qRgb(255, 255, 255); });
    };
    const int open = whites("MICFULL");
    EXPECT_GT(open, 250);
    EXPECT_EQ(whites("MICEYECLOSED"), 0);
    EXPECT_GT(whites("MICEYENARROW"), 20);
    EXPECT_LT(whites("MICEYENARROW"), open / 2);
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
