// The real DLL driven the way the platform drives it: created by ProgID, started through
// IInitDone, used through ILanguageExtender by vtable, stopped and released.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "AddIn.h"
#include "AddInLib.h"
#include "host/com_raii.h"
#include "test_object.h"

namespace addin::test {
namespace {

using com::ComPtr;
using com::UniqueBstr;

// Which build of the test host runs, for the log: the 32-bit one is the platform's case.
[[maybe_unused]] const bool kShown = [] {
  std::printf("test host: %d-bit, pointers of %d bytes\n", static_cast<int>(sizeof(void*) * 8),
              static_cast<int>(sizeof(void*)));
  return true;
}();

constexpr HRESULT kOutOfRange = static_cast<HRESULT>(0x800A0009);
constexpr HRESULT kTypeMismatch = static_cast<HRESULT>(0x800A000D);
constexpr HRESULT kObjectRequired = static_cast<HRESULT>(0x800A01A8);

// A one-dimensional array of VARIANTs, all Null, owned by the test.
struct Array {
  Array(LONG lower, ULONG count) {
    SAFEARRAYBOUND b{count, lower};
    sa = SafeArrayCreate(VT_VARIANT, 1, &b);
    for (ULONG i = 0; i < count; ++i) {
      VARIANT n;
      VariantInit(&n);
      V_VT(&n) = VT_NULL;
      Put(lower + static_cast<LONG>(i), n);
    }
  }
  ~Array() {
    if (sa) SafeArrayDestroy(sa);
  }
  void Put(LONG index, VARIANT v) {  // takes the value over
    SafeArrayPutElement(sa, &index, &v);
    VariantClear(&v);
  }
  VARIANT Get(LONG index) const {
    VARIANT v;
    VariantInit(&v);
    SafeArrayGetElement(sa, &index, &v);
    return v;
  }
  SAFEARRAY* sa = nullptr;
};

// Plays DebugView: the DBWIN_BUFFER shared memory and its two events. A writer waits for the
// buffer to be ready, so Listen() comes before every call that may write a line.
class DebugView {
 public:
  DebugView()
      : bufferReady_(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY")),
        dataReady_(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY")),
        mapping_(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER")),
        view_(mapping_ ? static_cast<const char*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 4096)) : nullptr) {}
  ~DebugView() {
    if (view_) UnmapViewOfFile(view_);
    for (HANDLE h : {mapping_, dataReady_, bufferReady_})
      if (h) CloseHandle(h);
  }
  bool ready() const { return bufferReady_ && dataReady_ && view_; }
  void Listen() { SetEvent(bufferReady_); }
  // The line written since Listen(), as the ANSI bytes DebugView gets; "(nothing)" when none came.
  std::string Line(DWORD wait = 5000) {
    if (WaitForSingleObject(dataReady_, wait) != WAIT_OBJECT_0) return "(nothing)";
    writer_ = *reinterpret_cast<const DWORD*>(view_);
    return view_ + sizeof(DWORD);
  }
  DWORD writer() const { return writer_; }
  // What a description becomes there: its line in the ANSI code page.
  static std::string Expected(const std::wstring& description) {
    const std::wstring line = description + L"\n";
    std::string ansi(line.size() * 2 + 1, '\0');
    const int n = WideCharToMultiByte(CP_ACP, 0, line.c_str(), -1, ansi.data(), static_cast<int>(ansi.size()),
                                      nullptr, nullptr);
    ansi.resize(n > 0 ? n - 1 : 0);
    return ansi;
  }

 private:
  HANDLE bufferReady_, dataReady_, mapping_;
  const char* view_;
  DWORD writer_ = 0;
};

class Host : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(L"AddIn.AddInObj", &clsid), S_OK);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitDone,
                               reinterpret_cast<void**>(init.put())),
              S_OK);
    ASSERT_EQ(init->QueryInterface(IID_ILanguageExtender, reinterpret_cast<void**>(ext.put())), S_OK);
  }
  void TearDown() override {
    init = {};
    ext = {};
    CoUninitialize();
  }

  VARTYPE ResultType() {
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(ext->GetPropVal(0, &v), S_OK);
    VARTYPE vt = V_VT(&v);
    VariantClear(&v);
    return vt;
  }

  std::wstring ThreadError() { return ThreadErrorFrom(L"AddIn.AddInObj"); }

  ComPtr<IInitDone> init;
  ComPtr<ILanguageExtender> ext;
};

