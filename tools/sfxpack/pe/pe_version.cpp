#include "tools/sfxpack/pe/pe_version.h"

#include <algorithm>

#include "tools/sfxpack/pe/pe_bytes.h"

namespace {

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const uint8_t lead = static_cast<uint8_t>(text[i]);
    const int extra = lead < 0x80 ? 0 : lead >> 5 == 6 ? 1 : lead >> 4 == 14 ? 2 : lead >> 3 == 30 ? 3 : -1;
    uint32_t code = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
    bool valid = extra >= 0 && i + extra < text.size();
    for (int k = 1; valid && k <= extra; ++k) {
      const uint8_t next = static_cast<uint8_t>(text[i + k]);
      valid = next >> 6 == 2;
      code = code << 6 | (next & 0x3F);
    }
    if (!valid || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) {
      out.push_back(u'\xFFFD');
      ++i;
      continue;
    }
    i += 1 + extra;
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 | code >> 10));
      out.push_back(static_cast<char16_t>(0xDC00 | (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t code = text[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | code >> 6));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | code >> 12));
      out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | code >> 18));
      out.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return out;
}

constexpr size_t kFixedInfoSize = 52;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr int kVersionDepth = 6;

struct TVersionNode {
  std::u16string key;
  uint16_t type = 1;  // 1: the value is text, 0: binary
  Bytes value;
  std::vector<TVersionNode> children;
};

size_t Align4(size_t at) { return (at + 3) & ~size_t{3}; }

TVersionNode ParseVersionNode(const View& view, size_t at, size_t end, int depth) {
  if (depth > kVersionDepth) Reject("the version resource is nested too deep");
  const size_t length = view.U16(at);
  if (length < 6 || at + length > end) Reject("the version resource is malformed");
  const size_t nodeEnd = at + length;
  TVersionNode node;
  const uint16_t valueLength = view.U16(at + 2);
  node.type = view.U16(at + 4);
  size_t p = at + 6;
  for (;; p += 2) {
    if (p + 2 > nodeEnd) Reject("a version resource key is not terminated");
    const uint16_t c = view.U16(p);
    if (c == 0) break;
    node.key.push_back(c);
  }
  p = std::min(Align4(p + 2), nodeEnd);
  size_t valueSize = std::min<size_t>(node.type == 1 ? valueLength * 2u : valueLength, nodeEnd - p);
  // A text value cut short by its node's end keeps whole characters only, so that it is
  // written back with the length it has.
  if (node.type == 1) valueSize &= ~size_t{1};
  node.value = view.Copy(p, valueSize);
  for (p = Align4(p + valueSize); p + 6 <= nodeEnd;) {
    node.children.push_back(ParseVersionNode(view, p, nodeEnd, depth + 1));
    p = Align4(p + view.U16(p));
  }
  return node;
}

void AppendVersionNode(Bytes& out, const TVersionNode& node) {
  PadTo(out, 4);
  const size_t start = out.size();
  Append16(out, 0);
  Append16(out, static_cast<uint16_t>(node.type == 1 ? node.value.size() / 2 : node.value.size()));
  Append16(out, node.type);
  for (char16_t c : node.key) Append16(out, c);
  Append16(out, 0);
  PadTo(out, 4);
  out.insert(out.end(), node.value.begin(), node.value.end());
  for (const TVersionNode& child : node.children) AppendVersionNode(out, child);
  if (out.size() - start > 0xFFFF) Reject("the version resource grows too large");
  Put16(out, start, static_cast<uint16_t>(out.size() - start));
}

Bytes TextValue(const std::u16string& text) {
  Bytes value;
  for (char16_t c : text) Append16(value, c);
  Append16(value, 0);
  return value;
}

