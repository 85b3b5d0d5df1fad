// The IDispatch adapter's member numbers: each object is asked once per member, and a number
// one object gave is never used on another. Objects handed out by one member are of several
// classes in general (an empty reference beside filled ones, elements of several catalogues).
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

// A child class: the order its members are made in (their numbers follow it), the number of its
// first member, and its answer to a number it never gave.
struct ChildClass {
  std::vector<const wchar_t*> members;
  DISPID firstId = 1;
  HRESULT unknownIdAnswer = DISP_E_MEMBERNOTFOUND;
};

// A parent whose member "Дай" hands out its children one after the other. Child i's member
// "x" holds 100 + i, any other member 200 + i.
struct Family {
  explicit Family(const std::vector<ChildClass>& classes) {
    for (size_t i = 0; i < classes.size(); ++i) {
      auto child = std::make_unique<TestObject>();
      child->firstId = classes[i].firstId;
      child->unknownIdAnswer = classes[i].unknownIdAnswer;
      for (const wchar_t* name : classes[i].members)
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

const ChildClass kXY{{L"x", L"y"}};

struct FamilyCase {
  const char* name;
  std::vector<ChildClass> classes;
};

// Every child reads its own values, however the classes number their members, and each child
// is asked once per member however often the member is used.
TEST(DispatchAdapter, EveryObjectReadsItsOwnMembers) {
  const FamilyCase cases[] = {
      {"one class", {kXY, kXY, kXY, kXY, kXY}},
      {"alike names at swapped numbers after two that agree", {kXY, kXY, {{L"y", L"x"}}, kXY, {{L"y", L"x"}}}},
      {"an empty reference: other members first, both numbers present", {kXY, kXY, {{L"Выбран", L"x", L"y"}}}},
      {"a class without the first one's numbers, answering them with a type mismatch",
       {kXY, kXY, {{L"x", L"y"}, 500, DISP_E_TYPEMISMATCH}, kXY}},
      {"a class without the first one's numbers, answering them as unknown",
       {kXY, kXY, {{L"x", L"y"}, 700, DISP_E_MEMBERNOTFOUND}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Family family(c.classes);
    {
      ObjRef parent = com::DispatchObject::Wrap(&family.parent);
      for (size_t i = 0; i < family.children.size(); ++i) {
        ObjRef child = parent->Call(u"Дай", {}, 0).AsObject();
        for (int use = 0; use < 3; ++use) {
          EXPECT_EQ(child->Get(u"y"), Value::I4(static_cast<std::int32_t>(200 + i))) << "child " << i;
          EXPECT_EQ(child->Get(u"x"), Value::I4(static_cast<std::int32_t>(100 + i))) << "child " << i;
        }
      }
    }
    for (size_t i = 0; i < family.children.size(); ++i) {
      EXPECT_EQ(family.children[i]->idRequests, 2) << "child " << i << ": one question per member";
      EXPECT_EQ(family.children[i]->refs(), 0) << "child " << i;
    }
    EXPECT_EQ(family.parent.refs(), 0);
  }
}

}  // namespace
}  // namespace addin::test
