#include "settings/settings.h"

#include <windows.h>

#include "services/system.h"
#include "settings/setting_names.h"

Text settingsFilePath() { return joinTexts({programDirectory(), kSettingsFileName}); }

Text readSetting(std::string_view path, std::string_view section, std::string_view key) {
    const Text file(skipLeadingControlBytes(path));
    const Text sectionName(skipLeadingControlBytes(section));
    const Text keyName(skipLeadingControlBytes(key));
    if (file.empty() || sectionName.empty() || keyName.empty()) return Text();
    ByteBuffer value = zeroFilledBuffer(kSettingReadBufferSize);
    GetPrivateProfileStringA(sectionName.c_str(), keyName.c_str(), nullptr, value.data(), kSettingReadBufferSize,
                             file.c_str());
    return textOfBytes(value);
}

bool writeSetting(std::string_view path, std::string_view section, std::string_view key, std::string_view value) {
    const Text file(path), sectionName(section), keyName(key), stored(value);
    return WritePrivateProfileStringA(sectionName.c_str(), keyName.c_str(), stored.c_str(), file.c_str()) != 0;
}