TEST_F(Host, LifeCycleAsThePlatformPlaysIt) {
  TestObject conn;
  ASSERT_EQ(init->Init(&conn), S_OK);
  EXPECT_GE(conn.refs(), 1);

  Array info(0, 3);
  SAFEARRAY* infoArray = info.sa;
  ASSERT_EQ(init->GetInfo(&infoArray), S_OK);
  VARIANT first = info.Get(0);
  ASSERT_EQ(V_VT(&first), VT_BSTR);
  EXPECT_STREQ(V_BSTR(&first), L"1000");
  VariantClear(&first);

  UniqueBstr name;
  ASSERT_EQ(ext->RegisterExtensionAs(name.put()), S_OK);
  EXPECT_STREQ(name.get(), L"Security");

  const std::pair<const wchar_t*, LONG> methods[] = {{L"Execute", 0}, {L"Выполнить", 0}, {L"execute", -1}};
  for (auto [m, expected] : methods) {
    UniqueBstr b(SysAllocString(m));
    LONG pos = 99;
    EXPECT_EQ(ext->FindMethod(b.get(), &pos), S_OK);
    EXPECT_EQ(pos, expected) << std::wstring(m).size();
  }
  LONG n = 0;
  ASSERT_EQ(ext->GetNParams(0, &n), S_OK);
  EXPECT_EQ(n, 9);
  for (LONG p = 0; p < n; ++p) {
    VARIANT def;
    VariantInit(&def);
    EXPECT_EQ(ext->GetParamDefValue(0, p, &def), S_OK);
    EXPECT_EQ(V_VT(&def), VT_NULL);
  }
  LONG ret = 5;
  EXPECT_EQ(ext->HasRetVal(0, &ret), S_OK);
  EXPECT_EQ(ret, 0);

  const std::pair<const wchar_t*, LONG> props[] = {
      {L"IsResult", 0}, {L"Результат", 0}, {L"результат", -1}, {L"Result", -1}};
  for (auto [p, expected] : props) {
    UniqueBstr b(SysAllocString(p));
    LONG num = 99;
    EXPECT_EQ(ext->FindProp(b.get(), &num), S_OK);
    EXPECT_EQ(num, expected);
  }
  LONG readable = 0;
  EXPECT_EQ(ext->IsPropReadable(0, &readable), S_OK);
  EXPECT_EQ(readable, -1);
  EXPECT_EQ(ResultType(), VT_EMPTY);  // a new object

  Array params(0, 9);
  params.Put(0, I4(61));
  SAFEARRAY* paramArray = params.sa;
  EXPECT_EQ(ext->CallAsProc(0, &paramArray), S_OK);
  EXPECT_EQ(ResultType(), VT_NULL);

  ASSERT_EQ(init->Done(), S_OK);
  EXPECT_EQ(conn.refs(), 0);
  EXPECT_TRUE(conn.calls.empty());  // nothing of the host was needed

  HMODULE dll = GetModuleHandleW(L"AddIn.dll");
  ASSERT_NE(dll, nullptr);
  auto canUnload = Export<HRESULT(STDAPICALLTYPE*)()>(dll, "DllCanUnloadNow");
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), S_FALSE);  // the object is alive
  init = {};
  ext = {};
  EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(Host, BadArgumentArraysGetTheirFailureStatus) {
  TestObject obj;
  auto objectParams = [&](VARIANT code) {
    auto a = std::make_unique<Array>(0, 9);
    a->Put(0, code);
    for (LONG i = 1; i < 9; ++i) a->Put(i, Obj(&obj));
    return a;
  };
  struct Case {
    const char* what;
    std::unique_ptr<Array> params;
    HRESULT status;
    const wchar_t* description = L"";  // the thread's error information after the call
  };
  std::vector<Case> cases;
  cases.push_back({"lower bound 1", objectParams(I4(13)), kOutOfRange,
                   L"Security.Выполнить: ошибка 9 (индекс вне диапазона): в массиве параметров нет элемента 0"});
  cases.back().params = std::make_unique<Array>(1, 9);
  cases.push_back({"number where an object is expected", std::make_unique<Array>(0, 9), kObjectRequired,
                   L"Security.Выполнить(26): ошибка 424 (требуется объект): элемент 1 массива параметров не объект, а 5"});
  cases.back().params->Put(0, I4(26));
  cases.back().params->Put(1, I4(5));
  cases.push_back({"number in element 4 of 13", objectParams(I4(13)), kObjectRequired,
                   L"Security.Выполнить(13): ошибка 424 (требуется объект): элемент 4 массива параметров не объект, а 5"});
  cases.back().params->Put(4, I4(5));
  cases.push_back({"Empty code", std::make_unique<Array>(0, 9), S_OK});
  cases.back().params->Put(0, VARIANT{});
  cases.push_back({"Null code", std::make_unique<Array>(0, 9), S_OK});
  cases.push_back({"text code that is a number", std::make_unique<Array>(0, 9), kObjectRequired,
                   L"Security.Выполнить(26): ошибка 424 (требуется объект): элемент 1 массива параметров не объект, а Null"});
  cases.back().params->Put(0, Str(L"26"));
  cases.push_back({"text code that is no number", std::make_unique<Array>(0, 9), kTypeMismatch,
                   L"Security.Выполнить: ошибка 13 (несоответствие типа): код операции в элементе 0 не число"});
  cases.back().params->Put(0, Str(L"abc"));
  cases.push_back({"too short for 13", std::make_unique<Array>(0, 3), kOutOfRange,
                   L"Security.Выполнить(13): ошибка 9 (индекс вне диапазона): в массиве параметров нет элемента 5"});
  cases.back().params->Put(0, I4(13));
  cases.push_back({"code 70", std::make_unique<Array>(0, 9), S_OK});
  cases.back().params->Put(0, I4(70));
  cases.push_back({"Null order rows", std::make_unique<Array>(0, 9), static_cast<HRESULT>(0x800A005E),
                   L"Security.Выполнить(63): ошибка 94 (недопустимое использование Null): строки заявок не текст и не "
                   L"число"});
  cases.back().params->Put(0, I4(63));
  cases.push_back({"the sheet before Init", objectParams(I4(13)), static_cast<HRESULT>(0x800A005B),
                   L"Security.Выполнить(13): ошибка 91 (объектная переменная не задана): компонента не запущена (Init) "
                   L"или уже остановлена (Done)"});

  DebugView debugView;
  ASSERT_TRUE(debugView.ready());
  // Each failed Execute's line reaches a listening debugger; nothing else writes one.
  auto debuggerLine = [&](const std::wstring& description) {
    return description.empty() ? debugView.Line(0) == "(nothing)"
                               : debugView.Line() == DebugView::Expected(description);
  };
  for (auto& c : cases) {
    const long refsBefore = obj.refs();
    SAFEARRAY* sa = c.params->sa;
    debugView.Listen();
    EXPECT_EQ(ext->CallAsProc(0, &sa), c.status) << c.what;
    EXPECT_EQ(ThreadError(), c.description) << c.what;
    EXPECT_TRUE(debuggerLine(c.description)) << c.what;
    EXPECT_EQ(ResultType(), VT_NULL) << c.what;
    EXPECT_EQ(obj.refs(), refsBefore) << c.what;
    c.params.reset();
  }
  EXPECT_EQ(obj.refs(), 0);
  EXPECT_TRUE(obj.calls.empty());

  const std::wstring noArray = L"Security.Выполнить: ошибка 9 (индекс вне диапазона): массив параметров не передан";
  const std::wstring badInfo =
      L"IInitDone.GetInfo: ошибка 9 (индекс вне диапазона): массив не передан, не одномерный или без элемента 0";
  debugView.Listen();
  EXPECT_EQ(ext->CallAsProc(0, nullptr), kOutOfRange);
  EXPECT_EQ(ThreadError(), noArray);
  EXPECT_TRUE(debuggerLine(noArray));
  SAFEARRAY* none = nullptr;
  debugView.Listen();
  EXPECT_EQ(ext->CallAsProc(0, &none), kOutOfRange);
  EXPECT_EQ(ThreadError(), noArray);
  EXPECT_TRUE(debuggerLine(noArray));

  SAFEARRAYBOUND two[2] = {{9, 0}, {2, 0}};
  SAFEARRAY* twoDims = SafeArrayCreate(VT_VARIANT, 2, two);
  const std::wstring twoDimsWords =
      L"Security.Выполнить: ошибка 9 (индекс вне диапазона): в массиве параметров нет элемента 0 (массив не "
      L"одномерный)";
  debugView.Listen();
  EXPECT_EQ(ext->CallAsProc(0, &twoDims), kOutOfRange);
  EXPECT_EQ(ThreadError(), twoDimsWords);
  EXPECT_TRUE(debuggerLine(twoDimsWords));
  debugView.Listen();
  EXPECT_EQ(init->GetInfo(&twoDims), kOutOfRange);
  EXPECT_EQ(ThreadError(), badInfo);
  EXPECT_TRUE(debuggerLine(L"")) << "GetInfo is no Execute";
  SafeArrayDestroy(twoDims);

  SAFEARRAYBOUND nine{9, 0};
  SAFEARRAY* longs = SafeArrayCreate(VT_I4, 1, &nine);
  const std::wstring longsWords =
      L"Security.Выполнить: ошибка 9 (индекс вне диапазона): в массиве параметров нет элемента 0 (массив не "
      L"из значений)";
  debugView.Listen();
  EXPECT_EQ(ext->CallAsProc(0, &longs), kOutOfRange);
  EXPECT_EQ(ThreadError(), longsWords);
  EXPECT_TRUE(debuggerLine(longsWords));
  SafeArrayDestroy(longs);

  Array info(1, 2);
  SAFEARRAY* infoArray = info.sa;
  EXPECT_EQ(init->GetInfo(&infoArray), kOutOfRange);
  VARIANT untouched = info.Get(1);
  EXPECT_EQ(V_VT(&untouched), VT_NULL);
  EXPECT_EQ(init->GetInfo(nullptr), kOutOfRange);
  EXPECT_EQ(ThreadError(), badInfo);

  debugView.Listen();
  EXPECT_EQ(ext->GetNProps(nullptr), E_POINTER);
  EXPECT_EQ(ThreadError(), L"ILanguageExtender.GetNProps: ошибка 0x80004003 (пустой указатель)");
  EXPECT_TRUE(debuggerLine(L"")) << "GetNProps is no Execute";
  EXPECT_EQ(ext->RegisterExtensionAs(nullptr), E_POINTER);
  LONG n = 0;
  EXPECT_EQ(ext->GetNProps(&n), S_OK);
  EXPECT_EQ(ThreadError(), L"");  // a success leaves nothing stale

  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(ext->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(support.put())), S_OK);
  for (REFIID iid : {IID_IInitDone, IID_ILanguageExtender, IID__AddInObj})
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(iid), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
}

