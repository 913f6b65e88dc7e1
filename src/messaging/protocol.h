#pragma once
// The paging server's wire protocol: frame markers, the request and reply
// words, the lines of both sides and the texts of the send-status codes.
//
// A frame is CR LF CR, one line, CR VT CR. A line is a comma text (see
// platform/commatext.h) whose item 0 is the request or reply word. Frames
// travel as Windows-1252 bytes. Everything here is pure and thread-safe.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// The two frame markers.
inline constexpr QByteArrayView kFrameStart{"\r\n\r", 3};
inline constexpr QByteArrayView kFrameEnd{"\r\v\r", 3};

// The reply kind: one byte naming a reply word. rkUnknown is every word that
// is none of the eight; such frames are never acted upon.
enum TReplyKind : quint8 {
    rkUnknown = 0,
    rkLogonOk = 1,
    rkLogonDenied = 2,
    rkMessageAccepted = 3,
    rkMessageAcceptError = 4,
    rkMessageSent = 5,
    rkMessageSendError = 6,
    rkDenyConnection = 7,
    rkBroadcastMessage = 8,
};

// The request words the client sends.
QString LogonWord();
QString MessageWord();

// The word of a reply kind ("LOGON_OK" ...); empty for rkUnknown.
QString ReplyWord(TReplyKind kind);
// The kind of a reply word; the match is exact, case included.
TReplyKind ReplyKindOf(const QString& word);

// Text of a send-status code, picked by its low seven bits.
QString ErrorStatusText(int code);

// Wraps a line in the frame markers, as Windows-1252 bytes. A NUL byte
// would end the receiver's reading of the chunk and an end marker would cut
// the frame short, so a NUL inside the line travels as "?" and the VT of an
// end marker inside the line as "?" too.
QByteArray FrameLine(const QString& line);

// Client requests. The logon line is "LOGON," + AppID + "," with the AppID
// inserted unquoted (three items, the last empty).
QString LogonLine(const QString& appId);
// "MESSAGE", client record ID, carrier type number, carrier settings text,
// address, message text, written with the comma-text rules.
QString MessageLine(qint32 clientRecordId, int carrierTypeNo, const QString& carrierSettings, const QString& address,
                    const QString& text);

// Server replies (what a paging server writes; the simulator and the tests
// use them).
QString LogonOkLine();
QString LogonDeniedLine(int reasonCode, const QString& reasonText);
QString DenyConnectionLine(int reasonCode, const QString& reasonText);
QString MessageAcceptedLine(qint32 clientRecordId, qint32 serverRecordId);
QString MessageAcceptErrorLine(qint32 clientRecordId, int errorCode, const QString& errorText);
QString MessageSentLine(qint32 clientRecordId, qint32 serverRecordId);
QString MessageSendErrorLine(qint32 clientRecordId, int errorCode, const QString& errorText);
QString BroadcastLine(const QString& text);

// Reads a decimal 32-bit integer item (an optional sign, digits only).
bool ParseProtocolInt(const QString& item, qint32* value);
