// The component's COM registration: which keys and values it consists of, in which scope they
// go, and how they come out again. The registry itself is behind a small interface, so that the
// choices (already registered, machine-wide refused, another failure) are the same code on
// Windows and in the native tests.
#pragma once

#include <optional>
#include <vector>

#include "host/runtime_error.h"
#include "host/value.h"

namespace addin::registration {

// Where classes are registered: for every user of the machine (HKLM\Software\Classes) or for
// the current user only (HKCU\Software\Classes, which Windows consults first for that user).
enum class Scope { Machine, User };

// Windows' own error codes that the choices depend on.
inline constexpr long kSuccess = 0;
inline constexpr long kFileNotFound = 2;
inline constexpr long kAccessDenied = 5;
inline constexpr long kInvalidParameter = 87;

constexpr Status StatusOfWin32Error(long code) {
  return code == kSuccess ? kOk : static_cast<Status>(0x80070000U | (static_cast<std::uint32_t>(code) & 0xFFFFU));
}
inline constexpr Status kAccessDeniedStatus = StatusOfWin32Error(kAccessDenied);

// The classes of one scope, in this module's own registry view. Keys are relative to
// "Software\Classes"; an empty value name is the key's default value. Every call returns a
// Windows error code, kSuccess when it worked.
class Registry {
 public:
  virtual ~Registry() = default;
  virtual std::optional<Text> Read(Scope scope, const Text& key, const Text& name) = 0;
  virtual bool HasKey(Scope scope, const Text& key) = 0;
  // The same key in the other bitness's view (the 32-bit view for a 64-bit module and the
  // other way round); false where there is only one view.
  virtual bool HasKeyInOtherView(Scope scope, const Text& key) = 0;
  // Creates the key and the keys above it as needed.
  virtual long Write(Scope scope, const Text& key, const Text& name, const Text& data) = 0;
  virtual long DeleteValue(Scope scope, const Text& key, const Text& name) = 0;
  // With everything under it when `tree`, otherwise only an empty key. A key that is not there
  // is kSuccess.
  virtual long DeleteKey(Scope scope, const Text& key, bool tree) = 0;
  // Whether two module paths name the same file, as Windows compares them.
  virtual bool SameFile(const Text& a, const Text& b) = 0;
};

// What is registered: the module that serves the class and the identifiers of the class, its
// library and its interfaces, as registry texts ("{...}").
struct Interface {
  Text iid, name;
  bool dual;  // marshalled from the type library; a pure dispatch interface otherwise
};
struct Module {
  Text path;  // as the loader reports it, whatever its characters and length
  bool win64 = false;
  Text clsid, libid;
  std::vector<Interface> interfaces;
};

// One value of the registration.
struct Entry {
  Text key, name, data;
  bool path = false;  // data names a file or folder: compared as Windows compares paths
};

// Every value of the registration of this module: the class, its ProgID, the type library and
// its interfaces.
std::vector<Entry> Entries(const Module& module);

// Whether the scope holds a registration of this very module: every value present with its data.
bool IsRegistered(Registry& registry, Scope scope, const Module& module);

// DllRegisterServer: nothing is written when either scope already holds this module; otherwise
// machine-wide, and for the current user when the machine-wide classes refuse the write.
// Another failure is returned as its status, with what this call wrote removed again.
Status RegisterMachineWide(Registry& registry, const Module& module);
// regsvr32 /n /i:user: the current user's classes only.
Status RegisterForUser(Registry& registry, const Module& module);

// Removes the component's entries from one scope; with the other bitness still registered
// there, the entries both bitnesses share (the ProgID, the type library) stay.
Status UnregisterScope(Registry& registry, Scope scope, const Module& module);
// DllUnregisterServer: both scopes. Access denied only when a machine-wide registration of this
// module remains; the user's own entries go whatever the machine-wide ones do.
Status UnregisterAll(Registry& registry, const Module& module);

}  // namespace addin::registration
