// Path helpers. Paths are held in the Windows form on every build: "\" and ":" split them,
// a forward slash is an ordinary character.
#pragma once

#include <string>

std::string DirectoryOf(const std::string& path);   // up to and including the last "\" or ":"
std::string FileNameOf(const std::string& path);    // after it, at most 255 characters
std::string ExtensionOf(const std::string& path);   // ".ext" or empty, at most 255 characters
std::string WithBackslash(const std::string& path); // appends "\" unless empty or already there
