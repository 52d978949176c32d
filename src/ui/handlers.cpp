#include "ui/handlers.h"

#include "monitor/monitor.h"
#include "services/system.h"
#include "settings/setting_names.h"
#include "settings/settings.h"
#include "ui/controls.h"

void onMainWindowCreated() {
    // The value is read twice; what 编辑框2 shows, and so what the monitor uses, is the second reading.
    const bool recorded = compareTexts(readSetting(settingsFilePath(), kSettingsSection, kSettingsKey), "") != 0;
    if (!recorded) return;
    setControlValue(编辑框2, kTextProperty, readSetting(settingsFilePath(), kSettingsSection, kSettingsKey));
    spawnWorkerThread(runMonitor);
    setControlValue(按钮1, kDisabledProperty, true);
}

void onCancelShutdown() { launchCommandLine("shutdown -a", false); }
