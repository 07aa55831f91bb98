#include "Schema.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

#include "Catalog.h"
#include "Sqlite.h"

namespace sampledb {

namespace {

// schema_info.data_type
constexpr int kWhole = 1;
constexpr int kDecimal = 2;
constexpr int kCoded = 3;

constexpr std::pair<int, int> kItemTypes[] = {
    {item::kAdvanced, kCoded},       {item::kAge, kCoded},          {item::kMake, kCoded},
    {item::kModel, kCoded},          {item::kMakerGroup, kCoded},   {item::kOrigin, kCoded},
    {item::kLayout, kCoded},         {item::kAirCon, kCoded},       {item::kWeightClass, kCoded},
    {item::kCylinders, kWhole},      {item::kModelYear, kWhole},    {item::kDisplacement, kDecimal},
    {item::kHorsepower, kWhole},     {item::kWeight, kWhole},       {item::kAcceleration, kDecimal},
    {item::kFuelEconomy, kDecimal},  {item::kPrice, kDecimal},
};

// The files are scratch copies until they are renamed into place, so the
// rollback journal is left out: a failed build is thrown away, not rolled back.
// The commit still syncs the file to disk.
void StartBuild(Database& db) {
  db.Exec("PRAGMA journal_mode = OFF");
  db.Exec("PRAGMA cache_size = -65536");  // 64 MiB for building the indexes
  db.Exec("BEGIN");
}

void FinishBuild(Database& db) {
  db.Exec("ANALYZE");  // lets the planner pick the indexes for the library's joins
  db.Exec("COMMIT");
}

// Code numbers of the makes, models and maker groups of a vehicle set, as text.
struct Codes {
  std::map<std::string, std::string> make;                             // by make key
  std::map<std::pair<std::string, std::string>, std::string> model;    // by (make key, model)
  std::map<std::string, std::string> group;                            // by group key
  std::map<std::string, MakeInfo> makeInfo;                            // by make key
};

Codes AssignCodes(const std::vector<Vehicle>& vehicles) {
  Codes codes;
  std::set<std::pair<std::string, std::string>> models;
  for (const Vehicle& v : vehicles) {
    if (!codes.makeInfo.count(v.makeKey)) codes.makeInfo.emplace(v.makeKey, FindMake(v.makeKey));
    models.emplace(v.makeKey, v.model);
  }
  // Makes by name (the key order), models by make and then model name, groups
  // by their English name. The screen lists values in the order of their codes as
  // text, so codes are zero-padded to one width ("01" ... "30"): that order is then
  // the order of the names.
  auto numbering = [](size_t count) {
    const size_t width = std::to_string(count).size();
    return [width, n = 0]() mutable {
      const std::string digits = std::to_string(++n);
      return std::string(width - std::min(width, digits.size()), '0') + digits;
    };
  };
  auto makeCode = numbering(codes.makeInfo.size());
  for (const auto& [key, info] : codes.makeInfo) codes.make[key] = makeCode();
  auto modelCode = numbering(models.size());
  for (const auto& m : models) codes.model[m] = modelCode();
  std::set<std::pair<std::string, std::string>> groups;  // (English name, key)
  for (const auto& [key, info] : codes.makeInfo)
    groups.emplace(GroupNames(info.groupKey).enGb, info.groupKey);
  auto groupCode = numbering(groups.size());
  for (const auto& g : groups) codes.group[g.second] = groupCode();
  return codes;
}

void CreateSpecsTables(Database& db) {
  db.Exec(
      "CREATE TABLE equipment(vehicle_id INTEGER NOT NULL, schema_id INTEGER NOT NULL, "
      "location INTEGER NOT NULL, data_value TEXT NOT NULL, option_id INTEGER NOT NULL)");
  db.Exec("CREATE TABLE schema_info(schema_id INTEGER PRIMARY KEY, data_type INTEGER NOT NULL)");
  db.Exec(
      "CREATE TABLE schema_text(schema_id INTEGER, data_value TEXT, full_text TEXT, "
      "language_id INTEGER)");
  db.Exec(
      "CREATE TABLE version(vehicle_id INTEGER PRIMARY KEY, id_901 TEXT NOT NULL, name TEXT, "
      "make TEXT, model TEXT, model_year INTEGER, origin TEXT, price REAL)");
}

// After the inserts, which are faster without them. They serve the library's
// filters (item and value, then vehicle), its per-vehicle sub-queries, its
// joins of criteria on item, location and value, and the text look-ups.
//
// Both access paths are covering, so no query of the library reads the table itself: an
// item's rows by value (a choice: item, value, location, then the vehicles) and by location
// (a criterion row joined on item and location, and the engine loading an item's postings:
// every column it reads), and a vehicle's rows with their option (standard equipment).
void CreateSpecsIndexes(Database& db) {
  db.Exec("CREATE INDEX equipment_schema_value ON equipment(schema_id, data_value, location, vehicle_id)");
  db.Exec("CREATE INDEX equipment_vehicle ON equipment(vehicle_id, option_id)");
  db.Exec(
      "CREATE INDEX equipment_schema_location ON equipment(schema_id, location, data_value, vehicle_id, option_id)");
  db.Exec("CREATE INDEX schema_text_value ON schema_text(schema_id, data_value, language_id)");
}

class EquipmentWriter {
 public:
  explicit EquipmentWriter(Database& db)
      : insert_(db.Prepare(
            "INSERT INTO equipment(vehicle_id, schema_id, location, data_value, option_id) "
            "VALUES (?, ?, 0, ?, ?)")) {}

