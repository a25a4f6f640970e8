#include "scenario/AppDatabase.h"

dao::DatabasePtr gdbCurrent;
