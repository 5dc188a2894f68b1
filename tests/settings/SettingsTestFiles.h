#pragma once

#include "FakeSettingsBinding.h"

#include <QByteArray>
#include <QFile>

namespace kestrel::test {

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// The two sets of values the save loop alternates between. Long texts and a
/// start file of many extra lines make each save big enough that a kill often
/// lands inside one.
inline FakeSettingsBinding saveLoopValues(int which)
{
    FakeSettingsBinding binding;
    binding.numbers[SettingKey::VOICECB] = which;
    binding.numbers[SettingKey::RATESLDR] = which == 0 ? -5 : 5;
    for (QString &text : binding.texts)
        text = QString(250, which == 0 ? QLatin1Char('a') : QLatin1Char('b'));
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
