#include "messaging/sendoutbox.h"

#include "data/dmlocaldata.h"
#include "data/threadconnections.h"
#include "foundation/netfunctions.h"
#include "foundation/options.h"
#include "messaging/dispatcher.h"
#include "messaging/messageprocessor.h"
#include "messaging/popupwin.h"
#include "messaging/sendsettings.h"
#include "messaging/sentrows.h"
#include "messaging/serverslist.h"
#include "platform/hostlookup.h"

namespace {
// Longest waits of shut-down: the dispatcher may be inside a connection
// attempt (bounded by the logon time-out), the processor inside one report.
constexpr int kDispatcherStopMs = 2 * kLogonTimeoutMs;
constexpr int kProcessorStopMs = 5000;

QString& LocalIpOverride()
{
    static QString address;
    return address;
}

// The host's own address, looked up once.
QString LocalIpAddress()
{
    if (!LocalIpOverride().isEmpty())
        return LocalIpOverride();
    static const QString address = [] {
        QString host, ip, error;
        return GetLocalHostNameAndIP(host, ip, error) ? ip : QString();
    }();
    return address;
}
}  // namespace

void SetLocalIpAddress(const QString& address)
{
    LocalIpOverride() = address;
}

void PublishCurrentSendSettings()
{
    TNSendSettings settings = CaptureSendSettings(GetAppID());
    if (DModLocalData)
        settings.LocalDatabasePath = DModLocalData->DatabasePath();
    else
        settings.LocalDatabasePath = CurrentSendSettings().LocalDatabasePath;
    settings.LocalIpAddress = LocalIpAddress();
    PublishSendSettings(settings);
}

void SendOutBox()
{
    PublishCurrentSendSettings();
    if (!MessageProcessor)
        MessageProcessor = new TMessageProcessor();
    CreateDispatcher();
    BeginSendCycle(ActivateSendThread->Event());
    ActivateSendThread->Resume();
}

void StartMessaging()
{
    // The answers awaited are those of rows sent from here on.
    RunSentRows().Clear();
    CreateDispatcher();
}

void StopMessaging()
{
    StopDispatcher(kDispatcherStopMs);
    if (MessageProcessor) {
        if (MessageProcessor->Stop(kProcessorStopMs))
            delete MessageProcessor;
        else
            qWarning("The message processor did not stop within %d ms", kProcessorStopMs);
        MessageProcessor = nullptr;
    }
    ServersList.FreeAll();
    // A connection attempt that ran out of time may have left its host-name
    // lookup running.
    JoinHostLookups();
    FreeAllPopupWins();
}
