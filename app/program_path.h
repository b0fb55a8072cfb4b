// Which file the command line starts.
//
// The command is the unpacked program's path, target folder + the `Executable` value, perhaps
// followed by arguments, and nothing in it is quoted. Windows splits an unquoted command line at
// its blanks and tries each shorter prefix first, so with a temporary folder such as
// C:\Users\Anna Maria\AppData\Local\Temp\ it would look for C:\Users\Anna.exe before the real
// program: a file planted there would start in its place. The program's own part is therefore
// put in quotes here, while an `Executable` value that carries its own arguments
// (Executable=setup.exe /q) keeps them outside the quotes.
#pragma once

#include <string>

#include "host/function_ref.h"

using FilePresence = FunctionRef<bool(const std::string& path)>;

// command: the expanded command line; programFolder: the folder it was built from, ending in "\".
// The program is looked for inside programFolder only, the way Windows would look for it had
// the folder no blanks: the part after the folder is cut at each blank or tab, shortest first,
// and the first cut that names an existing file (or, without an extension, that file + ".exe")
// is the program; when none does, the cut at the first blank. An `Executable` that begins with
// a quote is taken up to the closing quote. A command that does not start with programFolder
// comes back unchanged.
std::string QuoteProgramPath(const std::string& command, const std::string& programFolder,
                             const FilePresence& isPresent);
