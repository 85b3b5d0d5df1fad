// Registry entries of the class, its ProgID and its type library.
#pragma once

#include <windows.h>

namespace addin::com {

extern HINSTANCE g_module;

HRESULT RegisterServer();
HRESULT UnregisterServer();

}  // namespace addin::com
