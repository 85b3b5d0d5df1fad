#include "component/addin.h"

#include "component/dispatcher.h"
#include "host/bridge.h"
#include "host/failure.h"
#include "host/rules.h"
#include "settings/settings.h"

namespace addin {

namespace {

struct Property {
  const char16_t* namePair;
  bool readable, writable;
};
constexpr Property kProps[LastProp] = {
    {u"IsResult,Результат", true, false},
    {u"IsParam,Параметр", true, true},
};

struct Method {
  const char16_t* namePair;
  std::int32_t params;
  bool hasRetVal;
};
constexpr Method kMethods[LastMethod] = {{u"Execute,Выполнить", 9, false}};

constexpr const char16_t* kExtensionName = u"Security";
constexpr const char16_t* kInfo = u"1000";

// The index of the first entry whose English or Russian name is exactly `name`, or -1.
template <class Entry, size_t N>
std::int32_t FindByName(const Entry (&table)[N], TextView name) {
  for (size_t i = 0; i < N; ++i)
    for (std::int32_t alias : {0, 1})
      if (name == SplitNamePair(table[i].namePair, alias)) return static_cast<std::int32_t>(i);
  return -1;
}

bool IsProp(std::int32_t n) { return n >= 0 && n < LastProp; }
bool IsMethod(std::int32_t n) { return n >= 0 && n < LastMethod; }

}  // namespace

Text DescribeFailure(const char16_t* method) noexcept {
  try {
    Text head(method);
    if (head == kExecuteMethod && Place().operation != 0)
      head += u"(" + ValueInWords(Value::I4(Place().operation)) + u")";
    try {
      throw;
    } catch (const RuntimeError& e) {
      Text line = head + u": ошибка " + ErrorInWords(e.number(), e.status()) + e.where();
      if (!e.description().empty()) line += u": " + OneLine(e.description());
      return line;
    } catch (const std::bad_alloc&) {
      return head + u": недостаточно памяти";
    } catch (...) {
      return head + u": непредвиденная ошибка";
    }
  } catch (...) {
    return {};  // no memory even for the words
  }
}

// Runs one method body; any failure inside becomes the failure status, and its words are kept.
template <class F>
Status AddIn::Run(const char16_t* method, F&& body) noexcept {
  ResetPlace(Place());
  failure_.clear();
  try {
    body();
    return kOk;
  } catch (...) {
    failure_ = DescribeFailure(method);
    return StatusOfCurrentException();
  }
}

Text SplitNamePair(TextView pair, std::int32_t alias) {
  auto comma = pair.find(u',');
  if (comma == TextView::npos) return {};
  return Text(alias == 0 ? pair.substr(0, comma) : pair.substr(comma + 1));
}

Status AddIn::Init(ObjRef connection) noexcept {
  return Run(u"IInitDone.Init", [&] {
    BridgeInit(std::move(connection));
    ResetScheduleKey();
  });
}

Status AddIn::Done() noexcept {
  BridgeDone();
  return kOk;
}

Status AddIn::GetInfo(ParamArray* infoItems) noexcept {
  return Run(u"IInitDone.GetInfo", [&] {
    Value* first = infoItems ? infoItems->At(0) : nullptr;
    if (!first) throw RuntimeError(kSubscriptOutOfRange, u"массив не передан, не одномерный или без элемента 0");
    *first = Value::Str(kInfo);
  });
}

Status AddIn::RegisterExtensionAs(Text& extName) noexcept {
  return Run(u"ILanguageExtender.RegisterExtensionAs", [&] { extName = kExtensionName; });
}

Status AddIn::GetNProps(std::int32_t& props) noexcept {
  props = LastProp;
  return kOk;
}

// Property 1 is found by its names too: it is counted, listed, readable and writable, so a script
// that names it gets the property (reading Null, writing ignored) rather than a missing member.
Status AddIn::FindProp(TextView propName, std::int32_t& propNum) noexcept {
  return Run(u"ILanguageExtender.FindProp", [&] { propNum = FindByName(kProps, propName); });
}

Status AddIn::GetPropName(std::int32_t propPos, std::int32_t propAlias, Text& propName) noexcept {
  return Run(u"ILanguageExtender.GetPropName", [&] {
    propName.clear();
    if (IsProp(propPos)) propName = SplitNamePair(kProps[propPos].namePair, propAlias);
  });
}

Status AddIn::GetPropVal(std::int32_t propNum, Value& retVal) noexcept {
  return Run(u"ILanguageExtender.GetPropVal", [&] { retVal = propNum == propIsResult ? result_ : Value::Null(); });
}

Status AddIn::SetPropVal(std::int32_t, const Value&) noexcept { return kOk; }

Status AddIn::IsPropReadable(std::int32_t propNum, std::int32_t& retVal) noexcept {
  if (IsProp(propNum)) retVal = Truth(kProps[propNum].readable);
  return kOk;
}

Status AddIn::IsPropWritable(std::int32_t propNum, std::int32_t& retVal) noexcept {
  if (IsProp(propNum)) retVal = Truth(kProps[propNum].writable);
  return kOk;
}

Status AddIn::GetNMethods(std::int32_t& num) noexcept {
  num = LastMethod;
  return kOk;
}

Status AddIn::FindMethod(TextView methName, std::int32_t& methPos) noexcept {
  return Run(u"ILanguageExtender.FindMethod", [&] { methPos = FindByName(kMethods, methName); });
}

Status AddIn::GetMethodName(std::int32_t methPos, std::int32_t methAlias, Text& methName) noexcept {
  return Run(u"ILanguageExtender.GetMethodName", [&] {
    methName.clear();
    if (IsMethod(methPos)) methName = SplitNamePair(kMethods[methPos].namePair, methAlias);
  });
}

Status AddIn::GetNParams(std::int32_t methPos, std::int32_t& params) noexcept {
  params = IsMethod(methPos) ? kMethods[methPos].params : 0;
  return kOk;
}

Status AddIn::GetParamDefValue(std::int32_t, std::int32_t, Value& retVal) noexcept {
  return Run(u"ILanguageExtender.GetParamDefValue", [&] { retVal = Value::Null(); });
}

Status AddIn::HasRetVal(std::int32_t methPos, std::int32_t& retVal) noexcept {
  retVal = Truth(IsMethod(methPos) && kMethods[methPos].hasRetVal);
  return kOk;
}

Status AddIn::CallAsProc(std::int32_t methodNum, ParamArray* paramVal) noexcept {
  result_ = Value::Null();
  return Run(kExecuteMethod, [&] {
    if (methodNum == methExecute) Dispatch(paramVal, result_);
  });
}

Status AddIn::CallAsFunc(std::int32_t, Value&, ParamArray*) noexcept { return kOk; }

}  // namespace addin
