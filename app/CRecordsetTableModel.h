#pragma once
// The result grids' table model lives in util/ui, where the designer's table
// viewer shares it.
#include "util/ui/CRecordsetTableModel.h"
