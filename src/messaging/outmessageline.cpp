#include "messaging/outmessageline.h"

#include "data/basedataclient.h"
#include "data/regdataclients.h"
#include "foundation/options.h"
#include "messaging/protocol.h"
#include "platform/commatext.h"

bool RouteFromContactCarrier(const TNContactCarrier& carrier, TNRecipientRoute& route)
{
    const QStringList items = CommaTextToList(carrier.ContactData);
    if (items.isEmpty())
        return false;
    route.Address = items.at(0);
    route.NumericPager = items.size() >= 2 && TrimBlanksAndControls(items.at(1)).toLower() == QLatin1String("true");
    route.CarrierTypeNo = carrier.CarrierTypeNo;
    route.CarrierSettings = carrier.CarrierData;
    return true;
}

bool GetRecipientRoute(TBaseDataClient& client, qint32 contactID, TNRecipientRoute& route, QString* contactName)
{
    TNContactCarrier carrier;
    const bool found = client.GetContactCarrier(contactID, carrier);
    if (contactName)
        *contactName = carrier.ContactName;
    return found && RouteFromContactCarrier(carrier, route);
}

QString KeepPagerChars(const QString& text, const QString& allowed)
{
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text)
        if (allowed.contains(c))
            kept += c;
    return kept;
}

QString TextForRecipient(const TNOutRow& row, const TNRecipientRoute& route, const TNSendSettings& settings)
{
    QString text = row.MessageText;
    if (settings.AddDisplayNameToMessage && !settings.PrefixAddInEditor)
        text = row.Name + settings.FollowedByChar + text;
    if (route.NumericPager) {
        text = KeepPagerChars(text, settings.NumericAllowedChars);
        if (settings.MaxNumericLength >= 0 && text.size() > settings.MaxNumericLength)
            text.truncate(settings.MaxNumericLength);
    }
    return text;
}

bool TNRouteCache::RouteOf(const TNOutRow& row, TNRecipientRoute& route)
{
    const QPair<QString, qint32> key(row.DatabaseGUID, row.ContactID);
    auto it = m_routes.constFind(key);
    if (it == m_routes.constEnd()) {
        TEntry entry;
        DataClients.WithClientByGUID(row.DatabaseGUID, [&](TBaseDataClient& client) {
            entry.Found = GetRecipientRoute(client, row.ContactID, entry.Route, &entry.ContactName);
        });
        it = m_routes.insert(key, entry);
    }
    route = it->Route;
    return it->Found;
}

QString TNRouteCache::ContactNameOf(const TNOutRow& row) const
{
    return m_routes.value(qMakePair(row.DatabaseGUID, row.ContactID)).ContactName;
}

QString OutMessageLine(const TNOutRow& row, const TNSendSettings& settings, TNRouteCache* cache)
{
    TNRouteCache single;
    TNRecipientRoute route;
    if (!(cache ? cache : &single)->RouteOf(row, route))
        return QString();
    return MessageLine(row.ID, route.CarrierTypeNo, route.CarrierSettings, route.Address,
                       TextForRecipient(row, route, settings));
}