// A failed Execute writes its line where DebugView reads it: the DBWIN_BUFFER shared memory, in
// the ANSI code page (Cyrillic on a Russian system); a success writes nothing. Every failure
// family's line is checked by the two tables around this test. ADDIN_EXPECT_ACP names the code
// page the run must have (1251 under LC_ALL=ru_RU.UTF-8).
TEST_F(Host, AFailedExecuteWritesItsLineWhereDebugViewReadsIt) {
  if (const char* acp = std::getenv("ADDIN_EXPECT_ACP")) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(acp)));
  }
  DebugView debugView;
  ASSERT_TRUE(debugView.ready());
  Array params(0, 9);
  params.Put(0, I4(26));
  params.Put(1, I4(5));
  SAFEARRAY* sa = params.sa;
  debugView.Listen();
  EXPECT_EQ(ext->CallAsProc(0, &sa), kObjectRequired);
  EXPECT_EQ(debugView.Line(), DebugView::Expected(L"Security.Выполнить(26): ошибка 424 (требуется объект): элемент "
                                                  L"1 массива параметров не объект, а 5"))
      << "code page " << GetACP();
  EXPECT_EQ(debugView.writer(), GetCurrentProcessId());
  Array none(0, 9);
  none.Put(0, I4(61));
  sa = none.sa;
  debugView.Listen();
  EXPECT_EQ(ext->CallAsProc(0, &sa), S_OK);
  EXPECT_EQ(debugView.Line(0), "(nothing)");
}

