// MergeContacts: adds a picker's contacts to the recipient table, skipping
// every address that the table already holds.
#pragma once

#include "CContactArray.h"

// Appends to target, in source order, each contact of source whose address is
// not yet in target; target grows during the merge, so later repeats within
// source are skipped too. Addresses compare byte for byte, case significant.
// The contact already present keeps its name. Costs about n + m hash look-ups
// instead of a scan of the whole table per contact.
void MergeContacts(CContactArray& target, const CContactArray& source);
