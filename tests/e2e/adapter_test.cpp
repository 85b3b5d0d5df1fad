// The IDispatch adapter's sharing of DISPIDs among objects of one kind.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <vector>

#include "host/com_dispatch_object.h"
#include "host/rules.h"
#include "test_object.h"

namespace addin::test {
namespace {

// A parent whose member "Дай" hands out its children one after the other.
struct Family {
  explicit Family(const std::vector<std::vector<const wchar_t*>>& memberOrders) {
    for (size_t i = 0; i < memberOrders.size(); ++i) {
      auto child = std::make_unique<TestObject>();
      for (const wchar_t* name : memberOrders[i])  // DISPIDs follow the order members are made
        child->SetMember(name, I4(static_cast<long>(name[0] == L'x' ? 100 + i : 200 + i)));
      children.push_back(std::move(child));
    }
    parent.SetMethod(L"Дай", [this](DISPPARAMS*, VARIANT* result) {
      VariantInit(result);
      *result = Obj(children[next++ % children.size()].get());
      return S_OK;
    });
  }
  TestObject parent;
  std::vector<std::unique_ptr<TestObject>> children;
  size_t next = 0;
};

TEST(DispatchAdapter, ObjectsOfOneKindAskTwiceThenShare) {
  Family family({{L"x", L"y"}, {L"x", L"y"}, {L"x", L"y"}, {L"x", L"y"}, {L"x", L"y"}});
  {
    ObjRef parent = com::DispatchObject::Wrap(&family.parent);
    for (size_t i = 0; i < 5; ++i) {
      ObjRef child = parent->Call(u"Дай", {}, 0).AsObject();
      EXPECT_EQ(child->Get(u"y"), Value::I4(static_cast<std::int32_t>(200 + i)));
    }
  }
  long asked = 0;
  for (auto& c : family.children) asked += c->idRequests;
  EXPECT_EQ(asked, 2);
  for (auto& c : family.children) EXPECT_EQ(c->refs(), 0);
}

// Children whose DISPIDs differ: once two disagree, every child is asked, and each gives its own
// member's value.
TEST(DispatchAdapter, ObjectsThatDisagreeAreEachAsked) {
  Family family({{L"x", L"y"}, {L"y", L"x"}, {L"x", L"y"}, {L"y", L"x"}});
  ObjRef parent = com::DispatchObject::Wrap(&family.parent);
  for (size_t i = 0; i < 4; ++i) {
    ObjRef child = parent->Call(u"Дай", {}, 0).AsObject();
    EXPECT_EQ(child->Get(u"y"), Value::I4(static_cast<std::int32_t>(200 + i))) << i;
    EXPECT_EQ(child->Get(u"x"), Value::I4(static_cast<std::int32_t>(100 + i))) << i;
  }
}

}  // namespace
}  // namespace addin::test