// The routines' failures through the real boundary: each family's status as before, its words
// on the thread, in the debugger's output and in the dispatch interface's exception.
TEST_F(Host, RoutineFailuresAreDescribedOnTheThread) {
  TestObject conn;
  ASSERT_EQ(init->Init(&conn), S_OK);  // the schedule key's default
  const std::wstring longText(10000, L'я');
  const struct Row {
    const char* family;
    std::function<void(TestObject& holder)> prepare;
    LONG code;
    HRESULT status;
    std::wstring description;
  } rows[] = {
      {"a week schedule field that is no number",
       [](TestObject& h) { h.SetMember(L"ДеньНедели", Str(L"00a056")); }, 26, kTypeMismatch,
       L"Security.Выполнить(26): ошибка 13 (несоответствие типа): поле дня в тексте \"ДеньНедели\" не читается как "
       L"число у дня Понедельник"},
      {"a quantity that does not fit its field", [](TestObject& h) { h.SetMember(L"б3", I4(-50)); }, 36,
       static_cast<HRESULT>(0x800A0005),
       L"Security.Выполнить(36): ошибка 5 (недопустимый аргумент): количество дня не помещается в поле текста "
       L"\"ДеньНедели\" у дня Среда"},
      {"a quantity outside 32 bits",
       [](TestObject& h) {
         VARIANT big;
         VariantInit(&big);
         V_VT(&big) = VT_R8;
         V_R8(&big) = 1e10;
         h.SetMember(L"б2", big);
       },
       36, static_cast<HRESULT>(0x800A0006),
       L"Security.Выполнить(36): ошибка 6 (переполнение) при чтении \"б2\" у дня Вторник"},
      {"a host member missing", nullptr, 37, static_cast<HRESULT>(0x80020006),
       L"Security.Выполнить(37): ошибка платформы 0x80020006 (неизвестное имя) при чтении \"ДеньНедели\""},
      {"a host call failing without words",
       [](TestObject& h) { h.SetMethod(L"б1", [](DISPPARAMS*, VARIANT*) { return E_FAIL; }); }, 36, E_FAIL,
       L"Security.Выполнить(36): ошибка платформы 0x80004005 (сбой) при чтении \"б1\" у дня Понедельник"},
      {"a host's exception with line breaks",
       [](TestObject& h) {
         h.SetMember(L"ДеньНедели", Str(L"000056000292000168001376001056005568001024"));
         h.SetException(L"Суббота", static_cast<HRESULT>(0x800A000D), L"Реквизит только для чтения\r\nМодуль: Форма");
       },
       37, kTypeMismatch,
       L"Security.Выполнить(37): ошибка 13 (несоответствие типа) при записи \"Суббота\" у дня Суббота: Реквизит "
       L"только для чтения  Модуль: Форма"},
      {"a host's words of 10,000 characters",
       [&](TestObject& h) { h.SetException(L"ДеньНедели", E_FAIL, longText); }, 26, E_FAIL,
       L"Security.Выполнить(26): ошибка платформы 0x80004005 (сбой) при чтении \"ДеньНедели\": " +
           std::wstring(500, L'я') + L"…"},
  };
  DebugView debugView;
  ASSERT_TRUE(debugView.ready());
  // The dispatch surface, as a script client calls Execute: _AddInObj's Invoke with the array in
  // a variable passed by reference; the failure comes back as its exception.
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(ext->QueryInterface(IID__AddInObj, reinterpret_cast<void**>(dispatch.put())), S_OK);
  auto invoke = [&](SAFEARRAY* params, EXCEPINFO& excep) {
    VARIANT array;
    VariantInit(&array);
    V_VT(&array) = VT_ARRAY | VT_VARIANT;
    SafeArrayCopy(params, &V_ARRAY(&array));
    VARIANTARG args[2];  // in reverse order
    VariantInit(&args[0]);
    V_VT(&args[0]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[0]) = &array;
    VariantInit(&args[1]);
    V_VT(&args[1]) = VT_I4;
    V_I4(&args[1]) = 0;
    DISPPARAMS dp{args, nullptr, 2, 0};
    UINT argErr = 0;
    const HRESULT hr = dispatch->Invoke(18, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, nullptr, &excep, &argErr);
    VariantClear(&array);
    return hr;
  };
  for (const Row& r : rows) {
    TestObject holder;
    for (const wchar_t* q : {L"б1", L"б2", L"б3", L"б4", L"б5", L"б6", L"б7"}) holder.SetMember(q, I4(1));
    for (const wchar_t* d : {L"Понедельник", L"Вторник", L"Среда", L"Четверг", L"Пятница", L"Суббота", L"Воскресенье"})
      if (!(r.code == 37 && std::wstring(d) == L"Суббота")) holder.SetMember(d, I4(0));
    if (r.prepare) r.prepare(holder);
    Array params(0, 9);
    params.Put(0, I4(r.code));
    params.Put(1, Obj(&holder));
    SAFEARRAY* sa = params.sa;
    debugView.Listen();
    EXPECT_EQ(ext->CallAsProc(0, &sa), r.status) << r.family;
    EXPECT_EQ(ThreadError(), r.description) << r.family;
    EXPECT_EQ(debugView.Line(), DebugView::Expected(r.description)) << r.family;
    EXCEPINFO excep{};
    debugView.Listen();
    EXPECT_EQ(invoke(params.sa, excep), DISP_E_EXCEPTION) << r.family;
    EXPECT_EQ(excep.scode, r.status) << r.family;
    EXPECT_EQ(std::wstring(excep.bstrSource ? excep.bstrSource : L""), L"AddIn.AddInObj") << r.family;
    EXPECT_EQ(std::wstring(excep.bstrDescription ? excep.bstrDescription : L""), r.description) << r.family;
    EXPECT_EQ(debugView.Line(), DebugView::Expected(r.description)) << r.family << " (dispatch)";
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    params.Put(1, I4(0));
    EXPECT_EQ(holder.refs(), 0) << r.family;
  }
  ASSERT_EQ(init->Done(), S_OK);
}

