#pragma once
// The lookup fields and display handlers that every address-book client
// puts on its datasets (carrier-type and carrier names, the contact and
// group names of memberships, one-line memos), so that the windows read the
// same fields whatever kind of book they show.

#include "data/datakinds.h"

#include <array>

class TNDataSet;

// DataSets by TDataKind; the dkServers entry may be null (a shared book has
// no servers). Call before the datasets are first opened.
void AddBookFields(const std::array<TNDataSet*, DataKindCount>& dataSets);
