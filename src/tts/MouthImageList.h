#pragma once

#include <QImage>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace kestrel {

/// Why the face pictures could not be loaded: shown to the user as
/// description + ":" + number under the title "Load Images Error".
struct ImageLoadFailure
{
    QString description;
    int number = 0;
    QString messageText() const { return description + QLatin1Char(':') + QString::number(number); }
};

/// Returned by a loader for a bitmap that is not there.
inline constexpr int kResourceNotFound = 326;
/// A bitmap that is there but is not a 128 x 128 picture.
inline constexpr int kInvalidPicture = 481;

/// Picture `A` with picture `B` drawn over it, `B`'s magenta pixels left out.
QImage overlayPicture(const QImage &base, const QImage &top);

/// The picture as a window shows it: magenta becomes fully transparent so the
/// background of the picture box shows through.
QImage withMaskTransparent(const QImage &picture);

/// `MouthImgList`: the 24 face pictures in the order of the mouth image list, each
/// loaded by resource name. Loading stops at the first failure; the pictures
/// loaded before it stay usable.
class MouthImageList
{
public:
    /// Returns the bitmap for a resource name, or a null image when there is none.
    using Loader = std::function<QImage(const QString &resource)>;

    /// Loads index 1 to 24; returns the first failure, if any.
    std::optional<ImageLoadFailure> LoadMouthImages(const Loader &loader);

    int count() const { return static_cast<int>(m_pictures.size()); }
    /// Picture at a 1-based index; a null image when not loaded.
    QImage picture(int index) const;
    /// Picture by key ("MICFULL", "MICEYECLOSED", "MICEYENARROW").
    QImage picture(const QString &key) const;

    /// overlay("MICFULL", picture at `index`); a null image when "MICFULL" is
    /// missing, the face alone when only the part is missing.
    QImage faceWith(int index) const;

private:
    QList<QImage> m_pictures;
    QList<QString> m_keys;
};

} // namespace kestrel
