#include "speech_platform/sphinx/CmuPhones.h"

#include "common/Failure.h"

namespace kestrel {
namespace {
constexpr int kUsEnglish = 0x409;
const QString kSilence = QStringLiteral("SIL");
} // namespace

const QStringList &CmuPhones::all()
{
    // Never destroyed: when exit() ends the program, worker threads still read it.
    static const auto &phones = *new const QStringList{
        QStringLiteral("AA"), QStringLiteral("AE"), QStringLiteral("AH"), QStringLiteral("AO"),
        QStringLiteral("AW"), QStringLiteral("AY"), QStringLiteral("B"),  QStringLiteral("CH"),
        QStringLiteral("D"),  QStringLiteral("DH"), QStringLiteral("EH"), QStringLiteral("ER"),
        QStringLiteral("EY"), QStringLiteral("F"),  QStringLiteral("G"),  QStringLiteral("HH"),
        QStringLiteral("IH"), QStringLiteral("IY"), QStringLiteral("JH"), QStringLiteral("K"),
        QStringLiteral("L"),  QStringLiteral("M"),  QStringLiteral("N"),  QStringLiteral("NG"),
        QStringLiteral("OW"), QStringLiteral("OY"), QStringLiteral("P"),  QStringLiteral("R"),
        QStringLiteral("S"),  QStringLiteral("SH"), QStringLiteral("T"),  QStringLiteral("TH"),
        QStringLiteral("UH"), QStringLiteral("UW"), QStringLiteral("V"),  QStringLiteral("W"),
        QStringLiteral("Y"),  QStringLiteral("Z"),  QStringLiteral("ZH"),
    };
    return phones;
}

QString CmuPhones::name(int phoneId)
{
    if (phoneId == 1)
        return kSilence;
    return all().value(phoneId - 2);
}

int CmuPhones::id(const QString &phoneName)
{
    QString bare = phoneName.trimmed().toUpper();
    while (!bare.isEmpty() && bare.back().isDigit())
        bare.chop(1);
    if (bare == kSilence)
        return 1;
    const qsizetype index = all().indexOf(bare);
    return index < 0 ? 0 : int(index) + 2;
}

QList<int> CmuPhones::idsFromText(const QString &phones)
{
    QList<int> ids;
    for (const QString &phone : phones.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (const int phoneId = id(phone))
            ids << phoneId;
    }
    return ids;
}

QString CmuPhoneConverter::idToPhone(int languageId, int phoneId) const
{
    if (languageId != kUsEnglish)
        throw Failure(QStringLiteral("No phone set for language %1").arg(languageId));
    const QString phone = CmuPhones::name(phoneId);
    if (phone.isEmpty())
        throw Failure(QStringLiteral("Unknown phone id %1").arg(phoneId));
    return phone;
}

} // namespace kestrel
