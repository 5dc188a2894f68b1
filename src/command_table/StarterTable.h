#pragma once

#include "command_table/CommandRow.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace kestrel {

/// Looks a program name up the way a launch would (on PATH); returns an empty
/// string when it is not installed.
using ProgramFinder = std::function<QString(const QString &program)>;

/// The finder used outside tests: QStandardPaths::findExecutable.
ProgramFinder installedProgramFinder();

/// The first of `candidates` that `finder` reports as installed; the first
/// candidate when none is, so the row still names a sensible program and a launch
/// answers "Could not find the program named ..." instead of doing something odd.
QString firstInstalled(const QStringList &candidates, const ProgramFinder &finder);

/// Rows a new command table starts with: enough to open a terminal, an editor and
/// a browser, drive the pointer, and reach every built-in phrase of the
/// interpreter. Programs are chosen from what is installed when the table is made.
///
/// Phrases avoid the words SELECT and CURSOR except in the built-in rows of those
/// names, because the lookup cuts any phrase containing them down to that word
/// (a row "SELECT ALL" could never be reached).
QList<CommandRow> starterRows(const ProgramFinder &finder);

/// Phrases the starter rows use for the programs other rows name as Parent.
inline constexpr const char *StarterTerminalPhrase = "OPEN TERMINAL";
inline constexpr const char *StarterEditorPhrase = "OPEN EDITOR";
inline constexpr const char *StarterBrowserPhrase = "BROWSER";

} // namespace kestrel
