#pragma once
// Building the MESSAGE line of one out-box row: the recipient's route (its
// address, numeric-pager flag and carrier) from the row's address book, the
// display-name prefix and the numeric-pager filter.

#include "messaging/outboxstore.h"
#include "messaging/sendsettings.h"

#include <QHash>
#include <QPair>
#include <QString>

class TBaseDataClient;
struct TNContactCarrier;

struct TNRecipientRoute {
    QString Address;
    bool NumericPager = false;
    qint32 CarrierTypeNo = 0;
    QString CarrierSettings;
};

// Reads the route out of a contact's and its carrier's settings. The address
// is item 0 of the contact's settings text; the pager is numeric when item 1,
// trimmed and lower-cased, is "true". False when the contact's settings hold
// no address item.
bool RouteFromContactCarrier(const TNContactCarrier& carrier, TNRecipientRoute& route);
// The route of a contact of Client; false when the contact, its carrier or
// its address cannot be found. ContactName, when given, gets the contact's
// name where the book still tells it. Any thread (the client answers through
// the calling thread's own connection).
bool GetRecipientRoute(TBaseDataClient& client, qint32 contactID, TNRecipientRoute& route,
                       QString* contactName = nullptr);

// Text with every character that is not in Allowed removed (exact match).
QString KeepPagerChars(const QString& text, const QString& allowed);
// The text that travels for the row: the display-name prefix when the
// editor did not add it already, then for a numeric pager only the allowed
// characters, cut to the largest numeric length.
QString TextForRecipient(const TNOutRow& row, const TNRecipientRoute& route, const TNSendSettings& settings);

// The routes of one batch: a contact's route is looked up once per batch,
// however many of its rows the batch holds. One thread.
class TNRouteCache {
public:
    // False when the row's address book, contact, carrier or address is gone.
    bool RouteOf(const TNOutRow& row, TNRecipientRoute& route);
    // The name of the row's contact as its book tells it now (empty when
    // the book or the contact is gone); after RouteOf for the row.
    QString ContactNameOf(const TNOutRow& row) const;

private:
    struct TEntry {
        bool Found = false;
        TNRecipientRoute Route;
        QString ContactName;
    };
    QHash<QPair<QString, qint32>, TEntry> m_routes;
};

// The MESSAGE line of the row, or an empty text when the row cannot be
// routed (its address book, contact or carrier is gone). Any thread.
QString OutMessageLine(const TNOutRow& row, const TNSendSettings& settings, TNRouteCache* cache = nullptr);
