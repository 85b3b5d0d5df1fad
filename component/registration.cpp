#include "component/registration.h"

#include <algorithm>

namespace addin::registration {

namespace {

constexpr TextView kProgId = u"AddIn.AddInObj";
constexpr TextView kClassName = u"AddInObj";
constexpr TextView kLibraryDescription = u"Tarvel";
constexpr TextView kVersion = u"1.0";
// The marshallers Windows registers for a type library's interfaces: the one driven by the
// library for dual interfaces, the one of IDispatch for pure dispatch interfaces.
constexpr TextView kTypeLibMarshaller = u"{00020424-0000-0000-C000-000000000046}";
constexpr TextView kDispatchMarshaller = u"{00020420-0000-0000-C000-000000000046}";

Text ClassKey(const Module& m) { return u"CLSID\\" + m.clsid; }
Text LibraryKey(const Module& m) { return u"TypeLib\\" + m.libid; }
Text VersionKey(const Module& m) { return LibraryKey(m) + u"\\" + Text(kVersion); }
Text PlatformKey(const Module& m) { return VersionKey(m) + (m.win64 ? u"\\0\\win64" : u"\\0\\win32"); }
Text InterfaceKey(const Text& iid) { return u"Interface\\" + iid; }

Text Folder(const Text& path) {
  const auto slash = path.find_last_of(u"\\/");
  return slash == Text::npos ? Text() : path.substr(0, slash);
}

// The keys of the registration that belong to the component: nothing above them is ever
// created or deleted by it.
std::vector<Text> OwnKeys(const Module& m) {
  std::vector<Text> keys{ClassKey(m), Text(kProgId), LibraryKey(m)};
  for (const Interface& i : m.interfaces) keys.push_back(InterfaceKey(i.iid));
  return keys;
}

// Whether what the registry holds for the entry is the entry's data.
bool Matches(Registry& registry, const Entry& e, const std::optional<Text>& data) {
  return data && (*data == e.data || (e.path && registry.SameFile(*data, e.data)));
}

// What one write changed, so that a failed registration can put it back.
struct Undo {
  Registry& registry;
  Scope scope;
  std::vector<Text> createdKeys;
  std::vector<std::pair<Entry, std::optional<Text>>> values;  // the value and what it held before

  void Roll() {
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
      const Entry& e = it->first;
      if (it->second) registry.Write(scope, e.key, e.name, *it->second);
      else registry.DeleteValue(scope, e.key, e.name);
    }
    for (auto it = createdKeys.rbegin(); it != createdKeys.rend(); ++it) registry.DeleteKey(scope, *it, true);
  }
};

// The keys from the component's own key down to `key`, top first.
std::vector<Text> KeysDownTo(const Module& m, const Text& key) {
  std::vector<Text> chain;
  for (const Text& own : OwnKeys(m)) {
    if (key != own && key.rfind(own + u"\\", 0) != 0) continue;
    chain.push_back(own);
    for (auto pos = key.find(u'\\', own.size() + 1); pos != Text::npos; pos = key.find(u'\\', pos + 1))
      chain.push_back(key.substr(0, pos));
    if (key != own) chain.push_back(key);
    break;
  }
  return chain;
}

// Writes every value the scope does not hold yet; on a failure puts back what it wrote and
// returns the failure's code.
long WriteScope(Registry& registry, Scope scope, const Module& m) {
  Undo undo{registry, scope, {}, {}};
  for (const Entry& e : Entries(m)) {
    auto before = registry.Read(scope, e.key, e.name);
    if (Matches(registry, e, before)) continue;
    for (const Text& k : KeysDownTo(m, e.key))
      if (std::find(undo.createdKeys.begin(), undo.createdKeys.end(), k) == undo.createdKeys.end() &&
          !registry.HasKey(scope, k))
        undo.createdKeys.push_back(k);
    const long rc = registry.Write(scope, e.key, e.name, e.data);
    if (rc != kSuccess) {
      undo.Roll();
      return rc;
    }
    undo.values.emplace_back(e, std::move(before));
  }
  return kSuccess;
}

}  // namespace

