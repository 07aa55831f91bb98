// The one change a request asks for, checked against what the project offers (the same
// check as sbf's) and applied on top of the choices a Search restored from the address.
#pragma once

#include <functional>
#include <string>

#include <mirel_SbF/mirel_SbF.h>

#include "Params.h"
#include "Request.h"

namespace sbf_web {

// sbf_host::RequestError unless the change names an item and values or bounds the catalog
// offers. Bounds kept from the state were checked with it; empty ones clear.
void CheckChange(const Change& change, const sbf_host::Catalog& catalog);

// Applies a checked change to a Search that holds the restored choices: what it replaces or
// removes goes through SetChoices with the remaining ones, what it adds through the
// library's own add operations (price bounds converted into the stored currency). Either-or
// marks are no choices and stay; clearing all goes back to `initial` (the first screen's
// state, whose rows are either-or as by default). A range whose lower bound, kept or new,
// lies above its upper one is a sbf_host::RequestError.
void ApplyChange(mirel_SbF::Search& search, const Change& change, const std::function<std::string()>& initial);

}  // namespace sbf_web
