#pragma once

#include "FakeSettingsBinding.h"

#include <QByteArray>
#include <QString>

namespace kestrel::test {

/// The two sets of values the save loop alternates between. Long texts and many
/// extra lines make each save big enough that a kill often lands inside one.
inline FakeSettingsBinding saveLoopValues(int which)
{
    FakeSettingsBinding binding;
    const QChar fill = which == 0 ? QLatin1Char('a') : QLatin1Char('b');
    binding.setNumber(SettingKey::VOICECB, which);
    binding.setNumber(SettingKey::RATESLDR, which == 0 ? -5 : 5);
    binding.setText(SettingKey::EXECUTING, QString(250, fill));
    binding.setText(SettingKey::SAYTEXT, QString(250, fill));
    binding.setText(SettingKey::SAYAGAIN, QString(250, fill));
    binding.setText(SettingKey::DIDYOUSAY, QString(250, fill));
    return binding;
}

inline QByteArray saveLoopStartFile()
{
    QByteArray file;
    for (int line = 0; line < 4000; ++line)
        file += "COMMENT LINE " + QByteArray::number(line) + " " + QByteArray(60, 'X') + "\r\n";
    return file;
}

} // namespace kestrel::test
