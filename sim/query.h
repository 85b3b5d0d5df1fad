// The query object: interprets the part of the platform's query language that the routines send
// (variables bound to catalogue and document attributes, the period, grouping, conditions and
// sums with "Когда" expressions) and computes its records from the model.
#pragma once

#include <map>
#include <vector>

#include "sim/objects.h"

namespace addin::sim {


class Query : public Object {
 public:
  explicit Query(World& model);

  // One record of the first grouping: its variables' and functions' values.
  using Record = std::map<Text, Value, CaseFoldLess>;
  const std::vector<Record>& records() const { return records_; }

  // Parses and runs a query text; throws RuntimeError with a message that says where a
  // malformed or unsupported text is wrong.
  void Run(TextView text);
  void DropReferences() override {
    records_.clear();
    Object::DropReferences();
  }

 protected:
  // The current record's variables and functions; then the query's own members.
  Value DoGet(TextView member) override;

 private:
  World& model_;
  std::vector<Record> records_;
  long position_ = -1;
};

}  // namespace addin::sim
