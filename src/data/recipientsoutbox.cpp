#include "data/recipientsoutbox.h"

#include "data/dataerror.h"
#include "data/dmlocaldata.h"
#include "db/databasefiles.h"
#include "db/writeproblem.h"
#include "platform/codepage.h"

TNQueueResult SaveMessagesToOutBox(const QString& messageText, const TNRecipients& recipients,
                                   const TNAskPageAgain& askPageAgain)
{
    if (!DModLocalData)
        throw EDataError(QStringLiteral("From SaveMessagesToOutBox() : the local database is not open"));
    return DModLocalData->AddOutMessage(recipients, ThroughCodePage(messageText), askPageAgain);
}

QString PageAgainQuestion(const QString& messageText, const QStringList& reachedNames)
{
    // The start of a long text, cut after a whole word.
    constexpr int quoted = 40;
    QString start = messageText;
    if (start.size() > quoted) {
        start.truncate(quoted);
        const qsizetype space = start.lastIndexOf(u' ');
        if (messageText.at(quoted) != u' ' && space > 0)
            start.truncate(space);
        start = start.trimmed() + QStringLiteral("...");
    }
    QString names = reachedNames.mid(0, PageAgainNames).join(QStringLiteral(", "));
    if (reachedNames.size() > PageAgainNames)
        names += QStringLiteral(" and %1 more").arg(reachedNames.size() - PageAgainNames);
    return QStringLiteral("\"%1\" already reached %2 of the recipients: %3. Page them again?")
        .arg(start)
        .arg(reachedNames.size())
        .arg(names);
}

QString NothingSentNotice(const TNQueueResult& result)
{
    if (result.Queued > 0 || result.Pending || !result.NotQueued.isEmpty())
        return {};
    if (!result.Reached.isEmpty() && !result.PagedAgain)
        return QStringLiteral(
            "Nothing was sent: the message already reached every recipient, and they were "
            "not paged again.");
    return QStringLiteral("Nothing was sent: the recipients hold no contact to page.");
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

QString SendRefusedText(const QString& reason)
{
    return QStringLiteral(
               "Nothing was sent: the OutBox and the sent-messages log cannot be written, because %1.\r\rTry "
               "again once it can be written.")
        .arg(reason);
}

QString QueueFailedText(const QString& error)
{
    if (!IsFileProblem(WriteProblemOf(error)))
        return error;
    return SendRefusedText(WriteProblemText(error, LocalDataFileName()));
}
