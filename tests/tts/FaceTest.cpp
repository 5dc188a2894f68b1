#include "tts/MouthImageList.h"
#include "tts/VisemeFace.h"
#include "tts/face/FacePainter.h"

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

// What the face shows after each viseme: the picture laid over "MICFULL". Visemes
// from 22 on are not sent by a voice: 22 to 24 still name list entries, the rest
// is the face.
TEST(VisemeFace, EveryVisemeShowsItsPicture)
{
    const std::pair<int, const char *> cases[] = {
        {0, "MICFULL"},       {1, "MICFULL"},       {2, "MICEYECLOSED"},  {3, "MIC11"},
        {4, "MIC11"},         {5, "MICEYENARROW"},  {6, "MIC11"},         {7, "MIC9"},
        {8, "MICEYECLOSED"},  {9, "MIC13"},         {10, "MIC9"},         {11, "MICEYENARROW"},
        {12, "MIC11"},        {13, "MIC9"},         {14, "MICEYECLOSED"}, {15, "MIC6"},
        {16, "MIC7"},         {17, "MICEYENARROW"}, {18, "MIC5"},         {19, "MIC4"},
        {20, "MICEYECLOSED"}, {21, "MIC9"},         {22, "MIC11"},        {23, "MICEYENARROW"},
        {24, "MICEYENARROW"}, {25, "MICFULL"},      {-1, "MICFULL"},      {1000, "MICFULL"}};
    for (const auto &[viseme, picture] : cases) {
        const int index = pictureForViseme(viseme);
        ASSERT_GE(index, 1) << viseme;
        ASSERT_LE(index, kMouthImageCount) << viseme;
        EXPECT_EQ(mouthImageEntry(index).resource, QLatin1String(picture)) << "viseme " << viseme;
    }
}

TEST(VisemeFace, OnlyTheFaceAndTheEyesCarryKeysAndKeysFindTheirPictures)
{
    QStringList keys;
    for (int index = 1; index <= kMouthImageCount; ++index) {
        const MouthImageEntry entry = mouthImageEntry(index);
        ASSERT_TRUE(faceResourceNames().contains(entry.resource)) << index;
        if (!entry.key.isEmpty())
            keys << QStringLiteral("%1=%2").arg(index).arg(entry.key);
    }
    EXPECT_EQ(keys, QStringList({"1=MICFULL", "23=MICEYECLOSED", "24=MICEYENARROW"}));

    MouthImageList list;
    ASSERT_FALSE(list.LoadMouthImages(face::paintFacePicture).has_value());
    EXPECT_EQ(list.count(), kMouthImageCount);
    EXPECT_EQ(list.picture(QStringLiteral("MICEYECLOSED")), list.picture(23));
    EXPECT_EQ(list.picture(QStringLiteral("MICFULL")), list.picture(1));
    EXPECT_TRUE(list.picture(QStringLiteral("MIC5")).isNull()); // no key
    EXPECT_TRUE(list.picture(0).isNull());
    EXPECT_TRUE(list.picture(25).isNull());
}

TEST(MouthImageListLoad, StopsAtTheFirstFailureAndSaysWhy)
{
    // The broken picture, what the loader gives for it, how many loaded before it.
    const std::tuple<const char *, QImage, int, const char *> cases[] = {
        {"MIC5", QImage(), 17, "Resource with identifier 'MIC5' not found:326"},
        {"MICFULL", QImage(), 0, "Resource with identifier 'MICFULL' not found:326"},
        {"MIC10", QImage(64, 64, QImage::Format_RGB888), 4, "Invalid picture 'MIC10':481"},
    };
    for (const auto &[broken, brokenPicture, loadedBefore, message] : cases) {
        MouthImageList list;
        const auto failure = list.LoadMouthImages([&](const QString &name) {
            return name == QLatin1String(broken) ? brokenPicture : face::paintFacePicture(name);
        });
        ASSERT_TRUE(failure.has_value()) << broken;
        EXPECT_EQ(failure->messageText(), QLatin1String(message));
        EXPECT_EQ(list.count(), loadedBefore);
        // What did load stays usable; a missing part leaves the face alone.
        EXPECT_EQ(list.faceWith(20).isNull(), loadedBefore == 0);
    }
}

TEST(Overlay, MagentaIsTransparentAndNothingElse)
{
    const std::pair<QRgb, QRgb> cases[] = {
        {qRgb(255, 0, 255), qRgb(10, 20, 30)},  // the mask colour lets the base through
        {qRgb(254, 0, 255), qRgb(254, 0, 255)}, // close to it is still a colour
        {qRgb(0, 0, 0), qRgb(0, 0, 0)},
        {qRgb(255, 255, 255), qRgb(255, 255, 255)},
    };
    for (const auto &[colour, expected] : cases) {
        QImage base(2, 2, QImage::Format_RGB888);
        base.fill(QColor::fromRgb(qRgb(10, 20, 30)));
        QImage top(2, 2, QImage::Format_RGB888);
        top.fill(QColor::fromRgb(colour));
        top.setPixel(1, 1, face::kMaskColour);
        const QImage result = overlayPicture(base, top);
        EXPECT_EQ(result.pixel(0, 0), expected) << std::hex << colour;
        EXPECT_EQ(result.pixel(1, 1), qRgb(10, 20, 30));
        const QImage shown = withMaskTransparent(top);
        EXPECT_EQ(qAlpha(shown.pixel(1, 1)), 0);
        EXPECT_EQ(qAlpha(shown.pixel(0, 0)), colour == face::kMaskColour ? 0 : 255);
    }
}

} // namespace
} // namespace kestrel
