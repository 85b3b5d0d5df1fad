// The type libraries embedded in the DLL: names, version, enumerations, the nineteen methods of
// _AddInObj, and vtable slots of the host interfaces that match the C++ declarations.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "AddIn.h"
#include "AddInLib.h"
#include "host/com_raii.h"

namespace addin::test {
namespace {

using com::ComPtr;
using com::UniqueBstr;

std::wstring DllPath(const char* variable) {
  const char* p = std::getenv(variable);
  if (!p) return {};
  std::string s(p);
  return std::wstring(s.begin(), s.end());
}

std::wstring Name(ITypeInfo* info, MEMBERID id) {
  UniqueBstr name;
  info->GetDocumentation(id, name.put(), nullptr, nullptr, nullptr);
  return name.get() ? name.get() : L"";
}

// The functions of an interface as (name, vtable offset).
std::vector<std::pair<std::wstring, int>> Functions(ITypeInfo* info) {
  std::vector<std::pair<std::wstring, int>> out;
  TYPEATTR* attr = nullptr;
  info->GetTypeAttr(&attr);
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* fd = nullptr;
    info->GetFuncDesc(i, &fd);
    out.emplace_back(Name(info, fd->memid), fd->oVft);
    info->ReleaseFuncDesc(fd);
  }
  info->ReleaseTypeAttr(attr);
  return out;
}

std::vector<std::pair<std::wstring, long>> EnumValues(ITypeInfo* info) {
  std::vector<std::pair<std::wstring, long>> out;
  TYPEATTR* attr = nullptr;
  info->GetTypeAttr(&attr);
  for (UINT i = 0; i < attr->cVars; ++i) {
    VARDESC* vd = nullptr;
    info->GetVarDesc(i, &vd);
    VARIANT v;
    VariantInit(&v);
    VariantChangeType(&v, vd->lpvarValue, 0, VT_I4);
    out.emplace_back(Name(info, vd->memid), V_I4(&v));
    info->ReleaseVarDesc(vd);
  }
  info->ReleaseTypeAttr(attr);
  return out;
}

const wchar_t* const kMethods[19] = {
    L"IInitDone_Init", L"IInitDone_Done", L"IInitDone_GetInfo",
    L"ILanguageExtender_RegisterExtensionAs", L"ILanguageExtender_GetNProps", L"ILanguageExtender_FindProp",
    L"ILanguageExtender_GetPropName", L"ILanguageExtender_GetPropVal", L"ILanguageExtender_SetPropVal",
    L"ILanguageExtender_IsPropReadable", L"ILanguageExtender_IsPropWritable", L"ILanguageExtender_GetNMethods",
    L"ILanguageExtender_FindMethod", L"ILanguageExtender_GetMethodName", L"ILanguageExtender_GetNParams",
    L"ILanguageExtender_GetParamDefValue", L"ILanguageExtender_HasRetVal", L"ILanguageExtender_CallAsProc",
    L"ILanguageExtender_CallAsFunc"};

// Offsets are reported in the reading process's pointer size, whatever the library's bitness.
void CheckLibraries(const std::wstring& dll, SYSKIND syskind) {
  const int pointerSize = sizeof(void*);
  ComPtr<ITypeLib> lib;
  ASSERT_EQ(LoadTypeLibEx(dll.c_str(), REGKIND_NONE, lib.put()), S_OK);
  UniqueBstr name, doc;
  lib->GetDocumentation(-1, name.put(), doc.put(), nullptr, nullptr);
  EXPECT_STREQ(name.get(), L"AddIn");
  EXPECT_STREQ(doc.get(), L"Tarvel");
  TLIBATTR* attr = nullptr;
  lib->GetLibAttr(&attr);
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->syskind, syskind);
  lib->ReleaseTLibAttr(attr);

  ComPtr<ITypeInfo> props, methods, dispatch, vtable, events, coclass;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_AddInObj, coclass.put()), S_OK);
  ASSERT_EQ(lib->GetTypeInfoOfGuid(IID__AddInObj, dispatch.put()), S_OK);
  ASSERT_EQ(lib->GetTypeInfoOfGuid(DIID___AddInObj, events.put()), S_OK);
  for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
    ComPtr<ITypeInfo> t;
    lib->GetTypeInfo(i, t.put());
    std::wstring n = Name(t.get(), MEMBERID_NIL);
    if (n == L"Props") props = t;
    if (n == L"Methods") methods = t;
  }
  ASSERT_TRUE(props && methods);
  EXPECT_EQ(EnumValues(props.get()),
            (std::vector<std::pair<std::wstring, long>>{{L"propIsResult", 0}, {L"propIsParam", 1}, {L"LastProp", 2}}));
  EXPECT_EQ(EnumValues(methods.get()),
            (std::vector<std::pair<std::wstring, long>>{{L"methExecute", 0}, {L"LastMethod", 1}}));
  EXPECT_TRUE(Functions(events.get()).empty());

  // The dual interface's vtable part: IDispatch's seven slots first, then the nineteen methods.
  HREFTYPE ref = 0;
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(-1, &ref), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeInfo(ref, vtable.put()), S_OK);
  auto funcs = Functions(vtable.get());
  ASSERT_EQ(funcs.size(), 19u);
  for (int i = 0; i < 19; ++i) {
    EXPECT_EQ(funcs[i].first, kMethods[i]);
    EXPECT_EQ(funcs[i].second, (7 + i) * pointerSize) << i;
  }

  // The host interfaces, library 2 of the DLL: slots after IUnknown's three, in the host's order.
  ComPtr<ITypeLib> host;
  ASSERT_EQ(LoadTypeLibEx((dll + L"\\2").c_str(), REGKIND_NONE, host.put()), S_OK);
  ComPtr<ITypeInfo> initDone, extender;
  ASSERT_EQ(host->GetTypeInfoOfGuid(IID_IInitDone, initDone.put()), S_OK);
  ASSERT_EQ(host->GetTypeInfoOfGuid(IID_ILanguageExtender, extender.put()), S_OK);
  auto slots = Functions(initDone.get());
  auto more = Functions(extender.get());
  slots.insert(slots.end(), more.begin(), more.end());
  ASSERT_EQ(slots.size(), 19u);
  for (int i = 0; i < 19; ++i) {
    std::wstring expected = kMethods[i];
    EXPECT_EQ(slots[i].first, expected.substr(expected.find(L'_') + 1));
    EXPECT_EQ(slots[i].second, ((i < 3 ? i : i - 3) + 3) * pointerSize) << i;
  }
}

TEST(TypeLibrary, OfTheDllUnderTest) {
  std::wstring dll = DllPath("ADDIN_DLL");
  ASSERT_FALSE(dll.empty()) << "ADDIN_DLL names the DLL";
  CheckLibraries(dll, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
}

TEST(TypeLibrary, OfThe32BitProduct) {
  std::wstring dll = DllPath("ADDIN_DLL32");
  if (dll.empty()) GTEST_SKIP() << "ADDIN_DLL32 not given";
  CheckLibraries(dll, SYS_WIN32);
}

}  // namespace
}  // namespace addin::test
