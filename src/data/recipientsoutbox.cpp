#include "data/recipientsoutbox.h"

#include "data/dataerror.h"
#include "data/dmlocaldata.h"
#include "platform/codepage.h"

TNQueueResult SaveMessagesToOutBox(const QString& messageText, const TNRecipients& recipients)
{
    if (!DModLocalData)
        throw EDataError(QStringLiteral("From SaveMessagesToOutBox() : the local database is not open"));
    return DModLocalData->AddOutMessage(recipients, ThroughCodePage(messageText));
}

QString NotQueuedNotice(const TNNotQueuedList& notQueued)
{
    if (notQueued.isEmpty())
        return {};
    QString text = QStringLiteral("These recipients were not queued and will not get the message:\r");
    const qsizetype shown = qMin<qsizetype>(notQueued.size(), NotQueuedNoticeLines);
    for (qsizetype i = 0; i < shown; ++i)
        text += QStringLiteral("\r%1: %2").arg(notQueued.at(i).Name, notQueued.at(i).Reason);
    if (notQueued.size() > shown)
        text += QStringLiteral("\r... and %1 more").arg(notQueued.size() - shown);
    return text;
}
