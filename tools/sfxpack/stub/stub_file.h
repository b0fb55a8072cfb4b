// Reading a stub to put an archive behind it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The stub's bytes with its own size written into its offset digits, so that the archive
// appended right behind it is found. Raises EPackError for an unreadable file, for one too
// large for nine digits, and, when `requireDigits` is set, for one without offset digits;
// otherwise such a stub is taken as it is and `hasDigits` is cleared.
std::vector<uint8_t> LoadStubForInstaller(const std::string& path, bool requireDigits,
                                          bool& hasDigits);
