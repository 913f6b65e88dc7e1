#include "messaging/protocolmessages.h"

#include "platform/codepage.h"
#include "platform/commatext.h"

namespace {
// Item 1 of an acknowledgement or report: a comma text of the client record
// ID and either the server record ID (two items) or an error code and text
// (three items). Surplus inner items are ignored.
bool ReadNested(const QStringList& fields, bool withError, TClientInputMessage* out)
{
    if (fields.size() < 2)
        return false;
    bool unterminated = false;
    const QStringList inner = CommaTextToList(fields[1], &unterminated);
    if (unterminated || inner.size() < (withError ? 3 : 2))
        return false;
    qint32 clientId = 0;
    qint32 second = 0;
    if (!ParseProtocolInt(inner[0], &clientId) || !ParseProtocolInt(inner[1], &second))
        return false;
    out->ClientRecordID = clientId;
    if (withError) {
        out->ErrorCode = second;
        out->Text = inner[2];
    } else {
        out->ServerRecordID = second;
    }
    return true;
}
}  // namespace

TClientRawInMessage::TClientRawInMessage(const QString& body)
{
    bool unterminated = false;
    Fields = CommaTextToList(body, &unterminated);
    Kind = ParseKind();
    m_malformed = unterminated || Fields.isEmpty() || !ReadsWell();
}

TClientRawInMessage TClientRawInMessage::FromBytes(const QByteArray& body)
{
    return TClientRawInMessage(FromCodePage(body));
}

QString TClientRawInMessage::GetCommand() const
{
    return Fields.isEmpty() ? QString() : Fields[0];
}

TReplyKind TClientRawInMessage::ParseKind() const
{
    return ReplyKindOf(GetCommand());
}

int TClientRawInMessage::GetReasonCode() const
{
    qint32 code = 0;
    if (Fields.size() < 2 || !ParseProtocolInt(Fields[1], &code))
        return 0;
    return code >= 1 && code <= 5 ? code : 0;
}

QString TClientRawInMessage::GetReasonText() const
{
    return Fields.size() > 2 ? Fields[2] : QString();
}

bool TClientRawInMessage::ReadsWell() const
{
    TClientInputMessage scratch;
    switch (Kind) {
        case rkLogonDenied:
        case rkDenyConnection: {
            qint32 code = 0;
            return Fields.size() >= 3 && ParseProtocolInt(Fields[1], &code);
        }
        case rkMessageAccepted:
        case rkMessageSent:
            return ReadNested(Fields, false, &scratch);
        case rkMessageAcceptError:
        case rkMessageSendError:
            return ReadNested(Fields, true, &scratch);
        case rkBroadcastMessage:
            return Fields.size() >= 2;
        case rkLogonOk:
        case rkUnknown:
            return true;
    }
    return true;
}

bool TClientRawInMessage::ToInputMessage(TClientInputMessage* out) const
{
    if (m_malformed)
        return false;
    TClientInputMessage msg;
    msg.MsgType = Kind;
    switch (Kind) {
        case rkMessageAccepted:
        case rkMessageSent:
            ReadNested(Fields, false, &msg);
            break;
        case rkMessageAcceptError:
        case rkMessageSendError:
            ReadNested(Fields, true, &msg);
            break;
        case rkBroadcastMessage:
            msg.Text = Fields[1];
            break;
        default:
            return false;
    }
    *out = msg;
    return true;
}
