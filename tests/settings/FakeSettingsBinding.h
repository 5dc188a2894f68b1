#pragma once

#include "settings/SettingsBinding.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

namespace kestrel::test {

/// The controls of the two setup windows as plain values, starting as the windows
/// do. Numeric controls refuse values outside their range as the real ones do
/// (lists of three entries with -1 for none, check boxes 0 to 2, sliders -10..10
/// and 0..100). Every attempted assignment is recorded, so a test can tell a
/// value the conversion dropped from one the control refused.
struct FakeSettingsBinding : SettingsBinding
{
    bool assignNumber(SettingKey key, qint32 value) override
    {
        attempts.append({key, QString::number(value)});
        if (!numbers.contains(key) || !inRange(key, value))
            return false;
        numbers[key] = value;
        return true;
    }
    bool assignText(SettingKey key, const QString &value) override
    {
        attempts.append({key, value});
        if (!texts.contains(key))
            return false;
        texts[key] = value;
        return true;
    }
    qint32 number(SettingKey key) const override { return numbers.value(key); }
    QString text(SettingKey key) const override { return texts.value(key); }

    static bool inRange(SettingKey key, qint32 value)
    {
        if (key == SettingKey::RATESLDR)
            return value >= -10 && value <= 10;
        if (key == SettingKey::VOLUMESLDR)
            return value >= 0 && value <= 100;
        const bool list =
            key == SettingKey::VOICECB || key == SettingKey::FORMATCB || key == SettingKey::AUDIOOUTPUTCB;
        return value >= (list ? -1 : 0) && value <= 2;
    }

    QMap<SettingKey, qint32> numbers = {{SettingKey::VOICECB, 0},       {SettingKey::FORMATCB, 0},
                                        {SettingKey::AUDIOOUTPUTCB, 0}, {SettingKey::CHKCONFIRM, 0},
                                        {SettingKey::RATESLDR, 0},      {SettingKey::VOLUMESLDR, 100},
                                        {SettingKey::CHKCLIPBOARD, 0},  {SettingKey::CLEARIT, 0},
                                        {SettingKey::EXECANOUNCE, 0},   {SettingKey::NOTFOUND, 0}};
    QMap<SettingKey, QString> texts = {{SettingKey::EXECUTING, QStringLiteral("Executing")},
                                       {SettingKey::SAYTEXT, QStringLiteral("Say Text")},
                                       {SettingKey::SAYAGAIN, QStringLiteral("Please say again")},
                                       {SettingKey::DIDYOUSAY, QStringLiteral("Did You Say")}};
    QList<QPair<SettingKey, QString>> attempts;
};

} // namespace kestrel::test
