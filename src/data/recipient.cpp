#include "data/recipient.h"

#include "data/basedataclient.h"

TNSuperRecipient::TNSuperRecipient(TNodeKind kind, qint32 id, TBaseDataClient* database, qint32 nameLength,
                                   const QString& name)
    : Kind(kind),
      ID(id),
      Database(database),
      DatabaseGUID(database ? database->GUID() : QString()),
      NameLength(nameLength),
      Name(name)
{
}
