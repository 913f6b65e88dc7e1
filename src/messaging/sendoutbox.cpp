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

#include <QDeadlineTimer>
#include <algorithm>

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

bool StopMessaging(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    const auto within = [&deadline](int ownMs) {
        return deadline.isForever() ? ownMs : int(std::min<qint64>(ownMs, deadline.remainingTime()));
    };
    bool stopped = StopDispatcher(within(kDispatcherStopMs));
    if (MessageProcessor) {
        const int waitMs = within(kProcessorStopMs);
        if (MessageProcessor->Stop(waitMs)) {
            delete MessageProcessor;
        } else {
            qWarning("The message processor did not stop within %d ms", waitMs);
            stopped = false;
        }
        MessageProcessor = nullptr;
    }
    stopped = ServersList.FreeAll(int(deadline.remainingTime())) == 0 && stopped;
    // A connection attempt that ran out of time may have left its host-name
    // lookup running.
    JoinHostLookups();
    FreeAllPopupWins();
    return stopped;
}
