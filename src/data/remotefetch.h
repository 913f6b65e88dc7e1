#pragma once
// Reading replies of the remote data door without a JSON document of the
// whole reply: the head of any reply (its request number and "ok"), and a
// fetch answer straight into the rows of a client dataset.
//
// A fetch answer of a million rows is tens of megabytes of JSON; a document
// of it and lists of variants beside the rows would take several times what
// the rows take. Here the text is walked once, row by row, and every cell is
// checked against the kind of the client's field before it is kept: IDs are
// whole numbers within 32 bits, positive and unique; integers are whole
// numbers within their width; Booleans are true or false; texts are texts;
// null is allowed except for the ID. One wrong cell refuses the whole answer.
// Plain functions; any thread.

#include "db/clientdataset.h"

#include <QByteArray>
#include <QString>
#include <vector>

// Whether a whole number fits an integer field of Kind: 32 bits, or 16
// for a smallint.
bool WholeNumberFitsField(TFieldKind kind, qint64 value);

// The "id" and "ok" of a reply; false when the text is no JSON object or
// its "id" is no whole number.
bool ReadRemoteReplyHead(const QByteArray& body, qint64* id, bool* ok);

// The rows of a fetch answer in the order and kinds of Defs (a field the
// server does not send stays null; a field it sends that Defs lack is
// left out). False with ErrorText, which names the row and the field, when
// any row breaks the rules above; Rows is then left empty.
bool ReadFetchAnswer(const QByteArray& body, const std::vector<TNFieldDef>& defs,
                     std::vector<std::vector<QVariant>>* rows, QString* errorText);
