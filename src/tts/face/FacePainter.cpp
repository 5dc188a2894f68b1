#include "tts/face/FacePainter.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <functional>
#include <map>

namespace kestrel::face {

namespace {

// The character: a ball microphone head with a face, on a collar and a handle.
constexpr QPointF kHeadCentre{64, 52};
constexpr qreal kHeadRx = 50;
constexpr qreal kHeadRy = 48;
constexpr QPointF kLeftEye{46, 42};
constexpr QPointF kRightEye{82, 42};
constexpr QPointF kMouth{64, 79};

const QColor kOutline{70, 74, 88};
const QColor kInk{35, 35, 45};
const QColor kLip{120, 34, 46};
const QColor kLipFill{196, 78, 90};
const QColor kInside{78, 14, 30};
const QColor kTongue{226, 104, 118};
const QColor kTeeth{250, 250, 244};

void paintHandle(QPainter &p)
{
    QPainterPath handle;
    handle.moveTo(48, 98);
    handle.lineTo(80, 98);
    handle.lineTo(73, 124);
    handle.quadTo(64, 128, 55, 124);
    handle.closeSubpath();
    QLinearGradient shade(48, 0, 80, 0);
    shade.setColorAt(0, QColor(40, 42, 54));
    shade.setColorAt(0.35, QColor(96, 100, 118));
    shade.setColorAt(1, QColor(32, 34, 44));
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(shade);
    p.drawPath(handle);
}

void paintCollar(QPainter &p)
{
    QLinearGradient shade(0, 90, 0, 106);
    shade.setColorAt(0, QColor(120, 126, 150));
    shade.setColorAt(0.5, QColor(72, 78, 100));
    shade.setColorAt(1, QColor(50, 54, 72));
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(shade);
    p.drawRoundedRect(QRectF(32, 90, 64, 14), 6, 6);
}

void paintHead(QPainter &p)
{
    QRadialGradient shade(QPointF(46, 28), 90, QPointF(42, 22));
    shade.setColorAt(0, QColor(250, 251, 253));
    shade.setColorAt(0.55, QColor(206, 211, 222));
    shade.setColorAt(1, QColor(132, 138, 156));
    p.setPen(QPen(kOutline, 2));
    p.setBrush(shade);
    p.drawEllipse(kHeadCentre, kHeadRx, kHeadRy);

    // The grille: a soft dot mesh, kept away from the rim so the outline stays clean.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 156, 174, 110));
    for (int y = 9; y < 100; y += 7) {
        for (int x = 17; x < 112; x += 7) {
            const qreal dx = (x - kHeadCentre.x()) / (kHeadRx - 5);
            const qreal dy = (y - kHeadCentre.y()) / (kHeadRy - 5);
            if (dx * dx + dy * dy < 1.0)
                p.drawEllipse(QPointF(x, y), 1.1, 1.1);
        }
    }

    // Cheeks and eyebrows never change, so they belong to the head.
    p.setBrush(QColor(255, 140, 156, 120));
    p.drawEllipse(QPointF(29, 64), 8, 5);
    p.drawEllipse(QPointF(99, 64), 8, 5);
    p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath brows;
    brows.moveTo(36, 24);
    brows.quadTo(46, 17, 56, 22);
    brows.moveTo(72, 22);
    brows.quadTo(82, 17, 92, 24);
    p.drawPath(brows);
}

void paintBody(QPainter &p)
{
    paintHandle(p);
    paintCollar(p);
    paintHead(p);
}

// --- Eyes ---------------------------------------------------------------------

void paintOpenEye(QPainter &p, QPointF c)
{
    p.setPen(QPen(kInk, 2));
    p.setBrush(Qt::white);
    p.drawEllipse(c, 10, 12);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawEllipse(c + QPointF(1, 2), 5.5, 6);
    p.setBrush(Qt::white);
    p.drawEllipse(c + QPointF(-1, -1), 2, 2);
}

void paintClosedEye(QPainter &p, QPointF c)
{
    QPainterPath lid;
    lid.moveTo(c + QPointF(-11, -1));
    lid.quadTo(c + QPointF(0, 9), c + QPointF(11, -1));
    p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(lid);
    // Lashes hang from the lid's lowest part.
    p.setPen(QPen(kInk, 1.6, Qt::SolidLine, Qt::RoundCap));
    for (qreal dx : {-6.0, 0.0, 6.0})
        p.drawLine(c + QPointF(dx, dx == 0 ? 4 : 2.6), c + QPointF(dx * 1.2, dx == 0 ? 8 : 6.5));
}

void paintNarrowEye(QPainter &p, QPointF c)
{
    QPainterPath lens;
    lens.moveTo(c + QPointF(-11, 3));
    lens.quadTo(c + QPointF(0, -8), c + QPointF(11, 3));
    lens.quadTo(c + QPointF(0, 13), c + QPointF(-11, 3));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(lens);
    p.save();
    p.setClipPath(lens);
    p.setBrush(kInk);
    p.drawEllipse(c + QPointF(1, 3), 4.5, 5);
    p.restore();
    // A heavy upper lid makes the squint read at this size.
    QPainterPath lid;
    lid.moveTo(c + QPointF(-12, 3));
    lid.quadTo(c + QPointF(0, -9), c + QPointF(12, 3));
    p.setPen(QPen(kInk, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(lid);
    p.setPen(QPen(kInk, 1.5));
    p.drawPath(lens);
}

using EyePainter = void (*)(QPainter &, QPointF);

void paintEyes(QPainter &p, EyePainter eye)
{
    eye(p, kLeftEye);
    eye(p, kRightEye);
}

// --- Mouths -------------------------------------------------------------------

enum class Tongue { None, Low, Raised, Out };

struct OpenMouth
{
    qreal width;
    qreal height;
    qreal upperTeeth = 0; ///< height of the visible upper teeth
    qreal lowerTeeth = 0;
    Tongue tongue = Tongue::None;
    qreal lipWidth = 3;
    qreal corner = -1; ///< corner radius; -1 draws an ellipse
};

QPainterPath mouthOutline(const OpenMouth &m)
{
    const QRectF r(kMouth.x() - m.width / 2, kMouth.y() - m.height / 2, m.width, m.height);
    QPainterPath path;
    if (m.corner < 0)
        path.addEllipse(r);
    else
        path.addRoundedRect(r, m.corner, m.corner);
    return path;
}

void paintOpenMouth(QPainter &p, const OpenMouth &m)
{
    const QPainterPath outline = mouthOutline(m);
    const QRectF r = outline.boundingRect();
    p.setPen(Qt::NoPen);
    p.setBrush(kInside);
    p.drawPath(outline);

    p.save();
    p.setClipPath(outline);
    switch (m.tongue) {
    case Tongue::None:
        break;
    case Tongue::Low:
        p.setBrush(kTongue);
        p.drawEllipse(QPointF(r.center().x(), r.bottom()), r.width() * 0.34, r.height() * 0.42);
        break;
    case Tongue::Raised:
        p.setBrush(kTongue);
        p.drawRoundedRect(QRectF(r.center().x() - 8, r.top() + m.upperTeeth - 1, 16, r.height()), 7, 7);
        break;
    case Tongue::Out:
        break;
    }
    p.setBrush(kTeeth);
    if (m.upperTeeth > 0)
        p.drawRect(QRectF(r.left(), r.top(), r.width(), m.upperTeeth));
    if (m.lowerTeeth > 0)
        p.drawRect(QRectF(r.left(), r.bottom() - m.lowerTeeth, r.width(), m.lowerTeeth));
    // Thin gaps between teeth so they read as teeth and not as a white bar.
    p.setPen(QPen(QColor(190, 190, 184), 0.8));
    for (qreal x = r.center().x() - 12; x <= r.center().x() + 12; x += 6) {
        if (m.upperTeeth > 0)
            p.drawLine(QPointF(x, r.top()), QPointF(x, r.top() + m.upperTeeth));
        if (m.lowerTeeth > 0)
            p.drawLine(QPointF(x, r.bottom() - m.lowerTeeth), QPointF(x, r.bottom()));
    }
    p.restore();

    if (m.tongue == Tongue::Out) {
        p.setPen(QPen(QColor(170, 60, 76), 1.2));
        p.setBrush(kTongue);
        p.drawEllipse(QPointF(r.center().x(), r.bottom() + 1), 8, 6);
    }
    p.setPen(QPen(kLip, m.lipWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(outline);
}

void paintSmile(QPainter &p)
{
    QPainterPath smile;
    smile.moveTo(46, 74);
    smile.quadTo(64, 90, 82, 74);
    p.setPen(QPen(kLip, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(smile);
    p.setPen(QPen(kLip, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(44, 71), QPointF(47, 76));
    p.drawLine(QPointF(84, 71), QPointF(81, 76));
}

void paintPressedLips(QPainter &p)
{
    p.setPen(QPen(kLipFill, 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(50, 79), QPointF(78, 79));
    p.setPen(QPen(kLip, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(47, 79), QPointF(81, 79));
}

void paintTeethOnLip(QPainter &p)
{
    // "f": the lower lip is drawn in under the upper teeth.
    QPainterPath lowerLip;
    lowerLip.moveTo(47, 80);
    lowerLip.quadTo(64, 76, 81, 80);
    lowerLip.quadTo(64, 92, 47, 80);
    p.setPen(QPen(kLip, 2));
    p.setBrush(kLipFill);
    p.drawPath(lowerLip);
    p.setPen(QPen(QColor(150, 150, 144), 1));
    p.setBrush(kTeeth);
    p.drawRoundedRect(QRectF(52, 73, 24, 9), 2, 2);
    p.drawLine(QPointF(58, 73), QPointF(58, 82));
    p.drawLine(QPointF(64, 73), QPointF(64, 82));
    p.drawLine(QPointF(70, 73), QPointF(70, 82));
    QPainterPath upperLip;
    upperLip.moveTo(46, 75);
    upperLip.quadTo(64, 68, 82, 75);
    p.setPen(QPen(kLip, 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(upperLip);
}

const std::map<QString, std::function<void(QPainter &)>> &mouthPainters()
{
    static const std::map<QString, std::function<void(QPainter &)>> painters{
        // "ow": round, half open
        {QStringLiteral("MIC2"),
         [](QPainter &p) {
             paintOpenMouth(p, {22, 22, 0, 0, Tongue::Low, 4.5});
         }},
        // "l": open, tongue tip up behind the teeth
        {QStringLiteral("MIC3"),
         [](QPainter &p) {
             paintOpenMouth(p, {34, 20, 4, 0, Tongue::Raised});
         }},
        // "d t n": slightly open
        {QStringLiteral("MIC4"),
         [](QPainter &p) {
             paintOpenMouth(p, {36, 10, 3.5, 0, Tongue::Low});
         }},
        // "f v": teeth on the lower lip
        {QStringLiteral("MIC5"), paintTeethOnLip},
        // "ee", "s": spread, teeth together
        {QStringLiteral("MIC6"),
         [](QPainter &p) {
             paintOpenMouth(p, {48, 13, 6, 5, Tongue::None, 3, 6});
         }},
        // "sh": pouted, teeth showing
        {QStringLiteral("MIC7"),
         [](QPainter &p) {
             paintOpenMouth(p, {26, 18, 5, 4, Tongue::None, 5, 7});
         }},
        // "th": tongue between the teeth
        {QStringLiteral("MIC8"),
         [](QPainter &p) {
             paintOpenMouth(p, {38, 12, 4, 0, Tongue::Out});
         }},
        // "oo": small and rounded
        {QStringLiteral("MIC9"),
         [](QPainter &p) {
             paintOpenMouth(p, {14, 16, 0, 0, Tongue::None, 5.5});
         }},
        // "m": closed, pressed lips
        {QStringLiteral("MIC10"), paintPressedLips},
        // "ah": open
        {QStringLiteral("MIC11"),
         [](QPainter &p) {
             paintOpenMouth(p, {34, 20, 4, 0, Tongue::Low});
         }},
        // "ay": wide and open
        {QStringLiteral("MIC12"),
         [](QPainter &p) {
             paintOpenMouth(p, {46, 20, 5, 0, Tongue::Low});
         }},
        // "aw": wide open
        {QStringLiteral("MIC13"),
         [](QPainter &p) {
             paintOpenMouth(p, {38, 28, 4, 0, Tongue::Low});
         }},
    };
    return painters;
}

// --- Composition --------------------------------------------------------------

QImage paintWholeFace(EyePainter eyes, const std::function<void(QPainter &)> &mouth)
{
    QImage canvas(kFaceSize, kFaceSize, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    paintBody(p);
    paintEyes(p, eyes);
    mouth(p);
    p.end();
    return toKeyedRgb(canvas);
}

// A part picture is the whole face with that part, cut to the part's region: laid
// over "MICFULL" it matches the face pixel for pixel outside the changed feature.
QImage cutToRegion(const QImage &face, const QRect &region)
{
    QImage part(face.size(), QImage::Format_RGB888);
    part.fill(QColor::fromRgb(kMaskColour));
    QPainter p(&part);
    p.drawImage(region.topLeft(), face.copy(region));
    p.end();
    return part;
}

} // namespace

QRect mouthRegion()
{
    return {34, 62, 60, 34};
}
QRect eyeRegion()
{
    return {30, 26, 68, 34};
}

QImage toKeyedRgb(const QImage &argb)
{
    const QImage source = argb.convertToFormat(QImage::Format_ARGB32);
    QImage keyed(source.size(), QImage::Format_RGB888);
    for (int y = 0; y < source.height(); ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(source.constScanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            QRgb out = kMaskColour;
            if (qAlpha(in[x]) >= 128) {
                out = qRgb(qRed(in[x]), qGreen(in[x]), qBlue(in[x]));
                if (out == kMaskColour)
                    out = qRgb(254, 0, 254);
            }
            keyed.setPixel(x, y, out);
        }
    }
    return keyed;
}

QImage paintFacePicture(const QString &name)
{
    if (name == QLatin1String("MICFULL"))
        return paintWholeFace(paintOpenEye, paintSmile);
    if (name == QLatin1String("MICEYECLOSED"))
        return cutToRegion(paintWholeFace(paintClosedEye, paintSmile), eyeRegion());
    if (name == QLatin1String("MICEYENARROW"))
        return cutToRegion(paintWholeFace(paintNarrowEye, paintSmile), eyeRegion());
    const auto &painters = mouthPainters();
    const auto found = painters.find(name);
    if (found == painters.end())
        return {};
    return cutToRegion(paintWholeFace(paintOpenEye, found->second), mouthRegion());
}

} // namespace kestrel::face
