#include "tools/sfxpack/installer/code_page.h"

#include <algorithm>
#include <iterator>

#include "tools/sfxpack/cli/options.h"
#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/platform/tool_platform.h"

namespace {

const int kSupported[] = {874,  932,  936,  949,  950,  1250, 1251, 1252,
                          1253, 1254, 1255, 1256, 1257, 1258, kUtf8CodePage};

}  // namespace

bool IsSupportedCodePage(int codePage) {
  return std::find(std::begin(kSupported), std::end(kSupported), codePage) != std::end(kSupported);
}

std::string SupportedCodePagesText() {
  std::string text;
  for (int codePage : kSupported) text += (text.empty() ? "" : ", ") + std::to_string(codePage);
  return text;
}

// A converter may map a character to a look-alike (best fit) or lose it silently; only what
// comes back unchanged counts as written.
bool EncodeText(const std::string& utf8, int codePage, std::string& encoded) {
  if (codePage == kUtf8CodePage) {
    encoded = utf8;
    return true;
  }
  std::string back;
  return ConvertFromUtf8(utf8, codePage, encoded) && ConvertToUtf8(encoded, codePage, back) &&
         back == utf8;
}

bool DecodeText(const std::string& bytes, int codePage, std::string& utf8) {
  if (codePage == kUtf8CodePage) {
    utf8 = bytes;
    return true;
  }
  return ConvertToUtf8(bytes, codePage, utf8);
}

// UTF-8 never puts an ASCII byte inside a longer character, so any extra "\" or "|" in the
// encoded name is part of one.
std::string EncodedNameProblem(const std::string& utf8, const std::string& encoded, int codePage) {
  for (char c : {'\\', '|'}) {
    if (std::count(encoded.begin(), encoded.end(), c) > std::count(utf8.begin(), utf8.end(), c)) {
      return std::string("holds a character whose code page ") + std::to_string(codePage) +
             " form ends in the byte of \"" + c + "\", which the installer would take for that "
             "character; rename it or choose another code page with --codepage";
    }
  }
  return std::string();
}

std::optional<int> CodePageOption(const ParsedOptions& options) {
  if (!options.Has("--codepage")) return std::nullopt;
  const std::string text = options.Value("--codepage");
  const bool digits = !text.empty() && text.size() < 6 &&
                      text.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || !IsSupportedCodePage(std::stoi(text))) {
    throw EUsageError("--codepage knows " + SupportedCodePagesText() + ", not '" + text + "'");
  }
  return std::stoi(text);
}
