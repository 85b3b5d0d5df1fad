// The simulated platform: the catalogues, documents and constants of one day, and every object
// made from them, owned here. Built from a day file (JSON) or generated for benchmarks.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sim/objects.h"

namespace addin::sim {

class Model final : public World {
  std::vector<std::unique_ptr<Object>> objects_;  // first: the references below are made from it

 public:
  Model();
  ~Model();
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  Object& Keep(std::unique_ptr<Object> object) override {
    objects_.push_back(std::move(object));
    return *objects_.back();
  }

  // The catalogues of the configuration.
  Catalogue& items;      // "Номенклатура"
  Catalogue& clients;    // "Клиенты"
  Catalogue& firms;      // "Фирмы"
  Catalogue& zones;      // "Зоны"
  Catalogue& slots;      // "Часы"
  Catalogue& contracts;  // "Договоры"
  Catalogue& properties; // "СвойстваКлиентов"
  Object& constants;     // "Вода", "Залог", "ИспользоватьСвойстваКлиентов"
  Element& emptyRef;     // the empty catalogue reference
  Document& emptyInvoice;
  std::vector<Document*> invoices;  // sales invoices, in the order they were entered

  // The script's side of a day: the objects a configuration passes to operation 13.
  Connection& connection;
  Object& app;           // the application dispatch
  Sheet& sheet;
  ValueList& zoneMarks;
  ValueList& documentMarks;
  ValueList& details;

  // Settings a day file carries for operations 62 to 69.
  Text workingDate, orderRows, firmInn, numberPrefix, scheduleKey;

  Catalogue* CatalogueNamed(TextView name) override;
  const std::vector<Document*>& Invoices() const override { return invoices; }
  Element& EmptyRef() override { return emptyRef; }
  Text NextNumber(TextView prefix) override;

  // A new sales invoice of this model (the document operation 41 fills).
  Document& NewInvoice();

  // The reference counts of every object, to compare before and after a run.
  std::vector<long> RefCounts() const;
  // The objects whose count differs from `before` (objects made since count from 0), as
  // "kind #index: before -> now" lines: references taken and not given back.
  std::vector<std::string> Unbalanced(const std::vector<long>& before) const;
  // What the platform lets go of once a run's results have been looked at: the references the
  // objects made since `count` objects existed hold, and the details list's values. After that
  // every count is back to what it was before the run unless a reference was not given back.
  void ForgetObjectsSince(size_t count);
  // Forgets as above, empties the sheet and destroys the objects made since: for long runs, once
  // every reference to them has been given back.
  void DiscardObjectsSince(size_t count);
  // Every object the model owns, in the order made.
  const std::vector<std::unique_ptr<Object>>& objects() const { return objects_; }

 private:
  long lastNumber_ = 0;
};

// Reads a day file; throws std::runtime_error naming the file, the place and the fault.
std::unique_ptr<Model> LoadDay(const std::string& path);
std::unique_ptr<Model> ParseDay(const std::string& json, const std::string& name);

// A large day for benchmarks: zones x slots grid, invoices spread over it, a fixed seed.
std::unique_ptr<Model> GenerateDay(int zones, int slots, int rowsPerSlot, int invoices, unsigned seed = 1);

}  // namespace addin::sim
