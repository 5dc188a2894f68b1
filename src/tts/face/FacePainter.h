#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

namespace kestrel::face {

inline constexpr int kFaceSize = 128;

/// Pure magenta: the transparent colour of every face bitmap.
inline constexpr QRgb kMaskColour = 0xffff00ffu;

/// Where the mouth pictures ("MIC2" to "MIC13") and the eye pictures draw; outside
/// its region a part picture is all magenta. Both regions cover what "MICFULL"
/// draws there, so a part laid over the whole face replaces it.
QRect mouthRegion();
QRect eyeRegion();

/// Paints one of the fifteen face bitmaps (see faceResourceNames()): 128 x 128,
/// RGB888, magenta background. Returns a null image for any other name.
QImage paintFacePicture(const QString &name);

/// Turns an antialiased drawing on a transparent canvas into a keyed bitmap:
/// mostly transparent pixels become magenta, the rest opaque. A drawn pixel that
/// happens to be exactly magenta is nudged so it is not lost as transparent.
QImage toKeyedRgb(const QImage &argb);

} // namespace kestrel::face
