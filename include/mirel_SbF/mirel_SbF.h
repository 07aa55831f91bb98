// The whole public surface of the Search by Features library.
#pragma once

#include "mirel_SbF/Connector.h"
#include "mirel_SbF/Enumerator.h"
#include "mirel_SbF/Error.h"
#include "mirel_SbF/Info.h"
#include "mirel_SbF/ObjectControl.h"
#include "mirel_SbF/Recordset.h"
#include "mirel_SbF/Results.h"
#include "mirel_SbF/Search.h"
#include "mirel_SbF/Variant.h"