  void Add(std::int64_t vehicleId, int schemaId, std::string_view value, int optionId = 0) {
    insert_.Bind(1, vehicleId).Bind(2, schemaId).Bind(3, value).Bind(4, optionId).Run();
    ++rows_;
  }
  void Add(std::int64_t vehicleId, int schemaId, const std::optional<double>& value) {
    if (value) Add(vehicleId, schemaId, FormatNumber(*value));
  }
  void Add(std::int64_t vehicleId, int schemaId, const std::optional<int>& value) {
    if (value) Add(vehicleId, schemaId, std::to_string(*value));
  }
  std::size_t Rows() const { return rows_; }

 private:
  Statement insert_;
  std::size_t rows_ = 0;
};

// The names of the items that share a row with another, which label the parts.
const std::vector<std::pair<int, Texts>>& ItemNames() {
  static const std::vector<std::pair<int, Texts>> names = {
      {item::kDisplacement, {"Displacement (cu in)", "Hubraum (cu in)", "Cylindrée (cu in)", ""}},
      {item::kCylinders, {"Cylinders", "Zylinder", "Cylindres", ""}},
  };
  return names;
}

void WriteSchemaTexts(Database& db, const Codes& codes, const std::vector<ExtraCriterion>& criteria) {
  Statement insert = db.Prepare(
      "INSERT INTO schema_text(schema_id, data_value, full_text, language_id) VALUES (?, ?, ?, ?)");
  auto add = [&](int schemaId, const std::string& value, const Texts& texts) {
    for (const int language : kLanguageIds)
      insert.Bind(1, schemaId).Bind(2, value).Bind(3, texts.In(language)).Bind(4, language).Run();
  };
  for (const auto& [key, code] : codes.make) add(item::kMake, code, SameInAll(codes.makeInfo.at(key).name));
  for (const auto& [makeAndModel, code] : codes.model) add(item::kModel, code, SameInAll(makeAndModel.second));
  for (const auto& [groupKey, code] : codes.group) add(item::kMakerGroup, code, GroupNames(groupKey));
  for (const CodedText& t : FixedCodedTexts()) add(t.schemaId, t.value, t.text);
  for (const auto& [schemaId, name] : ItemNames()) add(schemaId, "", name);
  for (const ExtraCriterion& c : criteria)
    for (const auto& [value, texts] : c.values) add(c.schemaId, value, texts);
}

}  // namespace

namespace {

// A well-mixed number of a vehicle and an extra item, so that values spread evenly.
std::uint64_t Mix(std::uint64_t vehicle, std::uint64_t item) {
  std::uint64_t z = vehicle * 0x9E3779B97F4A7C15ull + item * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

SpecsSummary WriteSpecsDatabase(const std::filesystem::path& file,
                                const std::vector<Vehicle>& vehicles, int extraItems,
                                const std::vector<ExtraCriterion>& criteria) {
  if (static_cast<int>(criteria.size()) > extraItems)
    throw std::logic_error("more criteria than extra items");
  const Codes codes = AssignCodes(vehicles);
  Database db = Database::Create(file);
  StartBuild(db);
  CreateSpecsTables(db);
  SpecsSummary summary;
  {
    Statement info = db.Prepare("INSERT INTO schema_info(schema_id, data_type) VALUES (?, ?)");
    for (const auto& [schemaId, dataType] : kItemTypes) info.Bind(1, schemaId).Bind(2, dataType).Run();
    const int criterionItems = static_cast<int>(criteria.size());
    for (int k = 0; k < extraItems; ++k)
      info.Bind(1, kFirstExtraItem + k).Bind(2, k < criterionItems ? criteria[static_cast<size_t>(k)].dataType : kCoded).Run();

    Statement version = db.Prepare(
        "INSERT INTO version(vehicle_id, id_901, name, make, model, model_year, origin, price) "
        "VALUES (?, 'USD', ?, ?, ?, ?, ?, ?)");
    EquipmentWriter eq(db);
    std::int64_t id = 0;
    for (const Vehicle& v : vehicles) {
      ++id;
      const MakeInfo& make = codes.makeInfo.at(v.makeKey);
      const std::optional<std::int64_t> price = PriceUsd(v);

      eq.Add(id, item::kAdvanced, v.advanced ? "A" : "N");
      eq.Add(id, item::kAge, AgeMarker(v.year));
      eq.Add(id, item::kMake, codes.make.at(v.makeKey));
      eq.Add(id, item::kModel, codes.model.at({v.makeKey, v.model}));
      eq.Add(id, item::kMakerGroup, codes.group.at(make.groupKey));
      if (v.origin) eq.Add(id, item::kOrigin, OriginCode(*v.origin));
      if (const auto layout = EngineLayout(v)) eq.Add(id, item::kLayout, *layout);
      if (const auto option = AirConditioningOption(v)) eq.Add(id, item::kAirCon, "Y", *option);
      if (const auto weightClass = WeightClass(v)) eq.Add(id, item::kWeightClass, *weightClass);
      eq.Add(id, item::kCylinders, v.cylinders);
      eq.Add(id, item::kModelYear, std::optional<int>(v.year));
      eq.Add(id, item::kDisplacement, v.displacement);
      eq.Add(id, item::kHorsepower, v.horsepower);
      eq.Add(id, item::kWeight, v.weight);
      eq.Add(id, item::kAcceleration, v.acceleration);
      eq.Add(id, item::kFuelEconomy, v.mpg);
      if (price) eq.Add(id, item::kPrice, std::to_string(*price));
      for (const ExtraCriterion& c : criteria)
        for (const EquipmentValue& e : CriterionValues(c, v, id)) eq.Add(id, c.schemaId, e.value, e.optionId);
      for (int k = criterionItems; k < extraItems; ++k) {
        const std::uint64_t r = Mix(static_cast<std::uint64_t>(id), static_cast<std::uint64_t>(k));
        const int option = r % 10 < 3 ? 1 + static_cast<int>((r >> 8) % 3) : 0;
        std::string value = "v";
        value += std::to_string((r >> 16) % (2 + k % 30));
        eq.Add(id, kFirstExtraItem + k, value, option);
      }

      // A model that is only the make's name ("Subaru") is not repeated in the name.
      const std::string name = v.model == make.name ? make.name : make.name + " " + v.model;
      version.Bind(1, id).Bind(2, name).Bind(3, make.name).Bind(4, v.model).Bind(5, v.year);
      if (v.origin) version.Bind(6, std::string_view(OriginCode(*v.origin)));
      else version.BindNull(6);
      version.Bind(7, price ? std::optional<double>(static_cast<double>(*price)) : std::nullopt);
      version.Run();
    }
    summary.vehicles = vehicles.size();
    summary.equipmentRows = eq.Rows();
    summary.makes = codes.make.size();
    summary.models = codes.model.size();
    WriteSchemaTexts(db, codes, criteria);
  }
  CreateSpecsIndexes(db);
  FinishBuild(db);
  db.Close();
  return summary;
}

// ---------------------------------------------------------------------------
// The project database: the search screen.

namespace {

constexpr int kList = 1;   // multi_select_style: pick values from a list
constexpr int kRange = 2;  // multi_select_style: a minimum and a maximum

struct CriterionRow {
  int rowId;
  int orderId;
  const char* category;
  int schemaId;
  const char* value;  // '' or '*': every value of the item
  int style;
  std::optional<double> increment;  // step of a range ladder
  std::optional<int> format;        // decimals shown
};

// The screen as a person would lay it out: each item in one row only, continuous
// quantities as ranges, coded classes in their order. Each section has lists and ranges;
// row 70 holds a range and a numeric list under one title ("Engine size": displacement
// and cylinders), each part labelled with its item's name (schema_text rows with an empty
// data value), so that the screen's merge of rows is exercised across kinds.
const std::vector<CriterionRow>& CriterionRows() {
  static const std::vector<CriterionRow> rows = {
      {10, 1, "General", item::kOrigin, "", kList, {}, {}},
      {20, 1, "General", item::kMakerGroup, "", kList, {}, {}},
      {30, 1, "General", item::kMake, "", kList, {}, {}},
      {40, 1, "General", item::kModelYear, "", kList, {}, {}},  // years unformatted: 1976, not 1,976
      {50, 1, "General", item::kPrice, "", kRange, 500.0, 0},
      {60, 1, "Engine", item::kLayout, "", kList, {}, {}},
      {70, 1, "Engine", item::kDisplacement, "", kRange, 20.0, 0},
      {70, 2, "Engine", item::kCylinders, "", kList, {}, 0},
      {90, 1, "Engine", item::kHorsepower, "", kRange, 10.0, 0},
      {100, 1, "Body", item::kAirCon, "Y", kList, {}, {}},
      {110, 1, "Body", item::kWeightClass, "", kList, {}, {}},
      {120, 1, "Body", item::kAcceleration, "", kRange, 1.0, 0},
      {130, 1, "Body", item::kWeight, "", kRange, 100.0, 0},
      {140, 1, "Body", item::kFuelEconomy, "", kRange, 1.0, 1},
  };
  return rows;
}

struct RowTitle {
  int rowId;
  Texts title;
};

// Two titles are untidy on purpose, as titles typed by editors are: blanks
// around the UK "Engine size" and a lower-case French "consommation". The
// library tidies them for display.
const std::vector<RowTitle>& RowTitles() {
  static const std::vector<RowTitle> titles = {
      {10, {"Origin", "Herkunft", "Origine", ""}},
      {20, {"Maker group", "Konzern", "Groupe de constructeurs", ""}},
      {30, {"Make", "Marke", "Marque", ""}},
      {40, {"Model year", "Modelljahr", "Année-modèle", ""}},
      {50, {"Price", "Preis", "Prix", ""}},
      {60, {"Engine layout", "Motorbauart", "Architecture du moteur", ""}},
      {70, {"  Engine size ", "Motorgröße", "Taille du moteur", "Engine size"}},
      {90, {"Horsepower (hp)", "Leistung (hp)", "Puissance (hp)", ""}},
      {100, {"Air conditioning", "Klimaanlage", "Climatisation", ""}},
      {110, {"Weight class", "Gewichtsklasse", "Catégorie de poids", ""}},
      {120, {"Acceleration 0–60 mph (s)", "Beschleunigung 0–60 mph (s)",
             "Accélération 0–60 mph (s)", ""}},
      {130, {"Kerb weight (lb)", "Leergewicht (lb)", "Poids à vide (lb)", "Curb weight (lb)"}},
      {140, {"Fuel economy (mpg)", "Kraftstoffverbrauch (mpg)", "consommation (mpg)", ""}},
  };
  return titles;
}

struct Category {
  const char* name;  // also the text_id of its heading
  int order;
  Texts heading;
};
const std::vector<Category>& Categories() {
  static const std::vector<Category> categories = {
      {"General", 1, {"General", "Allgemein", "Général", ""}},
      {"Engine", 2, {"Engine", "Motor", "Moteur", ""}},
      {"Body", 3, {"Body", "Karosserie", "Carrosserie", ""}},
  };
  return categories;
}

// Segment 1 "compact" shows the rows a small-car buyer looks at first;
// segment 2 "all" shows every row.
constexpr int kCompactSegment = 1;
constexpr int kAllSegment = 2;
constexpr int kCompactRows[] = {10, 30, 50, 60, 70, 100, 140};

struct Currency {
  const char* code;
  const char* symbol;
  int symbolAfter;  // 1: "100 kr", 0: "$100"
  int decimals;
  double perEuro;
};
constexpr Currency kCurrencies[] = {
    {"EUR", "€", 0, 2, 1.0},     {"USD", "$", 0, 2, 1.08},    {"GBP", "£", 0, 2, 0.86},
    {"JPY", "¥", 0, 0, 158.0},   {"CHF", "CHF", 1, 2, 0.96},  {"SEK", "kr", 1, 2, 11.3},
    {"DKK", "kr", 1, 2, 7.46},   {"NOK", "kr", 1, 2, 11.6},   {"PLN", "zł", 1, 2, 4.3},
    {"CZK", "Kč", 1, 2, 25.2},   {"HUF", "Ft", 1, 0, 395.0},
};

}  // namespace

void WriteProjectDatabase(const std::filesystem::path& file, const std::vector<ExtraCriterion>& criteria) {
  Database db = Database::Create(file);
  StartBuild(db);
  db.Exec(
      "CREATE TABLE search_by_features(row_id INTEGER, order_id INTEGER, category TEXT, "
      "criterion_schema_id INTEGER, criterion_location INTEGER, criterion_value TEXT, "
      "multi_select_style INTEGER, criterion_increment REAL, criterion_format INTEGER)");
  db.Exec("CREATE TABLE search_by_features_segmentation(segment_id INTEGER, sbf_row_id INTEGER)");
  db.Exec(
      "CREATE TABLE search_by_features_text(sbf_row_id INTEGER, search_by_Features_text TEXT, "
      "language_id INTEGER)");
  db.Exec("CREATE TABLE categories(category_name TEXT PRIMARY KEY, sbf_order_id INTEGER)");
  db.Exec("CREATE TABLE application_texts(text_id TEXT, application_text TEXT, language_id INTEGER)");
  db.Exec(
      "CREATE TABLE currency_symbol(code TEXT PRIMARY KEY, symbol TEXT, symbolafter INTEGER, "
      "decimals INTEGER, conversion REAL)");
  {
    Statement criterion = db.Prepare(
        "INSERT INTO search_by_features(row_id, order_id, category, criterion_schema_id, "
        "criterion_location, criterion_value, multi_select_style, criterion_increment, "
        "criterion_format) VALUES (?, ?, ?, ?, 0, ?, ?, ?, ?)");
    Statement segment = db.Prepare(
        "INSERT INTO search_by_features_segmentation(segment_id, sbf_row_id) VALUES (?, ?)");
    std::set<int> rowIds;
    for (const CriterionRow& r : CriterionRows()) {
      criterion.Bind(1, r.rowId).Bind(2, r.orderId).Bind(3, std::string_view(r.category));
      criterion.Bind(4, r.schemaId).Bind(5, std::string_view(r.value)).Bind(6, r.style);
      criterion.Bind(7, r.increment);
      if (r.format) criterion.Bind(8, *r.format);
      else criterion.BindNull(8);
      criterion.Run();
      rowIds.insert(r.rowId);
    }
    for (const ExtraCriterion& c : criteria) {
      criterion.Bind(1, c.rowId).Bind(2, 1).Bind(3, std::string_view(c.category->name));
      criterion.Bind(4, c.schemaId).Bind(5, std::string_view("")).Bind(6, c.kind == CriterionKind::Range ? kRange : kList);
      criterion.Bind(7, c.increment);
      if (c.format) criterion.Bind(8, *c.format);
      else criterion.BindNull(8);
      criterion.Run();
      rowIds.insert(c.rowId);
    }
    for (const int rowId : rowIds) segment.Bind(1, kAllSegment).Bind(2, rowId).Run();
    for (const int rowId : kCompactRows) segment.Bind(1, kCompactSegment).Bind(2, rowId).Run();

    Statement title = db.Prepare(
        "INSERT INTO search_by_features_text(sbf_row_id, search_by_Features_text, language_id) "
        "VALUES (?, ?, ?)");
    for (const RowTitle& t : RowTitles())
      for (const int language : kLanguageIds)
        title.Bind(1, t.rowId).Bind(2, t.title.In(language)).Bind(3, language).Run();
    for (const ExtraCriterion& c : criteria)
      for (const int language : kLanguageIds)
        title.Bind(1, c.rowId).Bind(2, c.title.In(language)).Bind(3, language).Run();

    Statement category =
        db.Prepare("INSERT INTO categories(category_name, sbf_order_id) VALUES (?, ?)");
    Statement heading = db.Prepare(
        "INSERT INTO application_texts(text_id, application_text, language_id) VALUES (?, ?, ?)");
    auto addCategory = [&](const char* name, int order, const Texts& texts) {
      category.Bind(1, std::string_view(name)).Bind(2, order).Run();
      for (const int language : kLanguageIds)
        heading.Bind(1, std::string_view(name)).Bind(2, texts.In(language)).Bind(3, language).Run();
    };
    for (const Category& c : Categories()) addCategory(c.name, c.order, c.heading);
    // The criteria's categories that hold a row.
    for (const ExtraCategory& c : ExtraCategories())
      if (std::any_of(criteria.begin(), criteria.end(), [&](const ExtraCriterion& x) { return x.category == &c; }))
        addCategory(c.name, c.order, c.heading);

    Statement currency = db.Prepare(
        "INSERT INTO currency_symbol(code, symbol, symbolafter, decimals, conversion) "
        "VALUES (?, ?, ?, ?, ?)");
    for (const Currency& c : kCurrencies) {
      currency.Bind(1, std::string_view(c.code)).Bind(2, std::string_view(c.symbol));
      currency.Bind(3, c.symbolAfter).Bind(4, c.decimals).Bind(5, c.perEuro).Run();
    }
  }
  db.Exec("CREATE INDEX search_by_features_item ON search_by_features(criterion_schema_id, criterion_location)");
  db.Exec("CREATE INDEX search_by_features_row ON search_by_features(row_id, order_id)");
  db.Exec("CREATE INDEX search_by_features_text_row ON search_by_features_text(sbf_row_id, language_id)");
  FinishBuild(db);
  db.Close();
}

}  // namespace sampledb
