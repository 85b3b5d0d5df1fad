// The real message box of the Windows build: modal, information icon, one OK button, owned by
// the host's active window.
#include <windows.h>

#include "invoices/message_box.h"

namespace addin::com {

namespace {

class WindowsInformationBox final : public InformationBox {
 public:
  void ShowInformation(const Text& caption, const Text& text) override {
    MessageBoxW(GetActiveWindow(), reinterpret_cast<const wchar_t*>(text.c_str()),
                reinterpret_cast<const wchar_t*>(caption.c_str()), MB_OK | MB_ICONINFORMATION);
  }
};

WindowsInformationBox g_box;

}  // namespace

void InstallInformationBox() { SetInformationBox(&g_box); }

}  // namespace addin::com