#if defined(__i386__)
// A 32-bit caller relies on the callee popping its arguments (stdcall), as the platform's own
// code does: a method that leaves them on the stack shifts every later stack access of the
// platform. Each method is called by vtable slot, and the stack pointer is compared with what
// the convention leaves.
struct StdcallCall {
  void* fn;
  void* self;
  std::uintptr_t args[3];  // all three are pushed; the method pops self and its own
  long before, after;
  HRESULT hr;
};
static_assert(offsetof(StdcallCall, args) == 8 && offsetof(StdcallCall, before) == 20 &&
              offsetof(StdcallCall, after) == 24 && offsetof(StdcallCall, hr) == 28);

// The bytes left on the stack beyond what the convention leaves: 0 when the method keeps it.
long StackLeft(void* object, int slot, int argCount, std::uintptr_t a0 = 0, std::uintptr_t a1 = 0,
               std::uintptr_t a2 = 0, HRESULT* hr = nullptr) {
  StdcallCall call{(*static_cast<void***>(object))[slot], object, {a0, a1, a2}, 0, 0, 0};
  asm volatile(
      "movl %%esp, 20(%%ebx)\n\t"
      "pushl 16(%%ebx)\n\t"
      "pushl 12(%%ebx)\n\t"
      "pushl 8(%%ebx)\n\t"
      "pushl 4(%%ebx)\n\t"
      "call *(%%ebx)\n\t"
      "movl %%esp, 24(%%ebx)\n\t"
      "movl 20(%%ebx), %%esp\n\t"
      "movl %%eax, 28(%%ebx)\n\t"
      :
      : "b"(&call)
      : "eax", "ecx", "edx", "memory", "cc");
  if (hr) *hr = call.hr;
  return (call.before - 4 * (3 - argCount)) - call.after;
}

