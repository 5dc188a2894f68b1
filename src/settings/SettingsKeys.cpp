#include "settings/SettingsKeys.h"

namespace kestrel {
namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

qsizetype skipBlanks(QStringView text, qsizetype from)
{
    while (from < text.size() && isBlank(text.at(from)))
        ++from;
    return from;
}

} // namespace

const SettingKeyOrder &saveKeyOrder()
{
    static constexpr SettingKeyOrder order = {
        SettingKey::VOICECB,     SettingKey::FORMATCB,   SettingKey::AUDIOOUTPUTCB, SettingKey::CHKCONFIRM,
        SettingKey::RATESLDR,    SettingKey::VOLUMESLDR, SettingKey::CHKCLIPBOARD,  SettingKey::EXECUTING,
        SettingKey::SAYTEXT,     SettingKey::SAYAGAIN,   SettingKey::DIDYOUSAY,     SettingKey::CLEARIT,
        SettingKey::EXECANOUNCE, SettingKey::NOTFOUND,
    };
    return order;
}

const SettingKeyOrder &loadKeyOrder()
{
    static constexpr SettingKeyOrder order = {
        SettingKey::VOICECB,     SettingKey::CLEARIT,  SettingKey::FORMATCB,   SettingKey::AUDIOOUTPUTCB,
        SettingKey::CHKCONFIRM,  SettingKey::RATESLDR, SettingKey::VOLUMESLDR, SettingKey::CHKCLIPBOARD,
        SettingKey::EXECUTING,   SettingKey::SAYTEXT,  SettingKey::SAYAGAIN,   SettingKey::DIDYOUSAY,
        SettingKey::EXECANOUNCE, SettingKey::NOTFOUND,
    };
    return order;
}

QString settingKeyName(SettingKey key)
{
    switch (key) {
    case SettingKey::VOICECB:
        return QStringLiteral("VOICECB");
    case SettingKey::FORMATCB:
        return QStringLiteral("FORMATCB");
    case SettingKey::AUDIOOUTPUTCB:
        return QStringLiteral("AUDIOOUTPUTCB");
    case SettingKey::CHKCONFIRM:
        return QStringLiteral("CHKCONFIRM");
    case SettingKey::RATESLDR:
        return QStringLiteral("RATESLDR");
    case SettingKey::VOLUMESLDR:
        return QStringLiteral("VOLUMESLDR");
    case SettingKey::CHKCLIPBOARD:
        return QStringLiteral("CHKCLIPBOARD");
    case SettingKey::EXECUTING:
        return QStringLiteral("EXECUTING");
    case SettingKey::SAYTEXT:
        return QStringLiteral("SAYTEXT");
    case SettingKey::SAYAGAIN:
        return QStringLiteral("SAYAGAIN");
    case SettingKey::DIDYOUSAY:
        return QStringLiteral("DIDYOUSAY");
    case SettingKey::CLEARIT:
        return QStringLiteral("CLEARIT");
    case SettingKey::EXECANOUNCE:
        return QStringLiteral("EXECANOUNCE");
    case SettingKey::NOTFOUND:
        return QStringLiteral("NOTFOUND");
    }
    return {};
}

SettingConversion settingConversion(SettingKey key)
{
    switch (key) {
    case SettingKey::CHKCONFIRM:
    case SettingKey::CHKCLIPBOARD:
        return SettingConversion::WholeNumber16;
    case SettingKey::RATESLDR:
    case SettingKey::VOLUMESLDR:
        return SettingConversion::WholeNumber32;
    case SettingKey::EXECUTING:
    case SettingKey::SAYTEXT:
    case SettingKey::SAYAGAIN:
    case SettingKey::DIDYOUSAY:
        return SettingConversion::Text;
    case SettingKey::VOICECB:
    case SettingKey::FORMATCB:
    case SettingKey::AUDIOOUTPUTCB:
    case SettingKey::CLEARIT:
    case SettingKey::EXECANOUNCE:
    case SettingKey::NOTFOUND:
        break;
    }
    return SettingConversion::LeadingNumber;
}

std::optional<KeyLineMatch> matchKeyLine(QStringView line, const SettingKeyOrder &order)
{
    const qsizetype nameStart = skipBlanks(line, 0);
    const QStringView rest = line.mid(nameStart);
    for (SettingKey key : order) {
        const QString name = settingKeyName(key);
        if (!rest.startsWith(name, Qt::CaseInsensitive))
            continue;
        const qsizetype equals = skipBlanks(line, nameStart + name.size());
        if (equals < line.size() && line.at(equals) == QLatin1Char('='))
            return KeyLineMatch{key, equals + 1};
    }
    return std::nullopt;
}

} // namespace kestrel
