#include "messaging/sendsettings.h"

#include "foundation/dmoptions.h"

#include <mutex>

namespace {
std::mutex& SettingsLock()
{
    static std::mutex lock;
    return lock;
}

TNSendSettings& Published()
{
    static TNSendSettings settings;
    return settings;
}
}  // namespace

TNSendSettings CaptureSendSettings(const QString& appId)
{
    TNSendSettings settings;
    settings.AppID = appId;
    settings.AddDisplayNameToMessage = AddDisplayNameToMessage;
    settings.PrefixAddInEditor = PrefixAddInEditor;
    settings.FollowedByChar = FollowedByChar;
    settings.NumericAllowedChars = NumericAllowedChars;
    settings.MaxNumericLength = MaxNumericLength;
    RefreshPopupReportFlags();
    return settings;
}

void PublishSendSettings(const TNSendSettings& settings)
{
    std::lock_guard<std::mutex> guard(SettingsLock());
    Published() = settings;
}

TNSendSettings CurrentSendSettings()
{
    std::lock_guard<std::mutex> guard(SettingsLock());
    return Published();
}
