#include "tts/VisemeFace.h"
#include "tts/MouthImageList.h"
#include "tts/face/FacePainter.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

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
