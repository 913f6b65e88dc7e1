#pragma once
// The two records that carry a server reply through the client.
//
// TClientRawInMessage is one received frame read into its items; the frame
// cutter makes them and the link's reply dispatcher consumes them.
// TClientInputMessage is the part of an acknowledgement, a delivery report
// or a broadcast that the client keeps. Both are plain values, safe to copy
// between threads.

#include "messaging/protocol.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

struct TClientInputMessage {
    qint32 ClientRecordID = 0;
    qint32 ServerRecordID = 0;
    quint8 MsgType = rkUnknown;  // the reply kind
    qint32 ErrorCode = 0;
    QString Text;
};

class TClientRawInMessage {
public:
    // Reads the frame body (the line without markers) with the comma-text
    // rules and sets Kind from item 0.
    explicit TClientRawInMessage(const QString& body);
    // The same from the body's Windows-1252 bytes.
    static TClientRawInMessage FromBytes(const QByteArray& body);

    QStringList Fields;
    TReplyKind Kind = rkUnknown;

    // Item 0, or empty when the body holds no item.
    QString GetCommand() const;
    // The kind of item 0 (what the constructor stored in Kind).
    TReplyKind ParseKind() const;
    // Item 1 of a logon refusal as a number, kept when 1..5, else 0.
    int GetReasonCode() const;
    // Item 2 of a logon refusal.
    QString GetReasonText() const;

    // True when the frame cannot be read as its kind: no item at all, a
    // quoted item without its closing quote, an item the kind reads that is
    // missing, or a number item that is not a decimal integer. Such a frame
    // is skipped; the link keeps reading.
    bool IsMalformed() const { return m_malformed; }

    // The record the client keeps of an acknowledgement (kinds 3, 4), a
    // report (5, 6) or a broadcast (8). False for other kinds and for
    // malformed frames; Out is left unchanged then.
    bool ToInputMessage(TClientInputMessage* out) const;

private:
    bool ReadsWell() const;

    bool m_malformed = false;
};
