#pragma once

#include <QString>
#include <QStringList>

namespace kestrel {

/// The fifteen face bitmaps, in the order they are painted and embedded.
QStringList faceResourceNames();

/// The mouth image list `MouthImgList`: 24 pictures addressed by a 1-based index.
/// Several indexes share a bitmap; three entries also carry a key.
inline constexpr int kMouthImageCount = 24;
inline constexpr int kFaceAloneIndex = 1; ///< "MICFULL", key "MICFULL"

struct MouthImageEntry
{
    QString resource; ///< bitmap resource name, e.g. "MIC11"
    QString key;      ///< empty for entries without a key
};

/// Entry `index` (1 to kMouthImageCount).
MouthImageEntry mouthImageEntry(int index);

/// The index of the picture drawn over "MICFULL" after a viseme event.
/// kFaceAloneIndex means the face alone. Visemes 0 to 21 are the service's set;
/// 22 to 24 still name list entries and follow the same rules. Any other number is
/// not sent by a voice and shows the face alone rather than failing.
int pictureForViseme(int visemeId);

} // namespace kestrel
