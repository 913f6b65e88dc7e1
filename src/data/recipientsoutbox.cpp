#include "data/recipientsoutbox.h"

#include "data/dataerror.h"
#include "data/dmlocaldata.h"
#include "platform/codepage.h"

void SaveMessagesToOutBox(const QString& messageText, const TNRecipients& recipients)
{
    if (!DModLocalData)
        throw EDataError(QStringLiteral("From SaveMessagesToOutBox() : the local database is not open"));
    DModLocalData->AddOutMessage(recipients, ThroughCodePage(messageText));
}
