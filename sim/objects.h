// The platform's objects as the routines use them, in memory. Every object lives as long as the
// model that made it; references are counted, never owning.
#pragma once

#include <memory>
#include <vector>

#include "sim/object.h"

namespace addin::sim {

class Catalogue;
class Document;
class Element;

// What the simulated objects ask of the platform that owns them: new objects, document numbers,
// the catalogues and the documents of the day. The model gives it.
class World {
 public:
  // Keeps an object for as long as the world lives.
  virtual Object& Keep(std::unique_ptr<Object> object) = 0;
  // Makes an object that lives as long as the world.
  template <class T, class... Args>
  T& Make(Args&&... args) {
    auto object = std::make_unique<T>(std::forward<Args>(args)...);
    T& ref = *object;
    Keep(std::move(object));
    return ref;
  }
  // The next number of a new document with the prefix (see Document "УстановитьНовыйНомер").
  virtual Text NextNumber(TextView prefix) = 0;
  // The catalogue of that name ("Номенклатура", "Клиенты", "Фирмы", "Зоны", "Часы"), or none.
  virtual Catalogue* CatalogueNamed(TextView name) = 0;
  // The sales invoices, in the order they were entered.
  virtual const std::vector<Document*>& Invoices() const = 0;
  // The empty catalogue reference.
  virtual Element& EmptyRef() = 0;

 protected:
  ~World() = default;
};

// A catalogue element or an enumeration value: a reference whose attributes are members.
// "ТекущийЭлемент" gives the element itself, "Выбран" 1 (0 for the empty reference).
class Element : public Object {
 public:
  explicit Element(bool empty = false);
  bool empty() const { return empty_; }

 protected:
  Value DoGet(TextView member) override;

 private:
  bool empty_;
};

// A catalogue object: a selection walked in code order or in the catalogue's own order, and a
// current element whose attributes the catalogue answers for.
class Catalogue : public Object {
 public:
  Catalogue();
  std::vector<Element*> elements;  // in the order they were entered

 protected:
  Value DoGet(TextView member) override;

 private:
  std::vector<Element*> selection_;
  size_t next_ = 0;
  bool codeOrder_ = false;
  Element* current_ = nullptr;
};

// A sales invoice: header attributes as members, lines of item and quantity.
class Document : public Object {
 public:
  Document(World& model, bool empty = false);
  struct Line {
    Element* item;
    double quantity;
  };
  std::vector<Line> lines;
  bool posted = false, deleted = false;
  double date = 0;

 protected:
  Value DoGet(TextView member) override;

 private:
  World& model_;
  bool empty_;
};

class ValueList : public Object {
 public:
  ValueList();
  std::vector<Value> values;
  void DropReferences() override {
    values.clear();
    Object::DropReferences();
  }
};

// A value table: named columns, rows of cells, one current row.
class ValueTable : public Object {
 public:
  ValueTable();
  std::vector<Text> columns;
  std::vector<std::vector<Value>> rows;
  long current = -1;  // index into rows
  void DropReferences() override {
    rows.clear();
    Object::DropReferences();
  }

 protected:
  Value DoGet(TextView member) override;
  void DoSet(TextView member, const Value& value) override;

 private:
  size_t Column(TextView name) const;  // index, or columns.size()
};

// The spreadsheet table and its pieces.
class Area : public Object {
 public:
  Area();
  Text name;
  std::vector<int> border;  // left, top, right, bottom, when set
  long long color = -1;     // when set
  std::vector<Value> details;  // the details list's content when it was handed over
  bool hasDetails = false;
  void DropReferences() override {
    details.clear();
    Object::DropReferences();
  }
};

class Section : public Object {
 public:
  Section(World& model, TextView name, const std::vector<Text>& areaNames);
  Text name;
  std::vector<Area*> areas;
};

class Sheet : public Object {
 public:
  explicit Sheet(World& model);
  // The sheet's template: section name -> area names.
  std::vector<std::pair<Text, std::vector<Text>>> sections;
  std::vector<std::vector<Section*>> lines;  // what was output, line by line

 private:
  World& model_;
};

class Connection : public Object {
 public:
  Connection();
  std::vector<Text> statusLines;
};

}  // namespace addin::sim