TEST_F(Host, EveryMethodPopsItsArgumentsAsA32BitHostExpects) {
  TestObject conn;
  auto w = [](auto* p) { return reinterpret_cast<std::uintptr_t>(p); };
  LONG n = 0;
  BSTR text = nullptr;
  VARIANT v;
  VariantInit(&v);
  UniqueBstr name(SysAllocString(L"Execute"));
  Array info(0, 3), params(0, 9);
  params.Put(0, I4(61));
  SAFEARRAY* infoArray = info.sa;
  SAFEARRAY* paramArray = params.sa;
  struct Slot {
    void* object;
    int slot, argCount;
    std::uintptr_t a0, a1, a2;
    const char* name;
  };
  const Slot slots[] = {
      {init.get(), 3, 1, w(&conn), 0, 0, "IInitDone::Init"},
      {init.get(), 5, 1, w(&infoArray), 0, 0, "IInitDone::GetInfo"},
      {ext.get(), 3, 1, w(&text), 0, 0, "RegisterExtensionAs"},
      {ext.get(), 4, 1, w(&n), 0, 0, "GetNProps"},
      {ext.get(), 5, 2, w(name.get()), w(&n), 0, "FindProp"},
      {ext.get(), 6, 3, 0, 0, w(&text), "GetPropName"},
      {ext.get(), 7, 2, 0, w(&v), 0, "GetPropVal"},
      {ext.get(), 8, 2, 1, w(&v), 0, "SetPropVal"},
      {ext.get(), 9, 2, 0, w(&n), 0, "IsPropReadable"},
      {ext.get(), 10, 2, 0, w(&n), 0, "IsPropWritable"},
      {ext.get(), 11, 1, w(&n), 0, 0, "GetNMethods"},
      {ext.get(), 12, 2, w(name.get()), w(&n), 0, "FindMethod"},
      {ext.get(), 13, 3, 0, 0, w(&text), "GetMethodName"},
      {ext.get(), 14, 2, 0, w(&n), 0, "GetNParams"},
      {ext.get(), 15, 3, 0, 0, w(&v), "GetParamDefValue"},
      {ext.get(), 16, 2, 0, w(&n), 0, "HasRetVal"},
      {ext.get(), 17, 2, 0, w(&paramArray), 0, "CallAsProc"},
      {ext.get(), 18, 3, 0, w(&v), w(&paramArray), "CallAsFunc"},
      {init.get(), 4, 0, 0, 0, 0, "IInitDone::Done"},
  };
  for (const Slot& s : slots) {
    HRESULT hr = E_FAIL;
    EXPECT_EQ(StackLeft(s.object, s.slot, s.argCount, s.a0, s.a1, s.a2, &hr), 0) << s.name;
    if (text) SysFreeString(text), text = nullptr;
    VariantClear(&v);
  }
  EXPECT_EQ(conn.refs(), 0);
}
#endif

