#include "Criteria.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>

#include "Synthetic.h"

namespace sampledb {

namespace {

Texts T(const char* enGb, const char* de, const char* fr, const char* enUs = "") { return Texts{enGb, de, fr, enUs}; }

// What a vehicle's value of an item follows.
enum class Driver {
  Lux,     // price: more and better equipment on dearer cars
  Size,    // weight: dimensions, capacities
  Power,   // horsepower: speed, torque
  Thirst,  // fuel use: weight up, model year down
  Year,    // newer cars: later technology
};

// A list of coded values, codes "1", "2", ... in the order given. An ordered list runs from
// the plainest to the best (a dearer car tends to the end); in the others a few values are
// common and the rest rare.
struct Vocabulary {
  bool ordered;
  std::vector<Texts> values;
};

const Vocabulary kGearbox{false, {T("Manual", "Schaltgetriebe", "Manuelle"), T("Automatic", "Automatik", "Automatique"),
                                  T("Semi-automatic", "Halbautomatik", "Semi-automatique")}};
const Vocabulary kDrive{false, {T("Rear-wheel drive", "Hinterradantrieb", "Propulsion"),
                                T("Front-wheel drive", "Frontantrieb", "Traction avant"),
                                T("Four-wheel drive, selectable", "Allrad, zuschaltbar", "4 roues motrices enclenchables"),
                                T("Four-wheel drive, permanent", "Allrad, permanent", "4 roues motrices permanentes")}};
const Vocabulary kFuel{false, {T("Petrol", "Benzin", "Essence"), T("Diesel", "Diesel", "Gazole"),
                               T("LPG", "Autogas", "GPL")}};
const Vocabulary kInduction{false, {T("Naturally aspirated", "Saugmotor", "Atmosphérique"),
                                    T("Turbocharged", "Turbolader", "Turbocompressé"),
                                    T("Supercharged", "Kompressor", "Compresseur")}};
const Vocabulary kFuelSystem{true, {T("Carburettor", "Vergaser", "Carburateur", "Carburetor"),
                                    T("Mechanical injection", "Mechanische Einspritzung", "Injection mécanique"),
                                    T("Electronic injection", "Elektronische Einspritzung", "Injection électronique")}};
const Vocabulary kIgnition{true, {T("Contact breaker", "Unterbrecher", "Rupteur"),
                                  T("Transistorised", "Transistorzündung", "Transistorisé"),
                                  T("Electronic", "Elektronisch", "Électronique")}};
const Vocabulary kSteering{true, {T("Unassisted", "Ohne Servo", "Sans assistance"),
                                  T("Power-assisted", "Servolenkung", "Assistée"),
                                  T("Speed-sensitive", "Geschwindigkeitsabhängig", "Asservie à la vitesse")}};
const Vocabulary kBrakes{true, {T("Drum", "Trommel", "Tambour"), T("Disc", "Scheibe", "Disque"),
                                T("Ventilated disc", "Innenbelüftete Scheibe", "Disque ventilé")}};
const Vocabulary kFrontSuspension{false, {T("Double wishbone", "Doppelquerlenker", "Double triangulation"),
                                          T("MacPherson strut", "McPherson-Federbein", "Jambe McPherson"),
                                          T("Rigid axle", "Starrachse", "Essieu rigide")}};
const Vocabulary kRearSuspension{false, {T("Leaf springs", "Blattfedern", "Ressorts à lames"),
                                         T("Coil springs", "Schraubenfedern", "Ressorts hélicoïdaux"),
                                         T("Independent", "Einzelradaufhängung", "Roues indépendantes"),
                                         T("Self-levelling", "Niveauregulierung", "Correcteur d'assiette")}};
const Vocabulary kSprings{false, {T("Steel", "Stahl", "Acier"), T("Torsion bar", "Drehstab", "Barre de torsion"),
                                  T("Hydropneumatic", "Hydropneumatisch", "Hydropneumatique")}};
const Vocabulary kShocks{true, {T("Hydraulic", "Hydraulisch", "Hydrauliques"), T("Gas-filled", "Gasdruck", "À gaz"),
                                T("Adjustable", "Verstellbar", "Réglables")}};
const Vocabulary kBody{false, {T("Saloon", "Limousine", "Berline", "Sedan"), T("Estate", "Kombi", "Break", "Station wagon"),
                               T("Coupé", "Coupé", "Coupé"), T("Hatchback", "Schrägheck", "Bicorps"),
                               T("Convertible", "Cabriolet", "Cabriolet"), T("Pick-up", "Pick-up", "Pick-up")}};
const Vocabulary kUpholstery{true, {T("Vinyl", "Kunstleder", "Similicuir"), T("Cloth", "Stoff", "Tissu"),
                                    T("Velour", "Velours", "Velours"), T("Leather", "Leder", "Cuir")}};
const Vocabulary kColours{false, {T("White", "Weiß", "Blanc"), T("Black", "Schwarz", "Noir"), T("Red", "Rot", "Rouge"),
                                  T("Blue", "Blau", "Bleu"), T("Silver", "Silber", "Argent"), T("Green", "Grün", "Vert"),
                                  T("Brown", "Braun", "Marron"), T("Yellow", "Gelb", "Jaune")}};
const Vocabulary kInteriorColours{false, {T("Black", "Schwarz", "Noir"), T("Beige", "Beige", "Beige"),
                                          T("Grey", "Grau", "Gris", "Gray"), T("Brown", "Braun", "Marron"),
                                          T("Red", "Rot", "Rouge")}};
const Vocabulary kTrim{true, {T("Base", "Basis", "Base"), T("Deluxe", "Deluxe", "Luxe"), T("Sport", "Sport", "Sport"),
                              T("Luxury", "Luxus", "Prestige")}};
const Vocabulary kRoof{false, {T("Fixed", "Fest", "Fixe"), T("Sunroof", "Schiebedach", "Toit ouvrant"),
                               T("Vinyl roof", "Vinyldach", "Toit vinyle"), T("T-top", "T-Top", "Toit en T")}};
const Vocabulary kMirrors{true, {T("Manual", "Manuell", "Manuels"), T("Adjustable from inside", "Innen verstellbar",
                                                                     "Réglables de l'intérieur"),
                                 T("Electric", "Elektrisch", "Électriques"),
                                 T("Electric, heated", "Elektrisch, beheizt", "Électriques, dégivrants")}};
const Vocabulary kWindows{true, {T("Winding", "Kurbel", "Manuelles"), T("Electric front", "Elektrisch vorn",
                                                                         "Électriques à l'avant"),
                                 T("Electric all round", "Elektrisch rundum", "Électriques partout")}};
const Vocabulary kRadio{true, {T("AM", "MW", "PO"), T("AM/FM", "MW/UKW", "PO/FM"),
                               T("AM/FM stereo", "MW/UKW Stereo", "PO/FM stéréo"),
                               T("Stereo with cassette", "Stereo mit Kassette", "Stéréo à cassette")}};
const Vocabulary kSeatAdjustment{true, {T("Manual", "Manuell", "Manuel"), T("Electric", "Elektrisch", "Électrique"),
                                        T("Electric with memory", "Elektrisch mit Memory", "Électrique à mémoire")}};
const Vocabulary kWheels{true, {T("Steel", "Stahl", "Tôle"), T("Steel with trims", "Stahl mit Blenden", "Tôle avec enjoliveurs"),
                                T("Alloy", "Leichtmetall", "Alliage"), T("Wire", "Speichen", "Rayons")}};
const Vocabulary kHeadlamps{false, {T("Round", "Rund", "Ronds"), T("Rectangular", "Rechteckig", "Rectangulaires"),
                                    T("Twin round", "Doppelrund", "Doubles ronds"),
                                    T("Pop-up", "Klappscheinwerfer", "Escamotables")}};
const Vocabulary kBulbs{true, {T("Tungsten", "Glühlampe", "Incandescence"), T("Halogen", "Halogen", "Halogène")}};
const Vocabulary kLocking{true, {T("Key", "Schlüssel", "Clé"), T("Central", "Zentral", "Centralisée"),
                                 T("Central, remote", "Zentral, Fernbedienung", "Centralisée à distance")}};
const Vocabulary kClimate{true, {T("Heater", "Heizung", "Chauffage"), T("Heater with fan", "Heizung mit Gebläse",
                                                                        "Chauffage ventilé"),
                                 T("Air conditioning", "Klimaanlage", "Climatisation"),
                                 T("Climate control", "Klimaautomatik", "Climatisation automatique")}};
const Vocabulary kClock{false, {T("Analogue", "Analog", "Analogique", "Analog"), T("Digital", "Digital", "Numérique")}};
const Vocabulary kInstruments{true, {T("Basic", "Einfach", "Simple"), T("With rev counter", "Mit Drehzahlmesser",
                                                                         "Avec compte-tours"),
                                     T("Full", "Komplett", "Complète")}};
const Vocabulary kWipers{true, {T("Two-speed", "Zweistufig", "Deux vitesses"), T("Intermittent", "Intervall", "Intermittent")}};
const Vocabulary kSpareWheel{false, {T("Full-size", "Vollwertig", "Normale"), T("Space-saver", "Notrad", "Galette")}};
const Vocabulary kTowbar{false, {T("Fixed", "Fest", "Fixe"), T("Detachable", "Abnehmbar", "Amovible")}};
const Vocabulary kExhaust{true, {T("Single", "Einrohr", "Simple"), T("Twin", "Doppelrohr", "Double")}};
const Vocabulary kRearBelts{true, {T("Lap", "Becken", "Ventrales"), T("Three-point", "Dreipunkt", "Trois points")}};
const Vocabulary kAerial{true, {T("Fixed", "Fest", "Fixe"), T("Electric", "Elektrisch", "Électrique")}};
const Vocabulary kGlass{true, {T("Clear", "Klar", "Incolore"), T("Tinted", "Getönt", "Teinté"),
                               T("Tinted, shaded windscreen", "Getönt, Blendstreifen", "Teinté, bandeau pare-soleil")}};
const Vocabulary kFloor{true, {T("Rubber", "Gummi", "Caoutchouc"), T("Carpet", "Teppich", "Moquette"),
                               T("Deep-pile carpet", "Velours", "Moquette épaisse")}};
const Vocabulary kSpeakers{true, {T("Front", "Vorn", "Avant"), T("Front and rear", "Vorn und hinten", "Avant et arrière")}};

// One entry of the catalogue.
struct Entry {
  const char* category = "";
  CriterionKind kind = CriterionKind::Coded;
  Texts title;
  const Vocabulary* vocabulary = nullptr;  // coded lists; none: one value "Y" named like the row
  bool several = false;                    // a vehicle may carry several of the values
  double presence = 0.9;                   // share of vehicles that carry the item at all
  Driver driver = Driver::Lux;
  double lo = 0, hi = 0;                   // ranges: the values run from lo to hi
  int decimals = 0;                        // ranges: decimals of the values and of the format
  double increment = 1;                    // ranges: the ladder's step
  std::vector<int> numbers;                // numeric lists, smallest first
};

Entry List(const char* category, Texts title, const Vocabulary& vocabulary, double presence = 0.95, bool several = false) {
  Entry e;
  e.category = category;
  e.kind = CriterionKind::Coded;
  e.title = std::move(title);
  e.vocabulary = &vocabulary;
  e.presence = presence;
  e.several = several;
  return e;
}

// Equipment that a vehicle has or has not: a list of one value.
Entry Flag(const char* category, Texts title, double presence) {
  Entry e;
  e.category = category;
  e.kind = CriterionKind::Coded;
  e.title = std::move(title);
  e.presence = presence;
  return e;
}

Entry Range(const char* category, Texts title, Driver driver, double lo, double hi, int decimals, double increment) {
  Entry e;
  e.category = category;
  e.kind = CriterionKind::Range;
  e.title = std::move(title);
  e.presence = 0.96;
  e.driver = driver;
  e.lo = lo;
  e.hi = hi;
  e.decimals = decimals;
  e.increment = increment;
  return e;
}

Entry Numbers(const char* category, Texts title, Driver driver, std::vector<int> numbers) {
  Entry e;
  e.category = category;
  e.kind = CriterionKind::NumericList;
  e.title = std::move(title);
  e.driver = driver;
  e.numbers = std::move(numbers);
  return e;
}

const std::vector<Entry>& Catalogue() {
  static const std::vector<Entry> entries = {
      // Drivetrain
      List("Drivetrain", T("Gearbox", "Getriebe", "Boîte de vitesses", "Transmission"), kGearbox),
      List("Drivetrain", T("Driven wheels", "Antriebsart", "Roues motrices"), kDrive),
      List("Drivetrain", T("Fuel", "Kraftstoff", "Carburant"), kFuel),
      List("Drivetrain", T("Aspiration", "Aufladung", "Suralimentation"), kInduction),
      List("Drivetrain", T("Fuel system", "Gemischaufbereitung", "Alimentation"), kFuelSystem),
      List("Drivetrain", T("Ignition", "Zündung", "Allumage"), kIgnition),
      Range("Drivetrain", T("Power (kW)", "Leistung (kW)", "Puissance (kW)"), Driver::Power, 34, 172, 0, 5),
      Range("Drivetrain", T("Torque (Nm)", "Drehmoment (Nm)", "Couple (Nm)"), Driver::Power, 90, 520, 0, 10),
      Range("Drivetrain", T("Top speed (km/h)", "Höchstgeschwindigkeit (km/h)", "Vitesse maximale (km/h)"), Driver::Power,
            125, 225, 0, 5),
      Range("Drivetrain", T("Bore (mm)", "Bohrung (mm)", "Alésage (mm)"), Driver::Size, 66, 110, 1, 1),
      Range("Drivetrain", T("Stroke (mm)", "Hub (mm)", "Course (mm)"), Driver::Size, 60, 98, 1, 1),
      Range("Drivetrain", T("Compression ratio", "Verdichtung", "Taux de compression"), Driver::Year, 7.5, 10.5, 1, 0.1),
      Range("Drivetrain", T("Final drive ratio", "Achsübersetzung", "Rapport de pont"), Driver::Power, 2.5, 4.6, 2, 0.05),
      Numbers("Drivetrain", T("Forward gears", "Vorwärtsgänge", "Rapports avant"), Driver::Year, {3, 4, 5}),
      Numbers("Drivetrain", T("Valves per cylinder", "Ventile je Zylinder", "Soupapes par cylindre"), Driver::Power, {2, 3, 4}),
      Numbers("Drivetrain", T("Carburettor barrels", "Vergaserstufen", "Corps de carburateur", "Carburetor barrels"),
              Driver::Power, {1, 2, 4}),
      Flag("Drivetrain", T("Limited-slip differential", "Sperrdifferenzial", "Différentiel autobloquant"), 0.2),
      Flag("Drivetrain", T("Overdrive", "Schnellgang", "Overdrive"), 0.35),
      Flag("Drivetrain", T("Oil cooler", "Ölkühler", "Radiateur d'huile"), 0.3),
      Flag("Drivetrain", T("Catalytic converter", "Katalysator", "Pot catalytique"), 0.45),
      Flag("Drivetrain", T("Engine block heater", "Motorvorwärmung", "Préchauffage moteur"), 0.15),
      Flag("Drivetrain", T("Heavy-duty battery", "Verstärkte Batterie", "Batterie renforcée"), 0.3),
      Flag("Drivetrain", T("Heavy-duty cooling", "Verstärkte Kühlung", "Refroidissement renforcé"), 0.3),
      Flag("Drivetrain", T("Cruise control", "Tempomat", "Régulateur de vitesse"), 0.35),
      Flag("Drivetrain", T("Electric cooling fan", "Elektrolüfter", "Ventilateur électrique"), 0.5),
      // Chassis
      List("Chassis", T("Steering", "Lenkung", "Direction"), kSteering),
      List("Chassis", T("Front brakes", "Bremsen vorn", "Freins avant"), kBrakes),
      List("Chassis", T("Rear brakes", "Bremsen hinten", "Freins arrière"), kBrakes),
      List("Chassis", T("Front suspension", "Vorderachse", "Suspension avant"), kFrontSuspension),
      List("Chassis", T("Rear suspension", "Hinterachse", "Suspension arrière"), kRearSuspension),
      List("Chassis", T("Springs", "Federung", "Ressorts"), kSprings),
      List("Chassis", T("Shock absorbers", "Stoßdämpfer", "Amortisseurs"), kShocks),
      List("Chassis", T("Wheels", "Räder", "Jantes"), kWheels),
      List("Chassis", T("Spare wheel", "Reserverad", "Roue de secours"), kSpareWheel, 0.9),
      Range("Chassis", T("Tyre width (mm)", "Reifenbreite (mm)", "Largeur des pneus (mm)", "Tire width (mm)"), Driver::Size, 145,
            235, 0, 10),
      Range("Chassis", T("Turning circle (m)", "Wendekreis (m)", "Diamètre de braquage (m)"), Driver::Size, 9, 13.6, 1, 0.1),
      Range("Chassis", T("Steering turns lock to lock", "Lenkradumdrehungen", "Tours de volant"), Driver::Year, 2.5, 5, 1, 0.1),
      Numbers("Chassis", T("Wheel diameter (in)", "Felgendurchmesser (Zoll)", "Diamètre des jantes (po)"), Driver::Size,
              {12, 13, 14, 15, 16}),
      Flag("Chassis", T("Anti-roll bar, front", "Stabilisator vorn", "Barre antiroulis avant"), 0.7),
      Flag("Chassis", T("Anti-roll bar, rear", "Stabilisator hinten", "Barre antiroulis arrière"), 0.4),
      Flag("Chassis", T("Sports suspension", "Sportfahrwerk", "Suspension sport"), 0.15),
      Flag("Chassis", T("Heavy-duty suspension", "Verstärktes Fahrwerk", "Suspension renforcée"), 0.2),
      Flag("Chassis", T("Brake servo", "Bremskraftverstärker", "Servofrein"), 0.75),
      Flag("Chassis", T("Anti-lock brakes", "Antiblockiersystem", "Antiblocage des roues"), 0.08),
      Flag("Chassis", T("Adjustable steering column", "Verstellbare Lenksäule", "Colonne de direction réglable"), 0.35),
      Flag("Chassis", T("Self-adjusting brakes", "Selbstnachstellende Bremsen", "Freins à rattrapage automatique"), 0.6),
      // Dimensions
      Range("Dimensions", T("Length (mm)", "Länge (mm)", "Longueur (mm)"), Driver::Size, 3650, 5700, 0, 50),
      Range("Dimensions", T("Width (mm)", "Breite (mm)", "Largeur (mm)"), Driver::Size, 1500, 2040, 0, 10),
      Range("Dimensions", T("Height (mm)", "Höhe (mm)", "Hauteur (mm)"), Driver::Size, 1200, 1480, 0, 10),
      Range("Dimensions", T("Wheelbase (mm)", "Radstand (mm)", "Empattement (mm)"), Driver::Size, 2200, 3100, 0, 10),
      Range("Dimensions", T("Front track (mm)", "Spur vorn (mm)", "Voie avant (mm)"), Driver::Size, 1260, 1650, 0, 10),
      Range("Dimensions", T("Rear track (mm)", "Spur hinten (mm)", "Voie arrière (mm)"), Driver::Size, 1250, 1640, 0, 10),
      Range("Dimensions", T("Ground clearance (mm)", "Bodenfreiheit (mm)", "Garde au sol (mm)"), Driver::Lux, 110, 210, 0, 5),
      Range("Dimensions", T("Boot volume (l)", "Kofferraum (l)", "Volume du coffre (l)", "Trunk volume (l)"), Driver::Size, 180,
            720, 0, 10),
      Range("Dimensions", T("Fuel tank (l)", "Tankinhalt (l)", "Réservoir (l)"), Driver::Size, 35, 100, 0, 5),
      Range("Dimensions", T("Gross vehicle weight (kg)", "Zulässiges Gesamtgewicht (kg)", "Poids total autorisé (kg)"),
            Driver::Size, 1100, 2800, 0, 50),
      Range("Dimensions", T("Payload (kg)", "Zuladung (kg)", "Charge utile (kg)"), Driver::Size, 330, 720, 0, 10),
      Range("Dimensions", T("Towing capacity, braked (kg)", "Anhängelast gebremst (kg)", "Poids tractable freiné (kg)"),
            Driver::Power, 500, 2500, 0, 50),
      Range("Dimensions", T("Towing capacity, unbraked (kg)", "Anhängelast ungebremst (kg)", "Poids tractable non freiné (kg)"),
            Driver::Size, 350, 750, 0, 10),
      Range("Dimensions", T("Roof load (kg)", "Dachlast (kg)", "Charge sur le toit (kg)"), Driver::Size, 50, 100, 0, 5),
      Range("Dimensions", T("Fuel use, urban (l/100 km)", "Verbrauch innerorts (l/100 km)", "Consommation urbaine (l/100 km)"),
            Driver::Thirst, 7, 24, 1, 0.5),
      Range("Dimensions", T("Fuel use, extra-urban (l/100 km)", "Verbrauch außerorts (l/100 km)",
                            "Consommation extra-urbaine (l/100 km)"),
            Driver::Thirst, 5, 15, 1, 0.5),
      Range("Dimensions", T("Drag coefficient", "Luftwiderstandsbeiwert", "Coefficient de traînée"), Driver::Size, 0.32, 0.52, 2,
            0.01),
      Numbers("Dimensions", T("Doors", "Türen", "Portes"), Driver::Size, {2, 3, 4, 5}),
      Numbers("Dimensions", T("Seats", "Sitzplätze", "Places"), Driver::Size, {2, 4, 5, 6, 7, 8}),
      // Safety
      List("Safety", T("Rear seat belts", "Gurte hinten", "Ceintures arrière"), kRearBelts, 0.85),
      Flag("Safety", T("Head restraints, front", "Kopfstützen vorn", "Appuie-tête avant"), 0.7),
      Flag("Safety", T("Head restraints, rear", "Kopfstützen hinten", "Appuie-tête arrière"), 0.25),
      Flag("Safety", T("Dual-circuit brakes", "Zweikreisbremse", "Double circuit de freinage"), 0.8),
      Flag("Safety", T("Side impact bars", "Seitenaufprallschutz", "Barres de protection latérale"), 0.45),
      Flag("Safety", T("Child locks", "Kindersicherung", "Sécurité enfants"), 0.6),
      Flag("Safety", T("Hazard warning lights", "Warnblinkanlage", "Feux de détresse"), 0.85),
      Flag("Safety", T("Rear fog light", "Nebelschlussleuchte", "Feu antibrouillard arrière"), 0.55),
      Flag("Safety", T("Heated rear window", "Heizbare Heckscheibe", "Lunette arrière dégivrante"), 0.75),
      Flag("Safety", T("Laminated windscreen", "Verbundglas-Frontscheibe", "Pare-brise feuilleté", "Laminated windshield"), 0.5),
      Flag("Safety", T("Collapsible steering column", "Sicherheitslenksäule", "Colonne de direction rétractable"), 0.8),
      Flag("Safety", T("Padded dashboard", "Gepolsterte Armaturentafel", "Planche de bord rembourrée"), 0.7),
      Flag("Safety", T("Driver's airbag", "Fahrerairbag", "Airbag conducteur"), 0.03),
      Flag("Safety", T("Alarm", "Alarmanlage", "Alarme"), 0.2),
      Flag("Safety", T("First-aid kit", "Verbandkasten", "Trousse de secours"), 0.4),
      Flag("Safety", T("Warning triangle", "Warndreieck", "Triangle de signalisation"), 0.5),
      Flag("Safety", T("Brake pad wear indicator", "Bremsbelagverschleißanzeige", "Témoin d'usure des plaquettes"), 0.3),
      Flag("Safety", T("Seat belt warning", "Gurtwarnung", "Alerte de ceinture"), 0.4),
      Flag("Safety", T("Lights-on warning", "Lichtwarnsummer", "Alerte d'oubli des feux"), 0.2),
      // Comfort
      List("Comfort", T("Heating and ventilation", "Heizung und Lüftung", "Chauffage et ventilation"), kClimate),
      List("Comfort", T("Central locking", "Zentralverriegelung", "Verrouillage"), kLocking),
      List("Comfort", T("Windows", "Fensterheber", "Lève-vitres"), kWindows),
      List("Comfort", T("Door mirrors", "Außenspiegel", "Rétroviseurs extérieurs"), kMirrors),
      List("Comfort", T("Driver's seat adjustment", "Fahrersitzverstellung", "Réglage du siège conducteur"), kSeatAdjustment),
      List("Comfort", T("Passenger seat adjustment", "Beifahrersitzverstellung", "Réglage du siège passager"), kSeatAdjustment,
           0.9),
      List("Comfort", T("Roof", "Dach", "Toit"), kRoof, 0.9),
      Flag("Comfort", T("Heated front seats", "Sitzheizung vorn", "Sièges avant chauffants"), 0.12),
      Flag("Comfort", T("Heated rear seats", "Sitzheizung hinten", "Sièges arrière chauffants"), 0.04),
      Flag("Comfort", T("Reclining front seats", "Liegesitze vorn", "Sièges avant inclinables"), 0.7),
      Flag("Comfort", T("Split folding rear seat", "Geteilt umklappbare Rückbank", "Banquette rabattable fractionnée"), 0.3),
      Flag("Comfort", T("Front armrest", "Armlehne vorn", "Accoudoir avant"), 0.45),
      Flag("Comfort", T("Rear armrest", "Armlehne hinten", "Accoudoir arrière"), 0.35),
      Flag("Comfort", T("Lumbar support", "Lendenwirbelstütze", "Soutien lombaire"), 0.2),
      Flag("Comfort", T("Remote boot release", "Heckklappenentriegelung innen", "Ouverture du coffre à distance",
                        "Remote trunk release"),
           0.3),
      Flag("Comfort", T("Remote fuel filler release", "Tankklappenentriegelung innen", "Ouverture de trappe à carburant"), 0.25),
      Flag("Comfort", T("Tilting steering wheel", "Neigungsverstellbares Lenkrad", "Volant inclinable"), 0.3),
      Flag("Comfort", T("Headlamp levelling", "Leuchtweitenregulierung", "Correcteur de portée des phares"), 0.3),
      Flag("Comfort", T("Rear window blind", "Heckscheibenrollo", "Rideau de lunette arrière"), 0.05),
      Flag("Comfort", T("Electric sunroof", "Elektrisches Schiebedach", "Toit ouvrant électrique"), 0.1),
      // Interior
      List("Interior", T("Upholstery", "Polsterung", "Garnissage"), kUpholstery),
      List("Interior", T("Interior colours", "Innenfarben", "Coloris intérieurs", "Interior colors"), kInteriorColours, 1.0,
           true),
      List("Interior", T("Instruments", "Instrumente", "Instrumentation"), kInstruments),
      List("Interior", T("Clock", "Uhr", "Montre"), kClock, 0.7),
      List("Interior", T("Floor covering", "Bodenbelag", "Revêtement de sol"), kFloor),
      Flag("Interior", T("Trip computer", "Bordcomputer", "Ordinateur de bord"), 0.06),
      Flag("Interior", T("Oil pressure gauge", "Öldruckanzeige", "Manomètre d'huile"), 0.35),
      Flag("Interior", T("Voltmeter", "Voltmeter", "Voltmètre"), 0.3),
      Flag("Interior", T("Lockable glovebox", "Abschließbares Handschuhfach", "Boîte à gants verrouillable"), 0.5),
      Flag("Interior", T("Cigarette lighter", "Zigarettenanzünder", "Allume-cigare"), 0.8),
      Flag("Interior", T("Rear ashtrays", "Aschenbecher hinten", "Cendriers arrière"), 0.6),
      Flag("Interior", T("Front door pockets", "Türtaschen vorn", "Vide-poches avant"), 0.6),
      Flag("Interior", T("Centre console", "Mittelkonsole", "Console centrale", "Center console"), 0.5),
      Flag("Interior", T("Leather steering wheel", "Lederlenkrad", "Volant cuir"), 0.15),
      Flag("Interior", T("Wood trim", "Holzdekor", "Inserts bois"), 0.2),
      Flag("Interior", T("Reading lights", "Leseleuchten", "Liseuses"), 0.35),
      Flag("Interior", T("Illuminated vanity mirror", "Beleuchteter Make-up-Spiegel", "Miroir de courtoisie éclairé"), 0.15),
      Flag("Interior", T("Boot light", "Kofferraumleuchte", "Éclairage du coffre", "Trunk light"), 0.55),
      Flag("Interior", T("Grab handles", "Haltegriffe", "Poignées de maintien"), 0.7),
      Flag("Interior", T("Parcel shelf", "Hutablage", "Tablette arrière"), 0.7),
      Numbers("Interior", T("Keys supplied", "Mitgelieferte Schlüssel", "Clés fournies"), Driver::Lux, {2, 3, 4}),
      // Exterior
      List("Exterior", T("Body style", "Karosserieform", "Carrosserie"), kBody),
      List("Exterior", T("Paint colours", "Lackfarben", "Teintes de carrosserie", "Paint colors"), kColours, 1.0, true),
      List("Exterior", T("Trim levels", "Ausstattungslinien", "Finitions"), kTrim, 1.0, true),
      List("Exterior", T("Headlamps", "Scheinwerfer", "Projecteurs"), kHeadlamps),
      List("Exterior", T("Headlamp bulbs", "Leuchtmittel", "Ampoules des phares"), kBulbs),
      List("Exterior", T("Window glass", "Verglasung", "Vitrage"), kGlass),
      List("Exterior", T("Windscreen wipers", "Scheibenwischer", "Essuie-glaces", "Windshield wipers"), kWipers),
      List("Exterior", T("Towbar", "Anhängerkupplung", "Attelage", "Trailer hitch"), kTowbar, 0.3),
      List("Exterior", T("Tailpipes", "Endrohre", "Sorties d'échappement"), kExhaust),
      Flag("Exterior", T("Headlamp washers", "Scheinwerferreinigung", "Lave-phares"), 0.12),
      Flag("Exterior", T("Front fog lights", "Nebelscheinwerfer", "Antibrouillards avant"), 0.3),
      Flag("Exterior", T("Rear wiper", "Heckwischer", "Essuie-glace arrière"), 0.3),
      Flag("Exterior", T("Rear spoiler", "Heckspoiler", "Becquet arrière"), 0.12),
      Flag("Exterior", T("Body-coloured bumpers", "Stoßfänger in Wagenfarbe", "Pare-chocs couleur carrosserie",
                         "Body-color bumpers"),
           0.25),
      Flag("Exterior", T("Side mouldings", "Seitenschutzleisten", "Baguettes latérales", "Side moldings"), 0.5),
      Flag("Exterior", T("Mud flaps", "Schmutzfänger", "Bavettes"), 0.35),
      Flag("Exterior", T("Roof rails", "Dachreling", "Barres de toit"), 0.15),
      Flag("Exterior", T("Pinstripes", "Zierstreifen", "Filets décoratifs"), 0.2),
      Flag("Exterior", T("Wheel arch extensions", "Radlaufverbreiterungen", "Élargisseurs d'ailes"), 0.08),
      Flag("Exterior", T("Chrome trim", "Chromzierleisten", "Enjoliveurs chromés"), 0.4),
      // Audio
      List("Audio", T("Radio", "Radio", "Autoradio"), kRadio, 0.8),
      List("Audio", T("Speakers", "Lautsprecher", "Haut-parleurs"), kSpeakers, 0.8),
      List("Audio", T("Aerial", "Antenne", "Antenne", "Antenna"), kAerial, 0.8),
      Numbers("Audio", T("Number of speakers", "Anzahl Lautsprecher", "Nombre de haut-parleurs"), Driver::Lux, {1, 2, 4, 6}),
      Flag("Audio", T("Graphic equaliser", "Equalizer", "Égaliseur graphique", "Graphic equalizer"), 0.05),
      Flag("Audio", T("Automatic station search", "Sendersuchlauf", "Recherche automatique des stations"), 0.2),
      Flag("Audio", T("Loudness control", "Loudness-Taste", "Correcteur physiologique"), 0.2),
      Flag("Audio", T("Fader", "Überblendregler", "Répartiteur avant-arrière"), 0.25),
      Flag("Audio", T("CB radio", "CB-Funk", "Radio CB"), 0.03),
      Flag("Audio", T("Radio preparation", "Radiovorbereitung", "Précâblage radio"), 0.4),
      Flag("Audio", T("Rear headphone sockets", "Kopfhöreranschlüsse hinten", "Prises casque arrière"), 0.04),
      Flag("Audio", T("Interference suppression", "Entstörung", "Antiparasitage"), 0.6),
      Flag("Audio", T("Amplifier", "Verstärker", "Amplificateur"), 0.1),
      Flag("Audio", T("Traffic announcements", "Verkehrsfunk", "Informations routières"), 0.15),
      Flag("Audio", T("Auto-reverse", "Autoreverse", "Autoreverse"), 0.1),
      Flag("Audio", T("Telephone preparation", "Telefonvorbereitung", "Précâblage téléphone"), 0.03),
      Flag("Audio", T("Two-way speakers", "Zweiwege-Lautsprecher", "Haut-parleurs deux voies"), 0.1),
      Flag("Audio", T("Digital tuning display", "Digitale Frequenzanzeige", "Affichage numérique de la fréquence"), 0.1),
  };
  return entries;
}

// The vehicle as the values follow it, each in [0, 1].
struct Profile {
  double lux, size, power, year;
};

double Clamp01(double x) { return std::clamp(x, 0.0, 1.0); }

Profile ProfileOf(const Vehicle& v) {
  Profile p;
  p.size = v.weight ? Clamp01((*v.weight - 1613) / 3527.0) : 0.5;
  p.power = v.horsepower ? Clamp01((*v.horsepower - 46) / 184.0) : p.size;
  const std::optional<std::int64_t> price = PriceUsd(v);
  p.lux = price ? Clamp01((static_cast<double>(*price) - 4000) / 9000.0) : p.size;
  p.year = Clamp01((v.year - 1970) / 12.0);
  return p;
}

double DriverValue(Driver d, const Profile& p) {
  switch (d) {
    case Driver::Lux: return p.lux;
    case Driver::Size: return p.size;
    case Driver::Power: return p.power;
    case Driver::Thirst: return Clamp01(0.5 + 0.7 * (p.size - 0.5) + 0.3 * (p.power - 0.5) - 0.4 * (p.year - 0.5));
    case Driver::Year: return p.year;
  }
  return 0.5;
}

// A well-mixed number of a vehicle and an item: the seed of its draws.
std::uint64_t Seed(std::int64_t vehicle, int item) {
  SplitMix64 mix(static_cast<std::uint64_t>(vehicle) * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(item) << 32);
  return mix.Next();
}

// An index into n ordered choices that follows `score` with some scatter.
std::size_t Ordered(SplitMix64& rng, double score, std::size_t n) {
  const double t = Clamp01(score + (rng.Unit() - 0.5) * 0.6);
  return std::min(n - 1, static_cast<std::size_t>(t * static_cast<double>(n)));
}

// An index into n choices of which the first are common and the last rare (weights 1/(i+1)).
std::size_t Skewed(SplitMix64& rng, std::size_t n) {
  double total = 0;
  for (std::size_t i = 0; i < n; ++i) total += 1.0 / static_cast<double>(i + 1);
  double pick = rng.Unit() * total;
  for (std::size_t i = 0; i < n; ++i) {
    pick -= 1.0 / static_cast<double>(i + 1);
    if (pick < 0) return i;
  }
  return n - 1;
}

// Standard (0) on most vehicles, more so on dearer ones; otherwise an option (1 to 3).
int OptionId(SplitMix64& rng, double standardShare) {
  return rng.Chance(Clamp01(standardShare)) ? 0 : rng.Between(1, 3);
}

}  // namespace

const std::vector<ExtraCategory>& ExtraCategories() {
  static const std::vector<ExtraCategory> categories = {
      {"Drivetrain", 4, T("Drivetrain", "Antrieb", "Transmission")},
      {"Chassis", 5, T("Chassis", "Fahrwerk", "Châssis")},
      {"Dimensions", 6, T("Dimensions and weights", "Maße und Gewichte", "Dimensions et poids")},
      {"Safety", 7, T("Safety", "Sicherheit", "Sécurité")},
      {"Comfort", 8, T("Comfort", "Komfort", "Confort")},
      {"Interior", 9, T("Interior", "Innenraum", "Intérieur")},
      {"Exterior", 10, T("Exterior and lights", "Karosserie und Licht", "Extérieur et éclairage")},
      {"Audio", 11, T("Audio", "Audio", "Audio")},
  };
  return categories;
}

std::vector<ExtraCriterion> MakeExtraCriteria(int count, int firstItem) {
  const std::vector<Entry>& catalogue = Catalogue();
  const std::vector<ExtraCategory>& categories = ExtraCategories();
  // Each category's entries, in catalogue order.
  std::vector<std::vector<int>> byCategory(categories.size());
  for (std::size_t i = 0; i < catalogue.size(); ++i)
    for (std::size_t c = 0; c < categories.size(); ++c)
      if (std::string(catalogue[i].category) == categories[c].name) byCategory[c].push_back(static_cast<int>(i));

  // The categories in turn, one entry of each; a category that has run out is skipped, and
  // once all have, the catalogue starts again with numbered titles.
  struct Pick {
    std::size_t category;
    int entry;
    int round;
  };
  std::vector<Pick> picks;
  for (int round = 0; static_cast<int>(picks.size()) < count; ++round) {
    for (std::size_t position = 0; static_cast<int>(picks.size()) < count; ++position) {
      bool any = false;
      for (std::size_t c = 0; c < categories.size() && static_cast<int>(picks.size()) < count; ++c) {
        if (position >= byCategory[c].size()) continue;
        any = true;
        picks.push_back({c, byCategory[c][position], round});
      }
      if (!any) break;
    }
  }

  std::vector<ExtraCriterion> out;
  out.reserve(picks.size());
  for (std::size_t k = 0; k < picks.size(); ++k) {
    const Pick& pick = picks[k];
    const Entry& e = catalogue[static_cast<std::size_t>(pick.entry)];
    ExtraCriterion c;
    c.schemaId = firstItem + static_cast<int>(k);
    c.category = &categories[pick.category];
    c.kind = e.kind;
    c.catalogueIndex = pick.entry;
    c.title = e.title;
    if (pick.round > 0) {
      const std::string suffix = " (" + std::to_string(pick.round + 1) + ")";
      for (std::string* t : {&c.title.enGb, &c.title.de, &c.title.fr, &c.title.enUs})
        if (!t->empty()) *t += suffix;
    }
    switch (e.kind) {
      case CriterionKind::Coded:
        c.dataType = 3;
        if (e.vocabulary) {
          for (std::size_t i = 0; i < e.vocabulary->values.size(); ++i)
            c.values.emplace_back(std::to_string(i + 1), e.vocabulary->values[i]);
        } else {
          c.values.emplace_back("Y", c.title);
        }
        break;
      case CriterionKind::Range:
        c.dataType = e.decimals > 0 ? 2 : 1;
        c.increment = e.increment;
        c.format = e.decimals;
        break;
      case CriterionKind::NumericList:
        c.dataType = 1;
        c.format = 0;
        break;
    }
    out.push_back(std::move(c));
  }
  // Row ids: each category's rows together, the categories in their order.
  std::vector<std::size_t> order(out.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return out[a].category->order < out[b].category->order; });
  for (std::size_t position = 0; position < order.size(); ++position)
    out[order[position]].rowId = 1000 + 10 * static_cast<int>(position);
  return out;
}

