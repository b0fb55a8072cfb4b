// The configuration member (archive/config.h), written last into every installer. The stub
// reads it through the platform's profile functions, which trim blanks around values, drop
// one pair of enclosing quotes and see at most kConfigValueLimit characters; the writer keeps
// values intact under those rules. sfxpack reads it back with ParseConfiguration(content).
#pragma once

#include <string>

#include "archive/config.h"

// Why a value cannot be stored so that the stub reads it back unchanged; empty if it can.
std::string ConfigValueProblem(const std::string& value);

// The member's text: the section line, then the keys of kConfigKeys in their order, flags and
// numbers always, texts when not empty; CR LF after every line.
std::string ConfigurationText(const TConfiguration& config);
