#include "messaging/protocol.h"

#include "platform/codepage.h"
#include "platform/commatext.h"

#include <array>

namespace {
// Indexed by reply kind.
constexpr std::array<const char*, 9> kReplyWords = {
    "",
    "LOGON_OK",
    "LOGON_DENIED",
    "MESSAGE_ACCEPTED",
    "MESSAGE_ACCEPT_ERROR",
    "MESSAGE_SENT",
    "MESSAGE_SEND_ERROR",
    "DENY_CONNECTION",
    "BROADCAST_MESSAGE",
};

constexpr std::array<const char*, 9> kStatusTexts = {
    "OK - Message sent successfully",
    "Abandoned - Invalid pagerID, Text too long, or not in order, etc.",
    "LogonRetriesExceeded - Logon retries has exceeded the maximum allowed",
    "NoConnection - Dial-up retries exceeded, Line broken, etc.",
    "NoLogonRequest - No logon request from service provider",
    "LogonError - Logon parameters wrong",
    "NoPort - Port doesn't exist or used by other application",
    "NoDevice - Modem doesn't respond (e.g. power off)",
    "NoCarrierType - There is no device for that carrier type",
};

QString Word(TReplyKind kind)
{
    return QString::fromLatin1(kReplyWords[kind]);
}

// A reply whose item 1 is itself a comma text.
QString NestedReply(TReplyKind kind, const QStringList& inner)
{
    return CommaTextFromList({Word(kind), CommaTextFromList(inner)});
}
}  // namespace

QString LogonWord()
{
    return QStringLiteral("LOGON");
}

QString MessageWord()
{
    return QStringLiteral("MESSAGE");
}

QString ReplyWord(TReplyKind kind)
{
    return kind < kReplyWords.size() ? Word(kind) : QString();
}

TReplyKind ReplyKindOf(const QString& word)
{
    if (word.isEmpty())
        return rkUnknown;
    for (quint8 k = 1; k < kReplyWords.size(); ++k)
        if (word == QLatin1String(kReplyWords[k]))
            return static_cast<TReplyKind>(k);
    return rkUnknown;
}

QString ErrorStatusText(int code)
{
    const int low = code & 127;
    if (low < static_cast<int>(kStatusTexts.size()))
        return QString::fromLatin1(kStatusTexts[low]);
    return QStringLiteral("Unknown Error Value");
}

QByteArray FrameLine(const QString& line)
{
    QByteArray body = ToCodePage(line);
    body.replace('\0', '?');
    // Break every end marker inside the line so the receiver cannot cut the
    // frame early; replacing its VT keeps both CRs of the text.
    for (qsizetype at = body.indexOf(kFrameEnd); at >= 0; at = body.indexOf(kFrameEnd, at + 1))
        body[at + 1] = '?';
    QByteArray frame;
    frame.reserve(body.size() + kFrameStart.size() + kFrameEnd.size());
    frame.append(kFrameStart).append(body).append(kFrameEnd);
    return frame;
}

QString LogonLine(const QString& appId)
{
    return LogonWord() + u',' + appId + u',';
}

QString MessageLine(qint32 clientRecordId, int carrierTypeNo, const QString& carrierSettings, const QString& address,
                    const QString& text)
{
    return CommaTextFromList({MessageWord(), QString::number(clientRecordId), QString::number(carrierTypeNo),
                              carrierSettings, address, text});
}

QString LogonOkLine()
{
    return Word(rkLogonOk);
}

QString LogonDeniedLine(int reasonCode, const QString& reasonText)
{
    return CommaTextFromList({Word(rkLogonDenied), QString::number(reasonCode), reasonText});
}

QString DenyConnectionLine(int reasonCode, const QString& reasonText)
{
    return CommaTextFromList({Word(rkDenyConnection), QString::number(reasonCode), reasonText});
}

QString MessageAcceptedLine(qint32 clientRecordId, qint32 serverRecordId)
{
    return NestedReply(rkMessageAccepted, {QString::number(clientRecordId), QString::number(serverRecordId)});
}

QString MessageAcceptErrorLine(qint32 clientRecordId, int errorCode, const QString& errorText)
{
    return NestedReply(rkMessageAcceptError, {QString::number(clientRecordId), QString::number(errorCode), errorText});
}

QString MessageSentLine(qint32 clientRecordId, qint32 serverRecordId)
{
    return NestedReply(rkMessageSent, {QString::number(clientRecordId), QString::number(serverRecordId)});
}

QString MessageSendErrorLine(qint32 clientRecordId, int errorCode, const QString& errorText)
{
    return NestedReply(rkMessageSendError, {QString::number(clientRecordId), QString::number(errorCode), errorText});
}

QString BroadcastLine(const QString& text)
{
    return CommaTextFromList({Word(rkBroadcastMessage), text});
}

bool ParseProtocolInt(const QString& item, qint32* value)
{
    if (item.isEmpty())
        return false;
    qsizetype i = (item[0] == u'-' || item[0] == u'+') ? 1 : 0;
    if (i == item.size())
        return false;
    for (qsizetype k = i; k < item.size(); ++k)
        if (item[k] < u'0' || item[k] > u'9')
            return false;
    bool ok = false;
    const qint32 v = item.toInt(&ok, 10);
    if (!ok)
        return false;
    *value = v;
    return true;
}
