#include <gtest/gtest.h>

#include <map>
#include <set>

#include "component/registration.h"
#include "host/utf.h"

namespace addin::registration {
namespace {

// The classes of both scopes in memory, keys compared without case as Windows does; counts
// every call that changes something, and refuses them where a test says so.
class FakeRegistry final : public Registry {
 public:
  using Values = std::map<Text, Text>;
  using Tree = std::map<Text, Values>;  // lower-cased key -> its values

  std::optional<Text> Read(Scope s, const Text& key, const Text& name) override {
    const auto k = tree(s).find(Lower(key));
    if (k == tree(s).end()) return std::nullopt;
    const auto v = k->second.find(name);
    if (v == k->second.end()) return std::nullopt;
    return v->second;
  }
  bool HasKey(Scope s, const Text& key) override { return tree(s).count(Lower(key)) != 0; }
  bool HasKeyInOtherView(Scope s, const Text& key) override { return otherView.count({s, Lower(key)}) != 0; }
  long Write(Scope s, const Text& key, const Text& name, const Text& data) override {
    if (const long rc = Change(s)) return rc;
    const Text k = Lower(key);
    for (auto pos = k.find(u'\\'); pos != Text::npos; pos = k.find(u'\\', pos + 1)) tree(s)[k.substr(0, pos)];
    tree(s)[k][name] = data;
    return kSuccess;
  }
  long DeleteValue(Scope s, const Text& key, const Text& name) override {
    if (const long rc = Change(s)) return rc;
    const auto k = tree(s).find(Lower(key));
    if (k == tree(s).end() || !k->second.erase(name)) return kFileNotFound;
    return kSuccess;
  }
  long DeleteKey(Scope s, const Text& key, bool wholeTree) override {
    const Text k = Lower(key);
    if (!tree(s).count(k)) return kFileNotFound;
    if (const long rc = Change(s)) return rc;
    bool hasSubkeys = false;
    for (auto it = tree(s).upper_bound(k); it != tree(s).end() && it->first.rfind(k + u"\\", 0) == 0;)
      if (wholeTree) it = tree(s).erase(it);
      else { hasSubkeys = true; break; }
    if (hasSubkeys) return kAccessDenied;  // as RegDeleteKey answers for a key with subkeys
    tree(s).erase(k);
    return kSuccess;
  }
  bool SameFile(const Text& a, const Text& b) override { return Lower(LongForm(a)) == Lower(LongForm(b)); }

  Tree& tree(Scope s) { return s == Scope::Machine ? machine : user; }
  Text LongForm(const Text& p) {
    const auto it = longForms.find(p);
    return it == longForms.end() ? p : it->second;
  }
  static Text Lower(Text t) {
    for (auto& c : t) {
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
      else if (c >= u'А' && c <= u'Я') c = static_cast<char16_t>(c + 32);
    }
    return t;
  }

  Tree machine, user;
  std::set<std::pair<Scope, Text>> otherView;
  std::map<Text, Text> longForms;  // a short (8.3) path -> its long form
  std::set<Scope> refused;         // changes there are refused with access denied
  long failAt = -1, failWith = 0;  // the change of this number (from 0) fails with failWith
  int changes[2] = {0, 0};         // changes made, per scope

