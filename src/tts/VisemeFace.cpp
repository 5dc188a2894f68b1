#include "tts/VisemeFace.h"

#include <QtGlobal>

#include <array>

namespace kestrel {

namespace {

// Index N holds the mouth for viseme N (silence, viseme 0, borrows index 1, the
// whole face). The two eye pictures sit at the end and are reached by key.
constexpr std::array<const char *, kMouthImageCount> kResources{
    "MICFULL", "MIC11", "MIC11", "MIC11", "MIC10", "MIC11", "MIC9",         "MIC2",
    "MIC13",   "MIC9",  "MIC12", "MIC11", "MIC9",  "MIC3",  "MIC6",         "MIC7",
    "MIC8",    "MIC5",  "MIC4",  "MIC7",  "MIC9",  "MIC11", "MICEYECLOSED", "MICEYENARROW",
};

constexpr int kEyesClosedIndex = 23;
constexpr int kEyesNarrowIndex = 24;

} // namespace

QStringList faceResourceNames()
{
    QStringList names{QStringLiteral("MICFULL")};
    for (int i = 2; i <= 13; ++i)
        names << QStringLiteral("MIC%1").arg(i);
    names << QStringLiteral("MICEYECLOSED") << QStringLiteral("MICEYENARROW");
    return names;
}

MouthImageEntry mouthImageEntry(int index)
{
    Q_ASSERT(index >= 1 && index <= kMouthImageCount);
    const QString resource = QString::fromLatin1(kResources[static_cast<std::size_t>(index - 1)]);
    const bool keyed = index == kFaceAloneIndex || index == kEyesClosedIndex || index == kEyesNarrowIndex;
    return {resource, keyed ? resource : QString()};
}

int pictureForViseme(int visemeId)
{
    if (visemeId < 0 || visemeId > kMouthImageCount)
        return kFaceAloneIndex;
    const int index = visemeId == 0 ? 1 : visemeId;
    // Every sixth viseme from 2 and from 5 blinks or squints instead of moving the
    // mouth; the mouth then stays as "MICFULL" has it.
    if (index % 6 == 2)
        return kEyesClosedIndex;
    if (index % 6 == 5)
        return kEyesNarrowIndex;
    return index;
}

} // namespace kestrel
