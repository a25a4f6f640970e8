#pragma once
// The application's state, created at start-up (modApplication.h) and kept
// for the life of the process. The error handler gErr lives in
// errors/ErrorGlobals.h, the current database gdbCurrent in
// scenario/AppDatabase.h and the registry key strings in util/modStatCommon.h.
#include "db/Workspace.h"
#include "util/CProgramSettings.h"

#include <memory>
#include <string>

// SOFTWARE\ZUR\Varnello Demo\5.0\Settings: "SavePassword", "OutputTablePrefix"
// and the recent databases.
extern std::shared_ptr<CProgramSettings> gSettings;
// SOFTWARE\ZUR\Varnello Demo\5.0: the value "Version".
extern std::shared_ptr<CProgramSettings> gSettingsVersion;
// "Varnello Scenario Designer Demo": the frame's first caption.
extern std::string gstrDesignerTitle;
// The workspace of the current database; set only by AssignCurrentDatabase.
extern dao::WorkspacePtr gwsCurrent;
