#include "app/AppGlobals.h"

std::shared_ptr<CProgramSettings> gSettings;
std::shared_ptr<CProgramSettings> gSettingsVersion;
std::string gstrDesignerTitle;
dao::WorkspacePtr gwsCurrent;
