#pragma once

#include "settings/SettingsBinding.h"

#include <QString>

namespace kestrel {

/// The settings file and its temporary, in the working directory unless a path says otherwise.
inline QString settingsFileName()
{
    return QStringLiteral("KESTREL.INI");
}
inline QString settingsTempName()
{
    return QStringLiteral("ALLTMP");
}

/// Reads the settings file at `path` into the controls behind `binding`.
///
/// Lines are KEY=VALUE in the system's 8-bit encoding (UTF-8 on Linux); a line
/// that is not text in it is read as Windows-1252, and a file that starts with a
/// UTF-16 or UTF-32 byte order mark is read in that encoding (values are saved
/// in the system's). Each key line gives its key's control a value; a value the
/// control refuses, or a number that does not convert, is skipped without a word
/// and the control keeps its state. Returns false, touching nothing, when the
/// file does not exist. Throws kestrel::Failure when it exists but cannot be read.
bool LoadDat(const QString &path, SettingsBinding &binding);
bool LoadDat(SettingsBinding &binding);

/// Writes the controls behind `binding` to the settings file at `path`.
///
/// Lines of the old file keep their places: a key's line is replaced by its
/// current setting line, any other line is kept upper-cased; keys the file
/// lacked are appended in table order. The new content is written to ALLTMP
/// beside the file, flushed to disk and renamed over the file, so that at every
/// moment the file holds either the old or the new content in full.
///
/// Throws kestrel::Failure, naming the file and the reason, when the old file
/// exists but cannot be read or the new one cannot be written; the old file is
/// then left as it was.
void SaveDat(const QString &path, const SettingsBinding &binding);
void SaveDat(const SettingsBinding &binding);

} // namespace kestrel
