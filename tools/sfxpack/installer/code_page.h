// The text of an archive's names and configuration values. The Windows stubs hand them to the
// ANSI file and profile functions, which read them in the system's code page, so the builder
// writes them in the code page of the systems an installer is made for and records it in the
// configuration (CodePage=N). The native stub keeps them in UTF-8 (65001), its system's own
// text. The tool itself works in UTF-8 on every platform.
#pragma once

#include <optional>
#include <string>

class ParsedOptions;

constexpr int kDefaultCodePage = 1252;  // also what an archive without CodePage= means
constexpr int kUtf8CodePage = 65001;

bool IsSupportedCodePage(int codePage);
std::string SupportedCodePagesText();  // "874, 932, ..., 65001"

// UTF-8 into the code page; false when a character has no exact counterpart there.
bool EncodeText(const std::string& utf8, int codePage, std::string& encoded);

// Bytes in the code page into UTF-8; false when they are not text in that code page.
bool DecodeText(const std::string& bytes, int codePage, std::string& utf8);

// Why a member name, `encoded` from `utf8`, would not reach Windows as written: a double-byte
// character whose second byte is "\" or "|", which the installer's byte-wise path handling
// takes for the ASCII character. Empty when there is no such problem.
std::string EncodedNameProblem(const std::string& utf8, const std::string& encoded, int codePage);

// The --codepage option of create, list, test and extract; nullopt when not given.
std::optional<int> CodePageOption(const ParsedOptions& options);