 private:
  long Change(Scope s) {
    if (refused.count(s)) return kAccessDenied;
    const int n = changes[0] + changes[1];
    if (n == failAt) {
      failAt = -1;  // once
      return failWith;
    }
    ++changes[s == Scope::Machine ? 0 : 1];
    return kSuccess;
  }
};

const Text kPath = u"C:\\Базы\\Торговля 2\\Доставка.dll";

Module Component(Text path = kPath, bool win64 = false) {
  return {std::move(path), win64, u"{6B1E3C52-8D0A-4F3B-9A57-2C41E07D9A15}", u"{6B1E3C52-8D0A-4F3B-9A57-2C41E07D9A10}",
          {{u"{6B1E3C52-8D0A-4F3B-9A57-2C41E07D9A13}", u"_AddInObj", true},
           {u"{6B1E3C52-8D0A-4F3B-9A57-2C41E07D9A14}", u"__AddInObj", false}}};
}

const size_t kValues = Entries(Component()).size();

// Keys of the component left in a scope (those above it, such as CLSID, are not its own).
size_t ComponentKeys(const FakeRegistry::Tree& t) {
  size_t n = 0;
  for (const auto& [key, values] : t) n += key.find(u"6b1e3c52") != Text::npos || key.rfind(u"addin.", 0) == 0;
  return n;
}

TEST(Registration, EntriesNameTheModuleAsItIsAndTheClassAsApartment) {
  const auto entries = Entries(Component());
  EXPECT_EQ(kValues, 22u);
  auto find = [&](TextView key, TextView name) -> Text {
    for (const auto& e : entries)
      if (e.key == key && e.name == name) return e.data;
    return u"<missing>";
  };
  const Text cls = u"CLSID\\{6B1E3C52-8D0A-4F3B-9A57-2C41E07D9A15}";
  EXPECT_EQ(find(cls + u"\\InprocServer32", u""), kPath);
  EXPECT_EQ(find(cls + u"\\InprocServer32", u"ThreadingModel"), u"Apartment");
  EXPECT_EQ(find(u"AddIn.AddInObj\\CLSID", u""), u"{6B1E3C52-8D0A-4F3B-9A57-2C41E07D9A15}");
  EXPECT_EQ(find(u"TypeLib\\{6B1E3C52-8D0A-4F3B-9A57-2C41E07D9A10}\\1.0\\0\\win32", u""), kPath);
  EXPECT_EQ(find(u"TypeLib\\{6B1E3C52-8D0A-4F3B-9A57-2C41E07D9A10}\\1.0\\HELPDIR", u""), u"C:\\Базы\\Торговля 2");
  EXPECT_EQ(Entries(Component(kPath, true))[11].key, u"TypeLib\\{6B1E3C52-8D0A-4F3B-9A57-2C41E07D9A10}\\1.0\\0\\win64");
}

// How DllRegisterServer chooses, and what it costs: the values written in each scope.
TEST(Registration, RegisterChoosesTheScopeAndWritesOnlyWhatIsMissing) {
  enum Before { kNothing, kMachineHoldsIt, kMachineHoldsItShort, kUserHoldsIt, kMachineHoldsOtherFile, kOtherFolder };
  const struct {
    const char* what;
    Before before;
    bool machineRefuses;
    Status status;
    int machineWrites, userWrites;
    bool machineHolds, userHolds;
  } cases[] = {
      {"first registration by an administrator", kNothing, false, kOk, int(kValues), 0, true, false},
      {"again: already in place", kMachineHoldsIt, false, kOk, 0, 0, true, false},
      {"registered under its short name, other case", kMachineHoldsItShort, false, kOk, 0, 0, true, false},
      {"a user without rights, first time", kNothing, true, kOk, 0, int(kValues), false, true},
      {"a user without rights, again", kUserHoldsIt, true, kOk, 0, 0, false, true},
      {"a user without rights, an administrator registered it", kMachineHoldsIt, true, kOk, 0, 0, true, false},
      {"another copy of the same name in the same folder", kMachineHoldsOtherFile, false, kOk, 2, 0, true, false},
      {"another copy in another folder", kOtherFolder, false, kOk, 3, 0, true, false},
      {"another copy, a user without rights", kOtherFolder, true, kOk, 0, int(kValues), false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeRegistry reg;
    switch (c.before) {
      case kNothing: break;
      case kMachineHoldsIt: RegisterMachineWide(reg, Component()); break;
      case kMachineHoldsItShort: RegisterMachineWide(reg, Component(u"c:\\bazy~1\\torgov~1\\dostav~1.dll")); break;
      case kUserHoldsIt: RegisterForUser(reg, Component()); break;
      case kMachineHoldsOtherFile:
        RegisterMachineWide(reg, Component(u"C:\\Базы\\Торговля 2\\Доставка.old"));
        break;
      case kOtherFolder: RegisterMachineWide(reg, Component(u"D:\\1C\\AddIn.dll")); break;
    }
    reg.longForms[u"c:\\bazy~1\\torgov~1\\dostav~1.dll"] = kPath;
    reg.longForms[u"c:\\bazy~1\\torgov~1"] = u"C:\\Базы\\Торговля 2";
    reg.changes[0] = reg.changes[1] = 0;
    if (c.machineRefuses) reg.refused.insert(Scope::Machine);
    EXPECT_EQ(RegisterMachineWide(reg, Component()), c.status);
    EXPECT_EQ(reg.changes[0], c.machineWrites);
    EXPECT_EQ(reg.changes[1], c.userWrites);
    EXPECT_EQ(IsRegistered(reg, Scope::Machine, Component()), c.machineHolds);
    EXPECT_EQ(IsRegistered(reg, Scope::User, Component()), c.userHolds);
  }
}

// A failure other than refused rights: its status comes back, and the registry is as it was,
// whether the scope was empty or held another copy's registration.
TEST(Registration, AnotherFailureLeavesTheRegistryAsItWas) {
  for (const bool otherCopy : {false, true}) {
    for (long at = 0; at < long(kValues); ++at) {
      SCOPED_TRACE(std::to_string(at) + (otherCopy ? " over another copy" : " on an empty registry"));
      FakeRegistry reg;
      if (otherCopy) RegisterMachineWide(reg, Component(u"D:\\1C\\AddIn.dll"));
      for (const char16_t* k : {u"clsid", u"typelib", u"interface"}) reg.machine[k];  // not the component's
      const auto before = reg.machine;
      reg.failAt = reg.changes[0] + at;
      reg.failWith = 112;  // not enough space on the disk
      const Status status = RegisterMachineWide(reg, Component());
      if (otherCopy && at >= 3) {
        EXPECT_EQ(status, kOk);  // only three values differ from the other copy's
        continue;
      }
      EXPECT_EQ(status, static_cast<Status>(0x80070070));
      EXPECT_EQ(reg.machine, before);
      EXPECT_TRUE(reg.user.empty());
    }
  }
}

TEST(Registration, ForTheUserWritesOnlyTheUsersClasses) {
  FakeRegistry reg;
  EXPECT_EQ(RegisterForUser(reg, Component()), kOk);
  EXPECT_EQ(reg.changes[1], int(kValues));
  EXPECT_TRUE(reg.machine.empty());
  EXPECT_TRUE(IsRegistered(reg, Scope::User, Component()));
  reg.changes[1] = 0;
  EXPECT_EQ(RegisterForUser(reg, Component()), kOk);
  EXPECT_EQ(reg.changes[1], 0);
  EXPECT_EQ(UnregisterScope(reg, Scope::User, Component()), kOk);
  EXPECT_EQ(ComponentKeys(reg.user), 0u);
}

TEST(Registration, UnregisterRemovesWhatItMay) {
  const Text cls = u"clsid\\{6b1e3c52-8d0a-4f3b-9a57-2c41e07d9a15}";
  const Text lib = u"typelib\\{6b1e3c52-8d0a-4f3b-9a57-2c41e07d9a10}";
  enum Machine { kNone, kThisFile, kOtherFile };
  const struct {
    const char* what;
    Machine machine;
    bool user, refused;
    Status status;
    bool machineLeft;
  } cases[] = {
      {"an administrator, both scopes", kThisFile, true, false, kOk, false},
      {"a user without rights, the machine holds this file", kThisFile, true, true, kAccessDeniedStatus, true},
      {"a user without rights, the machine holds another file", kOtherFile, true, true, kOk, true},
      {"a user without rights, only the user's own", kNone, true, true, kOk, false},
      {"nothing registered", kNone, false, false, kOk, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeRegistry reg;
    if (c.machine != kNone) RegisterMachineWide(reg, Component(c.machine == kThisFile ? kPath : u"D:\\1C\\AddIn.dll"));
    if (c.user) RegisterForUser(reg, Component());
    if (c.refused) reg.refused.insert(Scope::Machine);
    EXPECT_EQ(UnregisterAll(reg, Component()), c.status);
    EXPECT_EQ(ComponentKeys(reg.user), 0u);
    EXPECT_EQ(reg.machine.count(cls + u"\\inprocserver32") != 0, c.machineLeft);
  }
  // The other bitness registered side by side keeps what it shares; another version of the
  // library is not the component's.
  FakeRegistry reg;
  RegisterMachineWide(reg, Component());
  reg.Write(Scope::Machine, lib + u"\\2.0\\0\\win32", u"", u"C:\\new\\AddIn.dll");
  reg.otherView.insert({Scope::Machine, cls + u"\\inprocserver32"});
  EXPECT_EQ(UnregisterAll(reg, Component()), kOk);
  EXPECT_EQ(reg.machine.count(cls), 0u);
  EXPECT_EQ(reg.machine.count(lib + u"\\1.0\\0\\win32"), 0u);
  for (const Text& k : {Text(u"addin.addinobj\\clsid"), lib + u"\\1.0", lib + u"\\2.0\\0\\win32"})
    EXPECT_EQ(reg.machine.count(k), 1u) << Utf8(k);
  EXPECT_EQ(reg.machine.count(u"interface\\{6b1e3c52-8d0a-4f3b-9a57-2c41e07d9a13}"), 0u);  // one per view
  reg.otherView.clear();
  EXPECT_EQ(UnregisterAll(reg, Component()), kOk);
  EXPECT_EQ(reg.machine.count(u"addin.addinobj"), 0u);
  EXPECT_EQ(reg.machine.count(lib + u"\\1.0"), 0u);
  EXPECT_EQ(reg.machine.count(lib + u"\\2.0\\0\\win32"), 1u);
}

}  // namespace
}  // namespace addin::registration
