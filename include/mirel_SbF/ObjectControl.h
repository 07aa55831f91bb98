// The component-services face of Search. Outside a component-services host there is no
// object context: GetObjectContext() answers null, and nothing in the library uses it.
#pragma once

#include <memory>

namespace COMSVCSLib {

class ObjectContext;
std::shared_ptr<ObjectContext> GetObjectContext();

class ObjectControl {
 public:
  virtual ~ObjectControl();
  virtual void Activate() = 0;
  virtual void Deactivate() = 0;
  virtual bool CanBePooled() = 0;
};

}  // namespace COMSVCSLib
