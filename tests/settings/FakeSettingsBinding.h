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
class FakeSettingsBinding : public SettingsBinding
{
public:
    bool assignNumber(SettingKey key, qint32 value) override
    {
        m_attempts.append({key, QString::number(value)});
        const QPair<qint32, qint32> allowed = range(key);
        if (!m_numbers.contains(key) || value < allowed.first || value > allowed.second)
            return false;
        m_numbers[key] = value;
        return true;
    }
    bool assignText(SettingKey key, const QString &value) override
    {
        m_attempts.append({key, value});
        if (!m_texts.contains(key))
            return false;
        m_texts[key] = value;
        return true;
    }
    qint32 number(SettingKey key) const override { return m_numbers.value(key); }
    QString text(SettingKey key) const override { return m_texts.value(key); }

    void setNumber(SettingKey key, qint32 value) { m_numbers[key] = value; }
    void setText(SettingKey key, const QString &value) { m_texts[key] = value; }
    const QList<QPair<SettingKey, QString>> &attempts() const { return m_attempts; }
    bool sameValues(const FakeSettingsBinding &other) const
    {
        return m_numbers == other.m_numbers && m_texts == other.m_texts;
    }

private:
    static QPair<qint32, qint32> range(SettingKey key)
    {
        switch (key) {
        case SettingKey::VOICECB:
        case SettingKey::FORMATCB:
        case SettingKey::AUDIOOUTPUTCB:
            return {-1, 2};
        case SettingKey::RATESLDR:
            return {-10, 10};
        case SettingKey::VOLUMESLDR:
            return {0, 100};
        default:
            return {0, 2};
        }
    }

    QMap<SettingKey, qint32> m_numbers = {{SettingKey::VOICECB, 0},       {SettingKey::FORMATCB, 0},
                                          {SettingKey::AUDIOOUTPUTCB, 0}, {SettingKey::CHKCONFIRM, 0},
                                          {SettingKey::RATESLDR, 0},      {SettingKey::VOLUMESLDR, 100},
                                          {SettingKey::CHKCLIPBOARD, 0},  {SettingKey::CLEARIT, 0},
                                          {SettingKey::EXECANOUNCE, 0},   {SettingKey::NOTFOUND, 0}};
    QMap<SettingKey, QString> m_texts = {{SettingKey::EXECUTING, QStringLiteral("Executing")},
                                         {SettingKey::SAYTEXT, QStringLiteral("Say Text")},
                                         {SettingKey::SAYAGAIN, QStringLiteral("Please say again")},
                                         {SettingKey::DIDYOUSAY, QStringLiteral("Did You Say")}};
    QList<QPair<SettingKey, QString>> m_attempts;
};

} // namespace kestrel::test
