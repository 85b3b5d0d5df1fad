// The DLL's version resource, as Windows shows it in the file's properties: the project's version
// number, in Russian and language-neutral string tables.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace addin::test {
namespace {

std::wstring Widen(const char* s) { return std::wstring(s, s + std::char_traits<char>::length(s)); }

TEST(VersionResource, ShowsTheProjectsVersion) {
  const char* dll = std::getenv("ADDIN_DLL");
  ASSERT_TRUE(dll) << "ADDIN_DLL names the DLL";
  const std::wstring path = Widen(dll);
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> data(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), ADDIN_VERSION_MAJOR);
  EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), ADDIN_VERSION_MINOR);
  EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), ADDIN_VERSION_PATCH);
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

  auto text = [&](const wchar_t* table, const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT chars = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\") + table + L"\\" + name;
    if (!VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &chars) || !value)
      return std::wstring(L"(none)");
    return std::wstring(value);
  };
  const std::wstring version = Widen(ADDIN_VERSION_TEXT);
  for (const wchar_t* table : {L"041904B0", L"000004B0"}) {
    EXPECT_EQ(text(table, L"FileVersion"), version);
    EXPECT_EQ(text(table, L"ProductVersion"), version);
    EXPECT_EQ(text(table, L"ProductName"), L"AddIn");
    EXPECT_EQ(text(table, L"OriginalFilename"), L"AddIn.dll");
  }
  EXPECT_EQ(text(L"041904B0", L"FileDescription"),
            L"Внешняя компонента Security (AddIn.AddInObj) для 1С:Предприятия 7.7");
  EXPECT_EQ(text(L"000004B0", L"FileDescription"), L"Security add-in (AddIn.AddInObj) for 1C:Enterprise 7.7");
}

}  // namespace
}  // namespace addin::test
