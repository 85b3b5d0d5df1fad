// The component object's protocol: the nineteen methods of the host's two add-in interfaces on
// plain C++ types. The COM class forwards to it; nothing here knows COM.
#pragma once

#include <cstdint>

#include "host/runtime_error.h"
#include "host/value.h"

namespace addin {

// Index numbers of the type library's enumerations.
enum Props : std::int32_t { propIsResult = 0, propIsParam = 1, LastProp = 2 };
enum Methods : std::int32_t { methExecute = 0, LastMethod = 1 };

// Half of a name pair "English,Russian": alias 0 gives the English name, any other alias the
// Russian one; a pair without a comma gives the empty text.
Text SplitNamePair(TextView pair, std::int32_t alias);

// Every method returns a status, 0 or a failure status, and never throws.
class AddIn {
 public:
  // IInitDone
  Status Init(ObjRef connection) noexcept;
  Status Done() noexcept;
  Status GetInfo(ParamArray* infoItems) noexcept;

  // ILanguageExtender
  Status RegisterExtensionAs(Text& extName) noexcept;
  Status GetNProps(std::int32_t& props) noexcept;
  Status FindProp(TextView propName, std::int32_t& propNum) noexcept;
  Status GetPropName(std::int32_t propPos, std::int32_t propAlias, Text& propName) noexcept;
  Status GetPropVal(std::int32_t propNum, Value& retVal) noexcept;
  Status SetPropVal(std::int32_t propNum, const Value& retVal) noexcept;
  Status IsPropReadable(std::int32_t propNum, std::int32_t& retVal) noexcept;
  Status IsPropWritable(std::int32_t propNum, std::int32_t& retVal) noexcept;
  Status GetNMethods(std::int32_t& num) noexcept;
  Status FindMethod(TextView methName, std::int32_t& methPos) noexcept;
  Status GetMethodName(std::int32_t methPos, std::int32_t methAlias, Text& methName) noexcept;
  Status GetNParams(std::int32_t methPos, std::int32_t& params) noexcept;
  Status GetParamDefValue(std::int32_t methPos, std::int32_t paramPos, Value& retVal) noexcept;
  Status HasRetVal(std::int32_t methPos, std::int32_t& retVal) noexcept;
  Status CallAsProc(std::int32_t methodNum, ParamArray* paramVal) noexcept;
  Status CallAsFunc(std::int32_t methodNum, Value& retVal, ParamArray* paramVal) noexcept;

  // The value the host reads as IsResult: Empty on a new object, Null from the start of every
  // CallAsProc, then whatever the routine stored.
  const Value& result() const noexcept { return result_; }

  // What made the last method called fail, in one line of words; empty after a success:
  // "Security.Выполнить(13): ошибка 13 (несоответствие типа) при чтении "Часы" у строки 37 из 99
  // (час "08", зона "12"): <the host's own text>". Built only when a method fails.
  const Text& failure() const noexcept { return failure_; }
  void ForgetFailure() noexcept { failure_.clear(); }

 private:
  template <class F>
  Status Run(const char16_t* method, F&& body) noexcept;

  Value result_;
  Text failure_;
};

// The failure in flight in words, headed by the method's name (for Execute, "Security.Выполнить"
// and the operation code). Call only inside a catch block.
Text DescribeFailure(const char16_t* method) noexcept;
// The head for the failures of Execute.
inline constexpr const char16_t* kExecuteMethod = u"Security.Выполнить";

}  // namespace addin
