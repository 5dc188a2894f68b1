#pragma once

#include "speech_platform/Recognition.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kestrel {

/// The CMU phone set of the US English model, with the ids that pronunciations
/// carry: 1 is silence, then the 39 phones in alphabetical order (AA = 2 ... ZH = 40).
/// 0 is never a phone.
namespace CmuPhones {
QString name(int phoneId);        ///< empty for an unknown id
int id(const QString &phoneName); ///< 0 for an unknown name; stress digits are ignored
/// "N OW T P AE D" -> ids; unknown phones are skipped.
QList<int> idsFromText(const QString &phones);
const QStringList &all(); ///< the 39 phones, without silence
} // namespace CmuPhones

/// US English (0x409) phone names; other languages have no phones here.
class CmuPhoneConverter : public PhoneConverter
{
public:
    QString idToPhone(int languageId, int phoneId) const override;
};

} // namespace kestrel
