#include "Words.h"

#include <unicode/uchar.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>

namespace sbf_host {
namespace {

const Words kEnglish = {
    .title = "Search by Features",
    .vehicleMatches = "vehicle matches",
    .vehiclesMatch = "vehicles match",
    .showOne = "Show 1 vehicle",
    .show = "Show {n} vehicles",
    .language = "Language",
    .currency = "Currency",
    .storedIn = "prices are stored in {n} and shown in it too",
    .remove = "remove",
    .standardOnly = "Standard equipment only",
    .standardHint = "vehicles whose chosen equipment is standard, not an option",
    .clearAll = "Clear all choices",
    .yourChoices = "Your choices",
    .from = "from",
    .to = "to",
    .upTo = "up to",
    .any = "any",
    .apply = "Apply",
    .noCriteria = "No criteria to show.",
    .noMatch = "No vehicle matches these choices.",
    .zeroHint = "No vehicle has all of these. Without one of them:",
    .without = "without {n}",
    .matchingVehicles = "Matching vehicles",
    .shownOf = "Vehicles {n} to {m} of {t}",
    .previous = "Previous",
    .next = "Next",
    .sortBy = "Sort by",
    .name = "Name",
    .model = "Model",
    .ascending = "sort ascending",
    .descending = "sort descending",
    .errorTitle = "The request could not be answered",
    .number = "Number",
    .source = "Source",
    .description = "Description",
    .back = "Back to the screen without this change",
    .clearState = "Clear the saved choices and start from none",
    .startOver = "Start over",
    .otherLanguage = "Back to a language the project has, keeping your choices:",
    .otherCurrencies = "Use these currencies, keeping your choices:",
    .eitherOr = "Any of the ticked values",
    .eitherOrHint = "Ticked: a vehicle with any ticked value matches. Not ticked: it must have all of them.",
    .noVehicle = "No matching vehicle has this value",
    .hidden = "{n} more vehicles are not shown. Also show:",
    .advanced = "models announced but not yet on sale",
    .old = "models no longer on sale",
    .built = "special builds and conversions",
    .skipCriteria = "Skip to the criteria",
    .skipVehicles = "Skip to the vehicles",
    .filters = "Filters",
    .formats = "Prices and numbers",
    .todayStyle = "as written today",
    .windowsStyle = "as Windows XP wrote them",
    .typeAmount = "or type an amount",
    .fromCount = "vehicles from this value up",
    .json = "This screen as JSON",
    .tooLong = "The address is too long to be read. Start over, or make fewer choices.",
    .tooLarge = "The request's headers are too large to be read (cookies, perhaps). Start over.",
    .tooSlow = "The request did not arrive in time. Try again.",
    .colon = ": ",
    .noValue = "no matching vehicle has this value",
};

const Words kGerman = {
    .title = "Suche nach Merkmalen",
    .vehicleMatches = "Fahrzeug passt",
    .vehiclesMatch = "Fahrzeuge passen",
    .showOne = "1 Fahrzeug zeigen",
    .show = "{n} Fahrzeuge zeigen",
    .language = "Sprache",
    .currency = "Währung",
    .storedIn = "Preise sind in {n} gespeichert und werden auch darin gezeigt",
    .remove = "entfernen",
    .standardOnly = "Nur Serienausstattung",
    .standardHint = "Fahrzeuge, bei denen die gewählte Ausstattung Serie ist, keine Option",
    .clearAll = "Alle Auswahlen löschen",
    .yourChoices = "Ihre Auswahl",
    .from = "von",
    .to = "bis",
    .upTo = "bis",
    .any = "beliebig",
    .apply = "Anwenden",
    .noCriteria = "Keine Kriterien zu zeigen.",
    .noMatch = "Kein Fahrzeug passt zu dieser Auswahl.",
    .zeroHint = "Kein Fahrzeug hat all das. Ohne eine der Auswahlen:",
    .without = "ohne {n}",
    .matchingVehicles = "Passende Fahrzeuge",
    .shownOf = "Fahrzeuge {n} bis {m} von {t}",
    .previous = "Zurück",
    .next = "Weiter",
    .sortBy = "Sortieren nach",
    .name = "Name",
    .model = "Modell",
    .ascending = "aufsteigend sortieren",
    .descending = "absteigend sortieren",
    .errorTitle = "Die Anfrage konnte nicht beantwortet werden",
    .number = "Nummer",
    .source = "Quelle",
    .description = "Beschreibung",
    .back = "Zurück zur Seite ohne diese Änderung",
    .clearState = "Gespeicherte Auswahl löschen und ohne Auswahl beginnen",
    .startOver = "Neu beginnen",
    .otherLanguage = "Zurück zu einer Sprache des Projekts, mit Ihrer Auswahl:",
    .otherCurrencies = "Diese Währungen nutzen, mit Ihrer Auswahl:",
    .eitherOr = "Einer der angekreuzten Werte",
    .eitherOrHint = "Angekreuzt: ein Fahrzeug mit einem der angekreuzten Werte passt. Sonst muss es alle haben.",
    .noVehicle = "Kein passendes Fahrzeug hat diesen Wert",
    .hidden = "{n} weitere Fahrzeuge sind nicht gezeigt. Auch zeigen:",
    .advanced = "angekündigte, noch nicht erhältliche Modelle",
    .old = "nicht mehr erhältliche Modelle",
    .built = "Sonderanfertigungen und Umbauten",
    .skipCriteria = "Zu den Kriterien springen",
    .skipVehicles = "Zu den Fahrzeugen springen",
    .filters = "Filter",
    .formats = "Preise und Zahlen",
    .todayStyle = "wie heute geschrieben",
    .windowsStyle = "wie Windows XP sie schrieb",
    .typeAmount = "oder einen Betrag eingeben",
    .fromCount = "Fahrzeuge ab diesem Wert",
    .json = "Diese Seite als JSON",
    .tooLong = "Die Adresse ist zu lang, um gelesen zu werden. Beginnen Sie neu oder wählen Sie weniger aus.",
    .tooLarge = "Die Kopfzeilen der Anfrage sind zu groß, um gelesen zu werden (vielleicht Cookies). Beginnen Sie neu.",
    .tooSlow = "Die Anfrage ist nicht rechtzeitig angekommen. Versuchen Sie es noch einmal.",
    .colon = ": ",
    .noValue = "kein passendes Fahrzeug hat diesen Wert",
};

const Words kFrench = {
    .title = "Recherche par caractéristiques",
    .vehicleMatches = "véhicule correspond",
    .vehiclesMatch = "véhicules correspondent",
    .showOne = "Voir le véhicule",
    .show = "Voir les {n} véhicules",
    .language = "Langue",
    .currency = "Devise",
    .storedIn = "les prix sont enregistrés en {n} et y sont aussi montrés",
    .remove = "retirer",
    .standardOnly = "Équipement de série seulement",
    .standardHint = "véhicules dont l’équipement choisi est de série, pas en option",
    .clearAll = "Effacer tous les choix",
    .yourChoices = "Vos choix",
    .from = "de",
    .to = "à",
    .upTo = "jusqu’à",
    .any = "tous",
    .apply = "Appliquer",
    .noCriteria = "Aucun critère à montrer.",
    .noMatch = "Aucun véhicule ne correspond à ces choix.",
    .zeroHint = "Aucun véhicule n’a tout cela. Sans l’un des choix\u00a0:",
    .without = "sans {n}",
    .matchingVehicles = "Véhicules correspondants",
    .shownOf = "Véhicules {n} à {m} sur {t}",
    .previous = "Précédents",
    .next = "Suivants",
    .sortBy = "Trier par",
    .name = "Nom",
    .model = "Modèle",
    .ascending = "trier par ordre croissant",
    .descending = "trier par ordre décroissant",
    .errorTitle = "La demande n’a pas pu aboutir",
    .number = "Numéro",
    .source = "Source",
    .description = "Description",
    .back = "Revenir à la page sans ce changement",
    .clearState = "Effacer les choix enregistrés et repartir sans choix",
    .startOver = "Recommencer",
    .otherLanguage = "Revenir à une langue du projet, en gardant vos choix\u00a0:",
    .otherCurrencies = "Utiliser ces devises, en gardant vos choix\u00a0:",
    .eitherOr = "L’une des valeurs cochées",
    .eitherOrHint = "Coché\u00a0: un véhicule ayant l’une des valeurs cochées correspond. Sinon, il doit les avoir toutes.",
    .noVehicle = "Aucun véhicule correspondant n’a cette valeur",
    .hidden = "{n} autres véhicules ne sont pas montrés. Montrer aussi\u00a0:",
    .advanced = "modèles annoncés, pas encore en vente",
    .old = "modèles qui ne sont plus en vente",
    .built = "fabrications spéciales et transformations",
    .skipCriteria = "Aller aux critères",
    .skipVehicles = "Aller aux véhicules",
    .filters = "Filtres",
    .formats = "Prix et nombres",
    .todayStyle = "écrits comme aujourd’hui",
    .windowsStyle = "écrits comme sous Windows XP",
    .typeAmount = "ou saisir un montant",
    .fromCount = "véhicules à partir de cette valeur",
    .json = "Cette page en JSON",
    .tooLong = "L’adresse est trop longue pour être lue. Recommencez, ou faites moins de choix.",
    .tooLarge = "Les en-têtes de la requête sont trop grands pour être lus (des cookies, peut-être). Recommencez.",
    .tooSlow = "La requête n’est pas arrivée à temps. Réessayez.",
    .colon = "\u00a0: ",
    .noValue = "aucun véhicule correspondant n’a cette valeur",
};

// The language ids of the library, in the order of its locale table.
const char* const kTags[] = {
    "en-GB", "es",    "de",    "it", "fr",    "nl",    "en-US", "ja", "ko", "he", "el", "hr", "fi",
    "ca",    "pt",    "sv",    "tr", "es-MX", "en",    "en-AU", "pt-BR", "",  "nb", "da", "zh-TW",
    "fr-CA", "hu",    "en-IE", "fr-BE", "nl-BE", "cs", "pl",    "th", "zh-CN", "de-CH", "ru", "es-AR", "sl",
};

}  // namespace

std::string LanguageTag(int32_t language) {
  if (language >= 1 && language <= 38 && kTags[language - 1][0] != '\0') return kTags[language - 1];
  return "en";
}

const Words& WordsFor(int32_t language) {
  const std::string tag = LanguageTag(language);
  if (tag.rfind("de", 0) == 0) return kGerman;
  if (tag.rfind("fr", 0) == 0) return kFrench;
  return kEnglish;
}

std::string LanguageName(int32_t id) {
  const std::string fallback = "language " + std::to_string(id);
  if (id < 1 || id > 38 || kTags[id - 1][0] == '\0') return fallback;
  char locale[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  uloc_forLanguageTag(kTags[id - 1], locale, sizeof locale, nullptr, &status);
  if (U_FAILURE(status)) return fallback;
  UChar name[256];
  const int32_t length = uloc_getDisplayName(locale, locale, name, 256, &status);
  if (U_FAILURE(status) || length <= 0 || length >= 256) return fallback;
  // Picker entries begin with a capital ("Français"), as ICU's names in their own language
  // do not always.
  UChar32 first = 0;
  int32_t at = 0;
  U16_NEXT(name, at, length, first);
  std::u16string text;
  UChar upper[2];
  int32_t n = 0;
  U16_APPEND_UNSAFE(upper, n, u_totitle(first));
  text.append(reinterpret_cast<const char16_t*>(upper), static_cast<size_t>(n));
  text.append(reinterpret_cast<const char16_t*>(name) + at, static_cast<size_t>(length - at));
  char out[1024];
  int32_t size = 0;
  u_strToUTF8(out, sizeof out, &size, reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
              &status);
  if (U_FAILURE(status) || size >= static_cast<int32_t>(sizeof out)) return fallback;
  return std::string(out, static_cast<size_t>(size));
}

std::string Fill(const char* text, const std::string& n, const std::string& m, const std::string& t) {
  std::string out = text;
  for (const auto& [key, value] : {std::pair<std::string, std::string>{"{n}", n}, {"{m}", m}, {"{t}", t}})
    for (size_t at; (at = out.find(key)) != std::string::npos;) out.replace(at, key.size(), value);
  return out;
}

}  // namespace sbf_host
