// The library's registration entry points, on the registry of the machine.
#pragma once

#include <windows.h>

#include <string>

namespace addin::com {

extern HINSTANCE g_module;

// The DLL's own path as the loader reports it, of any length and characters.
std::wstring ModuleFileName();

HRESULT RegisterServer();
HRESULT UnregisterServer();
// DllInstall: "user" registers (or removes) for the current user only; "machine" or no text
// does what DllRegisterServer (DllUnregisterServer) does.
HRESULT Install(bool install, const wchar_t* scope);

}  // namespace addin::com
