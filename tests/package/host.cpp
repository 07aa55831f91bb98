// A host like the README's example, built against the installed package: counts the
// matching vehicles of the sample and prints the selections' state text.
//   host <folder with specs.db and prj.db>
#include <mirel_SbF/mirel_SbF.h>

#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: host <data folder>\n";
    return 64;
  }
  try {
    mirel_SbF::Search search;  // activated: default filters, no selections
    search.SetDatabaseInfo(std::string("Provider=SQLite;Data Source=") + argv[1], "specs", "prj",
                           1, "USD");
    search.AddSelection("7401", "0", "", "EU");     // origin: Europe
    search.AddMinMax("135", "0", "", "70", "100");  // 70 to 100 hp
    std::cout << search.GetNumberOfMatchingVehicles() << " vehicles\n";
    std::cout << "state: " << search.CurrentState() << "\n";
  } catch (const mirel_SbF::Error& e) {
    std::cerr << "error " << std::hex << static_cast<uint32_t>(e.Number()) << " (" << e.Source()
              << "): " << e.Description() << "\n";
    return 2;
  }
  return 0;
}
