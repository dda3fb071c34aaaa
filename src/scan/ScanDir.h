// The directory scanner, whole: the walk (Walk.h), its name filters
// (Filters.h) and its module state (State.h), and the records it makes for
// its callers, with their sorting (records/). Include the part you use; this
// header is for callers of the whole module.
#pragma once

#include "scan/Filters.h"
#include "scan/State.h"
#include "scan/Walk.h"
#include "scan/records/Scan.h"
#include "scan/records/Sort.h"
