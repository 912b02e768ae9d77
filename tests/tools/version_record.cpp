// version_record <program>: prints a Windows program's version record as read
// through GetFileVersionInfoW and VerQueryValueW, its string 1 and whether it
// holds icon group 1, one "key=value" a line.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Narrow(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n - 1 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: version_record <program>\n");
    return 2;
  }
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(argv[1], &handle);
  std::vector<unsigned char> data(size);
  if (!size || !GetFileVersionInfoW(argv[1], 0, size, data.data())) {
    std::fprintf(stderr, "version_record: no version record\n");
    return 1;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
    std::printf("FileVersion#=%u.%u.%u.%u\n", unsigned(HIWORD(fixed->dwFileVersionMS)),
                unsigned(LOWORD(fixed->dwFileVersionMS)), unsigned(HIWORD(fixed->dwFileVersionLS)),
                unsigned(LOWORD(fixed->dwFileVersionLS)));
    std::printf("ProductVersion#=%u.%u.%u.%u\n", unsigned(HIWORD(fixed->dwProductVersionMS)),
                unsigned(LOWORD(fixed->dwProductVersionMS)), unsigned(HIWORD(fixed->dwProductVersionLS)),
                unsigned(LOWORD(fixed->dwProductVersionLS)));
    std::printf("FileType=%u\n", unsigned(fixed->dwFileType));
  }
  WORD* translation = nullptr;
  if (VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) &&
      length >= 4)
    std::printf("Translation=%04X%04X\n", translation[0], translation[1]);
  for (const wchar_t* key : {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",
                             L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
    const std::wstring query = std::wstring(L"\\StringFileInfo\\080404B0\\") + key;
    wchar_t* value = nullptr;
    if (VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && value)
      std::printf("%s=%s\n", Narrow(key).c_str(), Narrow(value).c_str());
  }
  HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module) {
    wchar_t text[256] = L"";
    LoadStringW(module, 1, text, 256);
    std::printf("String1=%s\n", Narrow(text).c_str());
    std::printf("IconGroup1=%s\n", FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)) ? "yes" : "no");
    FreeLibrary(module);
  }
  return 0;
}
