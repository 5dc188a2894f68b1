#pragma once

#include <QString>

namespace kestrel {

/// The parts of an OPEN row's action: `program[, directory][|keys]`.
struct OpenAction
{
    /// Program, document, folder or web address, without its enclosing quotes.
    QString program;
    /// Working directory, without its enclosing quotes; empty when none was given.
    QString directory;
    /// Keys to run once the program is up (action language), possibly empty.
    QString keys;
};

/// Splits off the keys at the first "|" from the third character on (a "|" in the
/// first two characters does not split), then removes one leading and one trailing
/// double quote from the program part. The directory is not split off yet: a
/// window that is already open needs only the program part.
OpenAction splitOpenKeys(const QString &action);

/// Splits `action.program` at its first comma into program and directory and
/// removes the quotes of both. A web address is left whole: a comma is a legal
/// character in it, and a web page has no working directory.
OpenAction splitOpenDirectory(OpenAction action);

/// True for a web address ("scheme://..."), which is opened without looking for
/// a file of that name.
bool isWebAddress(const QString &target);

} // namespace kestrel
