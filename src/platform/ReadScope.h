// ReadScope: one version of the data for all the texts of one public call.
//
// A public call that runs several texts (a screen: its titles, its lists, its counts) opens
// one on its thread for as long as it runs. Meanwhile the embedded engine keeps each
// connection that has read for the call in its read transaction, so every later text of the
// call reads the version of each file that the call read first; and a file read through two
// connections (the project database on its own and through a three-part name) is read as the
// file the call read first wherever a connection still has that one open. Scopes nest; the
// outermost ends the transactions. The database servers run each text on its own, as before.
#pragma once

namespace mirel_platform {

class ReadScope {
 public:
  ReadScope();
  ~ReadScope();
  ReadScope(const ReadScope&) = delete;
  ReadScope& operator=(const ReadScope&) = delete;
};

}  // namespace mirel_platform