TEST_F(Host, NamesAndFlagsThroughTheRealBoundary) {
  const struct {
    LONG pos, alias;
    const wchar_t* prop;
    const wchar_t* method;
  } cases[] = {{0, 0, L"IsResult", L"Execute"}, {0, 7, L"Результат", L"Выполнить"}, {1, 0, L"IsParam", L""},
               {2, 0, L"", L""}};
  for (const auto& c : cases) {
    UniqueBstr prop(SysAllocString(L"stale")), method;
    EXPECT_EQ(ext->GetPropName(c.pos, c.alias, prop.put()), S_OK);
    EXPECT_EQ(ext->GetMethodName(c.pos, c.alias, method.put()), S_OK);
    EXPECT_STREQ(prop.get() ? prop.get() : L"", c.prop);
    EXPECT_STREQ(method.get() ? method.get() : L"", c.method);
  }
  LONG flag = 55;
  EXPECT_EQ(ext->IsPropWritable(0, &flag), S_OK);
  EXPECT_EQ(flag, 0);
  flag = 55;
  EXPECT_EQ(ext->IsPropReadable(2, &flag), S_OK);
  EXPECT_EQ(flag, 55);
  VARIANT five = I4(5);
  EXPECT_EQ(ext->SetPropVal(0, &five), S_OK);
  EXPECT_EQ(ResultType(), VT_EMPTY);
  LONG count = 0;
  EXPECT_EQ(ext->GetNProps(&count), S_OK);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(ext->GetNMethods(&count), S_OK);
  EXPECT_EQ(count, 1);
}

}  // namespace
}  // namespace addin::test
