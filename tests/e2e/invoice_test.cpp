// Operation 41 through the real DLL for a client without a main contract: a watcher finds the
// message box, checks its text, caption, icon and single button, saves a picture of it, and
// presses OK; filling then completes.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "AddIn.h"
#include "AddInLib.h"
#include "host/com_raii.h"
#include "host/com_variant.h"
#include "host/utf.h"
#include "sim/com_exposed.h"
#include "sim/model.h"

namespace addin::test {
namespace {

using com::ComPtr;

const char* kDay = R"({"date": "09.12.2026",
  "constants": {"Вода": 1, "Залог": 1, "ИспользоватьСвойстваКлиентов": "Нет"},
  "items": [{"code": 1, "name": "Вода"}],
  "firms": [{"code": 1, "name": "Родник", "inn": "7701", "prefix": "РД"}],
  "clients": [{"code": 1, "name": "Иванов И. И.", "type": 1, "kind": "ЧастноеЛицо", "contract": null}],
  "zones": [{"code": 1, "name": "Центр"}], "slots": [{"code": 1, "name": "Утро"}], "invoices": []})";

// What the watcher saw of the box.
struct Seen {
  std::wstring text, caption;
  bool informationIcon = false;
  int buttons = 0;
  bool okButton = false;
  std::string picture;  // where the picture was saved, if it was
};

BOOL CALLBACK CountButton(HWND child, LPARAM seen) {
  wchar_t cls[32];
  GetClassNameW(child, cls, 32);
  if (!lstrcmpiW(cls, L"Button") && IsWindowVisible(child)) {
    auto* s = reinterpret_cast<Seen*>(seen);
    ++s->buttons;
    s->okButton = s->okButton || GetDlgCtrlID(child) == IDOK;
  }
  return TRUE;
}

// Saves the window as a 24-bit BMP.
bool SavePicture(HWND window, const std::string& path) {
  RECT r;
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);  // the box is on top of the screen
  SelectObject(memory, old);
  BITMAPINFOHEADER info{sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const int stride = (w * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<size_t>(stride) * h);
  GetDIBits(memory, bitmap, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof info + pixels.size()), 0, 0,
                        sizeof(BITMAPFILEHEADER) + sizeof info};
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  return static_cast<bool>(out);
}

// Waits for this process's message box, looks at it, and presses OK.
void Watch(Seen& seen, std::atomic<bool>& done) {
  for (int i = 0; i < 300 && !done; ++i) {
    HWND box = nullptr;
    while ((box = FindWindowExW(nullptr, box, L"#32770", nullptr))) {
      DWORD pid = 0;
      GetWindowThreadProcessId(box, &pid);
      if (pid == GetCurrentProcessId() && IsWindowVisible(box)) break;
    }
    if (!box) {
      Sleep(100);
      continue;
    }
    Sleep(300);  // let it paint
    wchar_t buffer[512];
    GetDlgItemTextW(box, 0xFFFF, buffer, 512);
    seen.text = buffer;
    GetWindowTextW(box, buffer, 512);
    seen.caption = buffer;
    const HICON icon = reinterpret_cast<HICON>(SendDlgItemMessageW(box, 0x0440, STM_GETICON, 0, 0));
    seen.informationIcon = icon && icon == LoadIconW(nullptr, MAKEINTRESOURCEW(32516));
    EnumChildWindows(box, CountButton, reinterpret_cast<LPARAM>(&seen));
    if (const char* dir = std::getenv("ADDIN_E2E_OUT")) {
      const std::string path = std::string(dir) + "\\message-box.bmp";
      if (SavePicture(box, path)) seen.picture = path;
    }
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return;
  }
}

HRESULT Execute(ILanguageExtender& ext, std::vector<Value> params) {
  params.resize(9, Value::Null());
  SAFEARRAY* array = com::ToSafeArray(params);
  HRESULT hr = ext.CallAsProc(0, &array);
  SafeArrayDestroy(array);
  return hr;
}

TEST(InvoiceThroughTheDll, AClientWithoutMainContractGetsTheMessageBox) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  sim::ExposeSimulatedObjects();
  {
    auto model = sim::ParseDay(kDay, "invoice day");
    const auto before = model->RefCounts();
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(L"AddIn.AddInObj", &clsid), S_OK);
    ComPtr<ILanguageExtender> ext;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ILanguageExtender,
                               reinterpret_cast<void**>(ext.put())),
              S_OK);
    auto obj = [](HostObject& o) { return Value::Obj(ObjRef(&o)); };
    sim::Document& doc = model->NewInvoice();
    ASSERT_EQ(Execute(*ext.get(), {Value::I2(62), obj(*model->firms.elements[0])}), S_OK);
    ASSERT_EQ(Execute(*ext.get(), {Value::I2(66), Value::FromDate(46365)}), S_OK);

    Seen seen;
    std::atomic<bool> done{false};
    std::thread watcher(Watch, std::ref(seen), std::ref(done));
    const HRESULT filled = Execute(*ext.get(), {Value::I2(41), obj(doc), obj(model->firms), obj(*model->clients.elements[0]),
                                          obj(*model->zones.elements[0]), obj(*model->slots.elements[0])});
    done = true;
    watcher.join();

    EXPECT_EQ(filled, S_OK);
    EXPECT_EQ(seen.text, L"Для клиента Иванов И. И. не установлен основной договор!");
    EXPECT_EQ(seen.caption, L"AddIn");
    EXPECT_TRUE(seen.informationIcon);
    EXPECT_EQ(seen.buttons, 1);
    EXPECT_TRUE(seen.okButton);
    if (!seen.picture.empty()) std::printf("message box picture: %s\n", seen.picture.c_str());

    // Filling went on after the box closed.
    EXPECT_EQ(doc.members[u"НомерДок"], Value::Str(u"РД00000001"));
    EXPECT_EQ(doc.members[u"Клиент"], obj(*model->clients.elements[0]));
    EXPECT_EQ(doc.members[u"УчитыватьНП"], Value::I2(1));
    EXPECT_EQ(doc.members[u"СуммаВключаетНП"], Value::I2(0));
    EXPECT_EQ(doc.members.count(u"Договор"), 0u);
    ext = {};
    auto fields = doc.members;
    doc.members.clear();
    fields.clear();
    EXPECT_EQ(model->Unbalanced(before), std::vector<std::string>{});
  }
  CoUninitialize();
}

}  // namespace
}  // namespace addin::test
