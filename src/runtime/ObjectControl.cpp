#include "mirel_SbF/ObjectControl.h"

namespace COMSVCSLib {

ObjectControl::~ObjectControl() = default;

// There is no component-services host on this platform, so there is never a context.
std::shared_ptr<ObjectContext> GetObjectContext() { return nullptr; }

}  // namespace COMSVCSLib
