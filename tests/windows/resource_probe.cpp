// resource_probe.exe PROGRAM [REPORT]: reads PROGRAM's resources through the system's own
// functions and prints "key value" lines: icon-count, icon-images (of the first group, found as
// icons), icon-created (from the best image for 32 x 32), dialog, string-1, fixed-file-version,
// "version NAME VALUE". REPORT "@" is PROGRAM.probe.txt (an installer's command has one "<AD>").
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

FILE* out = stdout;

// The first name as FindResourceA takes it ("#12" for a number).
BOOL CALLBACK FirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
  *reinterpret_cast<std::string*>(found) =
      IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : name;
  return FALSE;
}

const BYTE* Resource(HMODULE module, LPCSTR name, LPCSTR type, DWORD& size) {
  HRSRC found = FindResourceA(module, name, type);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  size = found ? SizeofResource(module, found) : 0;
  return loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
}

void ProbeIcons(HMODULE module) {
  std::string group = "#0";
  EnumResourceNamesA(module, RT_GROUP_ICON, FirstName, reinterpret_cast<LONG_PTR>(&group));
  DWORD size = 0, imageSize = 0;
  const BYTE* directory = Resource(module, group.c_str(), RT_GROUP_ICON, size);
  if (directory == nullptr || size < 6) return;
  const int count = directory[4] | directory[5] << 8;
  int images = 0;
  for (int i = 0; i < count && 6u + (i + 1) * 14u <= size; ++i) {
    const BYTE* entry = directory + 6 + i * 14;
    if (Resource(module, MAKEINTRESOURCEA(entry[12] | entry[13] << 8), RT_ICON, imageSize) &&
        imageSize == *reinterpret_cast<const DWORD*>(entry + 8))
      ++images;
  }
  const int best = LookupIconIdFromDirectoryEx(const_cast<BYTE*>(directory), TRUE, 32, 32, 0);
  const BYTE* image = best ? Resource(module, MAKEINTRESOURCEA(best), RT_ICON, imageSize) : nullptr;
  HICON icon = image ? CreateIconFromResourceEx(const_cast<BYTE*>(image), imageSize, TRUE,
                                                0x00030000, 32, 32, 0) : nullptr;
  std::fprintf(out, "icon-count %d\nicon-images %d\nicon-created %d\n", count, images, icon ? 1 : 0);
  if (icon != nullptr) DestroyIcon(icon);
}

void ProbeVersion(const char* path) {
  DWORD ignored = 0;
  std::string data(GetFileVersionInfoSizeA(path, &ignored), '\0');
  void* value = nullptr;
  UINT length = 0;
  if (data.empty() || !GetFileVersionInfoA(path, 0, static_cast<DWORD>(data.size()), &data[0])) return;
  if (VerQueryValueA(&data[0], "\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
    const auto* f = static_cast<const VS_FIXEDFILEINFO*>(value);
    std::fprintf(out, "fixed-file-version %u.%u.%u.%u\n", HIWORD(f->dwFileVersionMS),
                 LOWORD(f->dwFileVersionMS), HIWORD(f->dwFileVersionLS), LOWORD(f->dwFileVersionLS));
  }
  if (!VerQueryValueA(&data[0], "\\VarFileInfo\\Translation", &value, &length) || length < 4) return;
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
  if (argc < 2) return 2;
  const std::string report = argc < 3 ? "" : std::string(argv[2]) == "@" ? std::string(argv[1]) + ".probe.txt" : argv[2];
  if (!report.empty() && (out = std::fopen(report.c_str(), "w")) == nullptr) return 2;
  HMODULE module = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return 1;
  ProbeIcons(module);
  DWORD size = 0;
  char text[64] = "";
  LoadStringA(module, 1, text, sizeof text);
  const bool dialog = Resource(module, "QZProgressClass", RT_DIALOG, size) != nullptr;
  std::fprintf(out, "dialog %d\nstring-1 %s\n", dialog ? 1 : 0, text);
  FreeLibrary(module);
  ProbeVersion(argv[1]);
  std::fprintf(out, "probe-done\n");
  return std::fclose(out) == 0 ? 0 : 1;
}
