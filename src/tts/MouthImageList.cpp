#include "tts/MouthImageList.h"

#include "tts/VisemeFace.h"
#include "tts/face/FacePainter.h"

namespace kestrel {

QImage overlayPicture(const QImage &base, const QImage &top)
{
    QImage result = base.convertToFormat(QImage::Format_RGB32);
    const QImage upper = top.convertToFormat(QImage::Format_RGB32);
    const int width = qMin(result.width(), upper.width());
    const int height = qMin(result.height(), upper.height());
    for (int y = 0; y < height; ++y) {
        auto *out = reinterpret_cast<QRgb *>(result.scanLine(y));
        const auto *in = reinterpret_cast<const QRgb *>(upper.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            if (in[x] != face::kMaskColour)
                out[x] = in[x];
        }
    }
    return result;
}

QImage withMaskTransparent(const QImage &picture)
{
    QImage result = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < result.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            if (line[x] == face::kMaskColour)
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
    return result;
}

std::optional<ImageLoadFailure> MouthImageList::LoadMouthImages(const Loader &loader)
{
    m_pictures.clear();
    m_keys.clear();
    for (int index = 1; index <= kMouthImageCount; ++index) {
        const MouthImageEntry entry = mouthImageEntry(index);
        const QImage picture = loader(entry.resource);
        if (picture.isNull())
            return ImageLoadFailure{
                QStringLiteral("Resource with identifier '%1' not found").arg(entry.resource),
                kResourceNotFound};
        if (picture.size() != QSize(face::kFaceSize, face::kFaceSize))
            return ImageLoadFailure{QStringLiteral("Invalid picture '%1'").arg(entry.resource),
                                    kInvalidPicture};
        m_pictures.append(picture.convertToFormat(QImage::Format_RGB32));
        m_keys.append(entry.key);
    }
    return std::nullopt;
}

QImage MouthImageList::picture(int index) const
{
    if (index < 1 || index > count())
        return {};
    return m_pictures.at(index - 1);
}

QImage MouthImageList::picture(const QString &key) const
{
    const auto at = m_keys.indexOf(key);
    return at < 0 || key.isEmpty() ? QImage() : m_pictures.at(at);
}

QImage MouthImageList::faceWith(int index) const
{
    const QImage face = picture(kFaceAloneIndex);
    if (face.isNull())
        return {};
    const QImage part = picture(index);
    return overlayPicture(face, part.isNull() ? face : part);
}

} // namespace kestrel