std::vector<Entry> Entries(const Module& m) {
  const Text cls = ClassKey(m), lib = VersionKey(m);
  std::vector<Entry> entries{
      {cls, u"", Text(kClassName)},
      {cls + u"\\InprocServer32", u"", m.path, true},
      {cls + u"\\InprocServer32", u"ThreadingModel", u"Apartment"},
      {cls + u"\\ProgID", u"", Text(kProgId)},
      {cls + u"\\TypeLib", u"", m.libid},
      {cls + u"\\Version", u"", Text(kVersion)},
      {Text(kProgId), u"", Text(kClassName)},
      {Text(kProgId) + u"\\CLSID", u"", m.clsid},
      {lib, u"", Text(kLibraryDescription)},
      {lib + u"\\FLAGS", u"", u"0"},
      {lib + u"\\HELPDIR", u"", Folder(m.path), true},
      {PlatformKey(m), u"", m.path, true},
  };
  for (const Interface& i : m.interfaces) {
    const Text key = InterfaceKey(i.iid), marshaller(i.dual ? kTypeLibMarshaller : kDispatchMarshaller);
    entries.push_back({key, u"", i.name});
    entries.push_back({key + u"\\ProxyStubClsid", u"", marshaller});
    entries.push_back({key + u"\\ProxyStubClsid32", u"", marshaller});
    entries.push_back({key + u"\\TypeLib", u"", m.libid});
    entries.push_back({key + u"\\TypeLib", u"Version", Text(kVersion)});
  }
  return entries;
}

bool IsRegistered(Registry& registry, Scope scope, const Module& m) {
  for (const Entry& e : Entries(m))
    if (!Matches(registry, e, registry.Read(scope, e.key, e.name))) return false;
  return true;
}

Status RegisterMachineWide(Registry& registry, const Module& m) {
  if (IsRegistered(registry, Scope::Machine, m) || IsRegistered(registry, Scope::User, m)) return kOk;
  const long rc = WriteScope(registry, Scope::Machine, m);
  // A user without administrator rights: the same registration, for this user only.
  if (rc == kAccessDenied) return RegisterForUser(registry, m);
  return StatusOfWin32Error(rc);
}

Status RegisterForUser(Registry& registry, const Module& m) {
  if (IsRegistered(registry, Scope::User, m)) return kOk;
  return StatusOfWin32Error(WriteScope(registry, Scope::User, m));
}

Status UnregisterScope(Registry& registry, Scope scope, const Module& m) {
  long first = kSuccess;
  auto remove = [&](const Text& key, bool tree) {
    const long rc = registry.DeleteKey(scope, key, tree);
    if (first == kSuccess && rc != kSuccess && rc != kFileNotFound) first = rc;
  };
  const Text cls = ClassKey(m);
  // The class and the interfaces have a key in each registry view on 64-bit Windows; the ProgID
  // and the type library are shared by both views.
  remove(cls, true);
  for (const Interface& i : m.interfaces) remove(InterfaceKey(i.iid), true);
  // With the other bitness still registered, what both share stays: only this bitness's own
  // entry of the library goes.
  if (registry.HasKeyInOtherView(scope, cls + u"\\InprocServer32")) {
    remove(PlatformKey(m), true);
    return StatusOfWin32Error(first);
  }
  remove(Text(kProgId), true);
  remove(VersionKey(m), true);
  // Other versions of the library are not ours to remove: the library's key goes only empty,
  // and where it cannot go that is no failure.
  registry.DeleteKey(scope, LibraryKey(m), false);
  return StatusOfWin32Error(first);
}

Status UnregisterAll(Registry& registry, const Module& m) {
  const Status user = UnregisterScope(registry, Scope::User, m);
  const Status machine = UnregisterScope(registry, Scope::Machine, m);
  if (machine != kOk) {
    const auto left = registry.Read(Scope::Machine, ClassKey(m) + u"\\InprocServer32", u"");
    const bool thisFileLeft = left && registry.SameFile(*left, m.path);
    if (machine != kAccessDeniedStatus || thisFileLeft) return machine;
  }
  return user;
}

}  // namespace addin::registration
