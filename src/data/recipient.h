#pragma once
// A recipient of the message being composed: a contact or a group of one
// address book. The recipients pane keeps a list of these; the out-box
// queues a message for such a list (TDModLocalData::AddOutMessage).

#include "data/datakinds.h"
#include "data/nodekind.h"

#include <QList>
#include <QString>

class TBaseDataClient;

class TNSuperRecipient {
public:
    // Database is not owned; its GUID is kept so that a recipient whose
    // client was rebuilt meanwhile can be recognised as stale.
    TNSuperRecipient(TNodeKind kind, qint32 id, TBaseDataClient* database, qint32 nameLength, const QString& name);
    virtual ~TNSuperRecipient() = default;

    TNodeKind Kind = nkContact;
    qint32 ID = 0;
    TBaseDataClient* Database = nullptr;
    QString DatabaseGUID;
    // The largest message length the recipient's carrier accepts.
    qint32 MaxMessageLength = NoMaxMessageLength;
    qint32 NameLength = 0;
    QString Name;
};

// The recipients handed to the out-box, in list order; not owned.
using TNRecipients = QList<const TNSuperRecipient*>;