std::u16string TextOf(const Bytes& value) {
  std::u16string text;
  for (size_t i = 0; i + 1 < value.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(value[i] | value[i + 1] << 8);
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

TVersionNode& ChildNamed(TVersionNode& parent, const std::u16string& key, size_t insertAt) {
  for (TVersionNode& child : parent.children)
    if (child.key == key) return child;
  TVersionNode child;
  child.key = key;
  insertAt = std::min(insertAt, parent.children.size());
  return *parent.children.insert(parent.children.begin() + insertAt, child);
}

TVersionNode NewVersionInfo() {
  TVersionNode root;
  root.key = u"VS_VERSION_INFO";
  root.type = 0;
  root.value.assign(kFixedInfoSize, 0);
  Put32(root.value, 0, kFixedInfoSignature);
  Put32(root.value, 4, 0x00010000);
  Put32(root.value, 24, 0x3F);        // every file flag is meaningful
  Put32(root.value, 32, 0x00040004);  // Windows NT, 32-bit
  Put32(root.value, 36, 1);           // an application
  return root;
}

// "1.2.3.4" (one to four numbers below 65536) as the two 32-bit halves of a fixed version.
bool ParseFixedVersion(const std::string& text, uint32_t& high, uint32_t& low) {
  uint32_t parts[4] = {0, 0, 0, 0};
  size_t count = 0;
  size_t digits = 0;
  for (char c : text) {
    if (c == '.') {
      if (digits == 0 || ++count == 4) return false;
      digits = 0;
    } else if (c >= '0' && c <= '9' && digits < 5) {
      parts[count] = parts[count] * 10 + static_cast<uint32_t>(c - '0');
      if (parts[count] > 0xFFFF) return false;
      ++digits;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  high = parts[0] << 16 | parts[1];
  low = parts[2] << 16 | parts[3];
  return true;
}

void SetFixedVersion(TVersionNode& root, size_t field, const std::string& text) {
  uint32_t high = 0, low = 0;
  if (root.value.size() != kFixedInfoSize || View(root.value).U32(0) != kFixedInfoSignature ||
      !ParseFixedVersion(text, high, low))
    return;
  Put32(root.value, field, high);
  Put32(root.value, field + 4, low);
}

Bytes EditVersionResource(const Bytes* existing,
                          const std::vector<std::pair<std::string, std::string>>& strings) {
  TVersionNode root;
  if (existing != nullptr) {
    const View view(*existing);
    root = ParseVersionNode(view, 0, view.Size(), 0);
  } else {
    root = NewVersionInfo();
  }
  TVersionNode& fileInfo = ChildNamed(root, u"StringFileInfo", 0);
  if (fileInfo.children.empty()) {
    fileInfo.children.emplace_back();
    fileInfo.children.back().key = u"040904B0";
  }
  TVersionNode& table = fileInfo.children.front();
  for (const auto& [key, value] : strings) {
    TVersionNode& item = ChildNamed(table, Utf8ToUtf16(key), table.children.size());
    item.type = 1;
    item.value = TextValue(Utf8ToUtf16(value));
    item.children.clear();
    if (key == "FileVersion") SetFixedVersion(root, 8, value);
    if (key == "ProductVersion") SetFixedVersion(root, 16, value);
  }
  TVersionNode& varInfo = ChildNamed(root, u"VarFileInfo", root.children.size());
  if (varInfo.children.empty()) {
    // The translation that names the string table, so that the shell finds its strings.
    uint32_t code = 0;
    for (char16_t c : table.key.substr(0, 8)) {
      const int digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
      code = code << 4 | static_cast<uint32_t>(digit & 0xF);
    }
    TVersionNode translation;
    translation.key = u"Translation";
    translation.type = 0;
    Append16(translation.value, static_cast<uint16_t>(code >> 16));
    Append16(translation.value, static_cast<uint16_t>(code));
    varInfo.children.push_back(translation);
  }
  Bytes out;
  AppendVersionNode(out, root);
  return out;
}

}  // namespace

void SetVersionStrings(ResourceTree& tree,
                       const std::vector<std::pair<std::string, std::string>>& strings) {
  NameMap& versions = tree[TResourceKey::Id(kResourceVersion)];
  if (versions.empty()) {
    versions[TResourceKey::Id(1)][TResourceKey::Id(0)].bytes = EditVersionResource(nullptr, strings);
    return;
  }
  for (auto& [name, languages] : versions)
    for (auto& [language, data] : languages) data.bytes = EditVersionResource(&data.bytes, strings);
}

std::string VersionString(const Bytes& versionResource, const std::string& key) {
  const View view(versionResource);
  TVersionNode root = ParseVersionNode(view, 0, view.Size(), 0);
  for (const TVersionNode& info : root.children) {
    if (info.key != u"StringFileInfo" || info.children.empty()) continue;
    for (const TVersionNode& item : info.children.front().children)
      if (item.key == Utf8ToUtf16(key)) return Utf16ToUtf8(TextOf(item.value));
  }
  return std::string();
}
