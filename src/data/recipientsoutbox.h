#pragma once
// The first step of sending: queue the message editor's text for the
// recipients in the local database's out-box. Main thread.

#include "data/recipient.h"

#include <QString>

// Converts the text (already in its queued form, one line of at most 1000
// characters) to the program's 8-bit code page, characters it lacks becoming
// "?", and queues it for the recipients in one transaction
// (DModLocalData->AddOutMessage). Database errors propagate; without a local
// data module it raises EDataError.
void SaveMessagesToOutBox(const QString& messageText, const TNRecipients& recipients);