std::vector<EquipmentValue> CriterionValues(const ExtraCriterion& c, const Vehicle& v, std::int64_t id) {
  const Entry& e = Catalogue()[static_cast<std::size_t>(c.catalogueIndex)];
  const Profile p = ProfileOf(v);
  SplitMix64 rng(Seed(id, c.schemaId));
  std::vector<EquipmentValue> out;
  switch (e.kind) {
    case CriterionKind::Coded: {
      // Dearer and newer cars carry more equipment, and more of it as standard.
      const double presence = Clamp01(e.presence + 0.5 * e.presence * (p.lux - 0.5) + 0.3 * e.presence * (p.year - 0.5));
      if (!rng.Chance(presence)) break;
      if (!e.vocabulary) {
        out.push_back({"Y", OptionId(rng, 0.35 + 0.5 * p.lux)});
        break;
      }
      const std::size_t n = e.vocabulary->values.size();
      if (e.several) {
        // Up to four of the values, the common ones more often.
        const int wanted = 1 + static_cast<int>(rng.Unit() * static_cast<double>(std::min<std::size_t>(n, 4)));
        std::vector<bool> taken(n, false);
        for (int tries = 0, got = 0; got < wanted && tries < 16; ++tries) {
          const std::size_t i = e.vocabulary->ordered ? Ordered(rng, p.lux, n) : Skewed(rng, n);
          if (taken[i]) continue;
          taken[i] = true;
          ++got;
        }
        for (std::size_t i = 0; i < n; ++i)
          if (taken[i]) out.push_back({std::to_string(i + 1), i == 0 ? 0 : OptionId(rng, 0.5)});
        break;
      }
      const std::size_t i = e.vocabulary->ordered ? Ordered(rng, 0.6 * p.lux + 0.4 * p.year, n) : Skewed(rng, n);
      // The better values of an ordered list are often an option.
      const int option = e.vocabulary->ordered && i > 0 ? OptionId(rng, 0.4 + 0.4 * p.lux) : 0;
      out.push_back({std::to_string(i + 1), option});
      break;
    }
    case CriterionKind::Range: {
      if (!rng.Chance(e.presence)) break;
      const double t = Clamp01(DriverValue(e.driver, p) + (rng.Unit() - 0.5) * 0.25);
      const double scale = std::pow(10.0, e.decimals);
      out.push_back({FormatNumber(std::round((e.lo + t * (e.hi - e.lo)) * scale) / scale), 0});
      break;
    }
    case CriterionKind::NumericList: {
      if (!rng.Chance(e.presence)) break;
      const std::size_t i = Ordered(rng, DriverValue(e.driver, p), e.numbers.size());
      out.push_back({std::to_string(e.numbers[i]), 0});
      break;
    }
  }
  return out;
}

}  // namespace sampledb
