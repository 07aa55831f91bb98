#include "Words.h"

namespace sbf_web {
namespace {

const Words kEnglish = {
    "Search by Features", "vehicle matches", "vehicles match",
    "{n} more are advanced, old or built and not shown", "Show {n} vehicles", "Language", "Currency",
    "Also shown in", "Add a currency", "prices are stored in {n}", "remove", "Standard equipment only",
    "Clear all choices", "Your choices", "from", "to", "up to", "any", "Apply", "No criteria to show.",
    "No vehicle matches these choices.", "Matching vehicles", "The first {n} of {m} vehicles.", "Name", "Model",
    "sort ascending", "sort descending", "The request could not be answered",
    "Back to the screen without this change", "Clear the saved state and start from no choices", "Start over",
    "Back to a language the project has, keeping your choices:", "Use these currencies, keeping your choices:",
    "either-or (any ticked value matches)", "No matching vehicle has this value",
};

const Words kGerman = {
    "Suche nach Merkmalen", "Fahrzeug passt", "Fahrzeuge passen",
    "{n} weitere sind Vorserien-, alte oder Umbaufahrzeuge und nicht gezeigt", "{n} Fahrzeuge zeigen", "Sprache",
    "Währung", "Auch gezeigt in", "Währung hinzufügen", "Preise sind in {n} gespeichert", "entfernen",
    "Nur Serienausstattung", "Alle Auswahlen löschen", "Ihre Auswahl", "von", "bis", "bis", "beliebig",
    "Anwenden", "Keine Kriterien zu zeigen.", "Kein Fahrzeug passt zu dieser Auswahl.", "Passende Fahrzeuge",
    "Die ersten {n} von {m} Fahrzeugen.", "Name", "Modell", "aufsteigend sortieren", "absteigend sortieren",
    "Die Anfrage konnte nicht beantwortet werden", "Zurück zur Seite ohne diese Änderung",
    "Gespeicherten Zustand löschen und ohne Auswahl beginnen", "Neu beginnen",
    "Zurück zu einer Sprache des Projekts, mit Ihrer Auswahl:", "Diese Währungen nutzen, mit Ihrer Auswahl:",
    "entweder-oder (ein angekreuzter Wert genügt)", "Kein passendes Fahrzeug hat diesen Wert",
};

const Words kFrench = {
    "Recherche par caractéristiques", "véhicule correspond", "véhicules correspondent",
    "{n} autres sont des présérie, anciens ou transformés et ne sont pas montrés", "Voir les {n} véhicules",
    "Langue", "Devise", "Aussi montré en", "Ajouter une devise", "les prix sont enregistrés en {n}", "retirer",
    "Équipement de série seulement", "Effacer tous les choix", "Vos choix", "de", "à", "jusqu’à", "tous",
    "Appliquer", "Aucun critère à montrer.", "Aucun véhicule ne correspond à ces choix.",
    "Véhicules correspondants", "Les {n} premiers de {m} véhicules.", "Nom", "Modèle", "trier par ordre croissant",
    "trier par ordre décroissant", "La demande n’a pas pu aboutir", "Revenir à la page sans ce changement",
    "Effacer l’état enregistré et repartir sans choix", "Recommencer",
    "Revenir à une langue du projet, en gardant vos choix :", "Utiliser ces devises, en gardant vos choix :",
    "l’un ou l’autre (une valeur cochée suffit)", "Aucun véhicule correspondant n’a cette valeur",
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

std::string Fill(const char* text, const std::string& n, const std::string& m) {
  std::string out = text;
  for (const auto& [key, value] : {std::pair<std::string, std::string>{"{n}", n}, {"{m}", m}})
    for (size_t at; (at = out.find(key)) != std::string::npos;) out.replace(at, key.size(), value);
  return out;
}

}  // namespace sbf_web
