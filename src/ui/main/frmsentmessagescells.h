#pragma once
// The texts of the sent-messages report's grid cells, from the values of one
// sent-message row. No window needed.

#include <QString>
#include <QVariant>

// "Yes" for a dispatched row, else empty.
QString DispatchedText(const QVariant& receiveConfirmed);
// For a confirmed row "Failed" when the status is not 0, else "Succeeded";
// empty while the send is unconfirmed.
QString SentResultText(const QVariant& sendConfirmed, const QVariant& errorStatus);
// "OK" for status 0 (or none); "E<code>" for another code once the send is
// confirmed; else empty.
QString StatusOfMessageText(const QVariant& errorStatus, const QVariant& sendConfirmed);
// The message on one line: CRs removed, each LF a blank.
QString MessageLineText(const QString& message);
