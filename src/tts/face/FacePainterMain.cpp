// Build-time tool: paints the fifteen face bitmaps into the folder given as its
// argument, as 24-bit BMP files named after their resources.
#include "tts/VisemeFace.h"
#include "tts/face/FacePainter.h"

#include <QDir>
#include <QImageWriter>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    for (const QString &name : kestrel::faceResourceNames()) {
        const QImage picture = kestrel::face::paintFacePicture(name);
        QImageWriter writer(QDir(folder).filePath(name + QStringLiteral(".bmp")), "bmp");
        if (picture.isNull() || !writer.write(picture)) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(name), qPrintable(writer.errorString()));
            return 1;
        }
    }
    return 0;
}
