#pragma once
// The first step of sending: queue the message editor's text for the
// recipients in the local database's out-box, and the operator's notice of
// the recipients that could not be queued. Main thread.

#include "data/outbox.h"
#include "data/recipient.h"

#include <QString>

// Converts the text (already in its queued form, one line of at most 1000
// characters) to the program's 8-bit code page, characters it lacks becoming
// "?", and queues it for the recipients in one transaction
// (DModLocalData->AddOutMessage); AskPageAgain decides about the recipients
// the same text has already reached. Database errors propagate; without a
// local data module it raises EDataError.
TNQueueResult SaveMessagesToOutBox(const QString& messageText, const TNRecipients& recipients,
                                   const TNAskPageAgain& askPageAgain);

// The question for the recipients the same text has already reached: the
// start of the text, how many, the first PageAgainNames of their names and
// how many more.
constexpr int PageAgainNames = 10;
QString PageAgainQuestion(const QString& messageText, const QStringList& reachedNames);

// What to tell the operator when Send queued nothing and nothing waits to be
// sent, so Send comes back at once; empty when something goes or the
// notice of the recipients not queued says why nothing does.
QString NothingSentNotice(const TNQueueResult& result);

// The one notice of a send for every recipient that was not queued: each
// on a line with its reason (the first NotQueuedNoticeLines of them, then how
// many more). Empty for an empty list.
constexpr int NotQueuedNoticeLines = 15;
QString NotQueuedNotice(const TNNotQueuedList& notQueued);

// Send's refusal when the out-box and the sent-message log cannot be written
// (Reason: OutBoxWriteProblem, or a failed queuing in those words): nothing
// was queued or sent.
QString SendRefusedText(const QString& reason);
// The text of a failed queuing for the operator: the reason in words when
// the file could not be written, else the error as it stands.
QString QueueFailedText(const QString& error);
