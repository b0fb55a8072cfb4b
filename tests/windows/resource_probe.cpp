// Reads a program's resources the way Windows does, through the system's own resource and
// version functions, and prints what it finds, one "key value" line each:
//
//   resource_probe.exe PROGRAM [REPORT]   -> stdout, or the file REPORT; "@" for REPORT
//                                            writes PROGRAM.probe.txt (for a run from an
//                                            installer, whose command has one "<AD>" only)
//
// icon-group (name of the first group), icon-count, icon-images (how many of the group's
// images were found as icons), icon-created (1 when the system made an icon from the best
// image for 32 x 32), dialog (1 when "QZProgressClass" is there), string-1, fixed-file-version,
// and "version NAME VALUE" for each standard version string.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

FILE* out = stdout;

BOOL CALLBACK FirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
  auto* text = reinterpret_cast<std::string*>(found);
  *text = IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : name;
  return FALSE;
}

const BYTE* Resource(HMODULE module, LPCSTR name, LPCSTR type, DWORD& size) {
  HRSRC found = FindResourceA(module, name, type);
  if (found == nullptr) return nullptr;
  size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  return loaded == nullptr ? nullptr : static_cast<const BYTE*>(LockResource(loaded));
}

void ProbeIcons(HMODULE module) {
  std::string group;
  EnumResourceNamesA(module, RT_GROUP_ICON, FirstName, reinterpret_cast<LONG_PTR>(&group));
  std::fprintf(out, "icon-group %s\n", group.empty() ? "-" : group.c_str());
  if (group.empty()) return;
  const LPCSTR name = group[0] == '#' ? MAKEINTRESOURCEA(std::stoi(group.substr(1))) : group.c_str();
  DWORD size = 0;
  const BYTE* directory = Resource(module, name, RT_GROUP_ICON, size);
  if (directory == nullptr || size < 6) return;
  const int count = directory[4] | directory[5] << 8;
  std::fprintf(out, "icon-count %d\n", count);
  int images = 0;
  for (int i = 0; i < count && 6u + (i + 1) * 14u <= size; ++i) {
    const BYTE* entry = directory + 6 + i * 14;
    DWORD imageSize = 0;
    if (Resource(module, MAKEINTRESOURCEA(entry[12] | entry[13] << 8), RT_ICON, imageSize) &&
        imageSize == static_cast<DWORD>(entry[8] | entry[9] << 8 | entry[10] << 16 | entry[11] << 24))
      ++images;
  }
  std::fprintf(out, "icon-images %d\n", images);
  const int best = LookupIconIdFromDirectoryEx(const_cast<BYTE*>(directory), TRUE, 32, 32, 0);
  DWORD imageSize = 0;
  const BYTE* image = best ? Resource(module, MAKEINTRESOURCEA(best), RT_ICON, imageSize) : nullptr;
  HICON icon = image ? CreateIconFromResourceEx(const_cast<BYTE*>(image), imageSize, TRUE,
                                                0x00030000, 32, 32, 0)
                     : nullptr;
  std::fprintf(out, "icon-created %d\n", icon != nullptr ? 1 : 0);
  if (icon != nullptr) DestroyIcon(icon);
}

void ProbeVersion(const char* path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) {
    std::fprintf(out, "version-info none\n");
    return;
  }
  std::string data(size, '\0');
  if (!GetFileVersionInfoA(path, 0, size, &data[0])) return;
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueA(&data[0], "\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    std::fprintf(out, "fixed-file-version %u.%u.%u.%u\n", HIWORD(fixed->dwFileVersionMS),
                 LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                 LOWORD(fixed->dwFileVersionLS));
  }
  if (!VerQueryValueA(&data[0], "\\VarFileInfo\\Translation", &value, &length) || length < 4) {
    std::fprintf(out, "translation none\n");
    return;
  }
  const WORD* translation = static_cast<const WORD*>(value);
  char table[64];
  std::snprintf(table, sizeof table, "\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
  for (const char* key : {"FileDescription", "ProductName", "FileVersion", "ProductVersion",
                          "OriginalFilename", "CompanyName", "LegalCopyright"}) {
    if (VerQueryValueA(&data[0], (std::string(table) + key).c_str(), &value, &length) && length > 0)
      std::fprintf(out, "version %s %s\n", key, static_cast<const char*>(value));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: resource_probe PROGRAM [REPORT]\n");
    return 2;
  }
  if (argc > 2) {
    const std::string report = std::string(argv[2]) == "@" ? std::string(argv[1]) + ".probe.txt" : argv[2];
    if ((out = std::fopen(report.c_str(), "w")) == nullptr) return 2;
  }
  HMODULE module = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) {
    std::fprintf(out, "load-failed %lu\n", GetLastError());
    return 1;
  }
  ProbeIcons(module);
  DWORD size = 0;
  std::fprintf(out, "dialog %d\n", Resource(module, "QZProgressClass", RT_DIALOG, size) ? 1 : 0);
  char text[64] = "";
  LoadStringA(module, 1, text, sizeof text);
  std::fprintf(out, "string-1 %s\n", text);
  FreeLibrary(module);
  ProbeVersion(argv[1]);
  std::fprintf(out, "probe-done\n");
  return std::fclose(out) == 0 ? 0 : 1;
}
