#include "tools/console.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "host/utf.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace addin::tools {

namespace {

bool utf8ToFiles = false;

#ifdef _WIN32
// wchar_t is UTF-16 on Windows.
std::wstring Wide(std::string_view utf8) {
  const Text text = Utf16(utf8);
  return std::wstring(text.begin(), text.end());
}

std::string Narrow(std::wstring_view wide, UINT codePage) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::wstring WithCrlf(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) out += L'\r';
    out += text[i];
  }
  return out;
}
#endif

}  // namespace

bool TakeCommonOptions(std::vector<std::string>& args) {
  const auto utf8 = std::remove(args.begin(), args.end(), "--utf8");
  if (utf8 != args.end()) utf8ToFiles = true;
  args.erase(utf8, args.end());
  return std::any_of(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h" || a == "/?"; });
}

void Write(Stream to, std::string_view text) {
#ifdef _WIN32
  HANDLE h = GetStdHandle(to == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
  const std::wstring wide = WithCrlf(Wide(text));
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(h, &mode)) {
    WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  UINT codePage = utf8ToFiles ? CP_UTF8 : GetConsoleOutputCP();
  if (codePage == 0) codePage = GetOEMCP();  // no console at all: the system's console code page
  const std::string bytes = Narrow(wide, codePage);
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
#else
  std::fwrite(text.data(), 1, text.size(), to == Stream::Out ? stdout : stderr);
#endif
}

std::string ReadWholeFile(const std::string& path) {
#ifdef _WIN32
  FILE* f = _wfopen(Wide(path).c_str(), L"rb");
#else
  FILE* f = std::fopen(path.c_str(), "rb");
#endif
  if (!f) throw std::runtime_error(path + ": не удаётся прочитать файл");
  std::string bytes;
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
  const bool failed = std::ferror(f);
  std::fclose(f);
  if (failed) throw std::runtime_error(path + ": не удаётся прочитать файл");
  return bytes;
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
#ifdef _WIN32
  FILE* f = _wfopen(Wide(path).c_str(), L"wb");
#else
  FILE* f = std::fopen(path.c_str(), "wb");
#endif
  bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok) throw std::runtime_error(path + ": не удаётся записать файл");
}

std::string PadRight(std::string_view utf8, std::size_t width) {
  std::size_t characters = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++characters;  // continuation bytes belong to the character before
  std::string out(utf8);
  if (characters < width) out.append(width - characters, ' ');
  return out;
}

}  // namespace addin::tools

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(addin::Utf8(addin::Text(argv[i], argv[i] + wcslen(argv[i]))));
  return ToolMain(std::move(args));
}
#else
int main(int argc, char** argv) { return ToolMain(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
