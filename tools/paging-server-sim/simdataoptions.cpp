#include "simdataoptions.h"

#include "data/remotedataprotocol.h"

#include <QFile>

namespace {
bool ParseFault(const QString& text, TSimDataFault* fault)
{
    const QStringList parts = text.split(u':');
    if (parts.size() != 3 || RemoteData::ProviderTable(parts[0]).isEmpty())
        return false;
    bool ok = false;
    fault->provider = parts[0];
    fault->id = parts[1].toLongLong(&ok);
    if (!ok)
        return false;
    if (parts[2] == QLatin1String("constraint"))
        fault->code = RemoteData::RowConstraint;
    else if (parts[2] == QLatin1String("deleted"))
        fault->code = RemoteData::RowNotFound;
    else if (parts[2] == QLatin1String("conflict"))
        fault->code = RemoteData::RowConflict;
    else
        return false;
    return true;
}
}  // namespace

QString SimDataHelpText()
{
    return QStringLiteral(
        "Remote data door (shared address books):\n"
        "  --data-port N            listen for the remote data door on port N (default 211 when a book is given)\n"
        "  --data-book NAME=FILE[,GUID]  serve the address book in the SQLite FILE under server NAME\n"
        "                           (made empty when missing); repeatable\n"
        "  --data-tcp-port N        the TCP door's port named in the greeting (default: the TCP door's)\n"
        "  --data-fault PRV:ID:KIND refuse the change of row ID of provider PRV on apply;\n"
        "                           KIND is constraint, deleted or conflict; repeatable\n"
        "  --data-refuse            refuse every remote data connection\n"
        "  --data-delay MS          wait MS before greeting a remote data connection\n"
        "  --data-lose-answer N     store the next N applies but drop the connection instead of answering\n"
        "  --data-log FILE          append every remote data request to FILE as JSON lines\n"
        "  --data-wrong-ids         answer fetch and apply under a wrong request ID, again every 200 ms\n"
        "  --data-canned OP:PRV=FILE  answer OP (fetch or apply) of provider PRV with the reply object in\n"
        "                           FILE as it stands (its \"id\" put in); repeatable\n");
}

bool ParseSimDataArguments(const QStringList& arguments, TSimDataOptions* options, bool* enabled, QStringList* rest,
                           QString* errorText)
{
    *enabled = false;
    rest->clear();
    bool portGiven = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        auto value = [&](QString* out) {
            if (i + 1 >= arguments.size()) {
                *errorText = QStringLiteral("%1 needs a value").arg(argument);
                return false;
            }
            *out = arguments[++i];
            return true;
        };
        auto number = [&](int low, int high, int* out) {
            QString text;
            if (!value(&text))
                return false;
            bool ok = false;
            *out = text.toInt(&ok);
            if (!ok || *out < low || *out > high) {
                *errorText =
                    QStringLiteral("%1: \"%2\" is not a number from %3 to %4").arg(argument, text).arg(low).arg(high);
                return false;
            }
            return true;
        };
        int n = 0;
        QString text;
        if (argument == QLatin1String("--data-port")) {
            if (!number(0, 65535, &n))
                return false;
            options->port = static_cast<quint16>(n);
            portGiven = *enabled = true;
        } else if (argument == QLatin1String("--data-book")) {
            if (!value(&text))
                return false;
            TSimDataBook book;
            book.serverName = text.section(u'=', 0, 0);
            const QString location = text.section(u'=', 1);
            book.file = location.section(u',', 0, 0);
            book.guid = location.section(u',', 1);
            if (book.serverName.isEmpty() || book.file.isEmpty()) {
                *errorText = QStringLiteral("--data-book: \"%1\" is not NAME=FILE[,GUID]").arg(text);
                return false;
            }
            options->books.append(book);
            *enabled = true;
        } else if (argument == QLatin1String("--data-tcp-port")) {
            if (!number(0, 65535, &n))
                return false;
            options->tcpDoorPort = static_cast<quint16>(n);
        } else if (argument == QLatin1String("--data-fault")) {
            TSimDataFault fault;
            if (!value(&text))
                return false;
            if (!ParseFault(text, &fault)) {
                *errorText = QStringLiteral("--data-fault: \"%1\" is not PROVIDER:ID:KIND").arg(text);
                return false;
            }
            options->faults.append(fault);
        } else if (argument == QLatin1String("--data-refuse")) {
            options->refuse = true;
        } else if (argument == QLatin1String("--data-delay")) {
            if (!number(0, 600000, &options->greetDelayMs))
                return false;
        } else if (argument == QLatin1String("--data-lose-answer")) {
            if (!number(0, 1000000, &options->loseApplyAnswers))
                return false;
        } else if (argument == QLatin1String("--data-wrong-ids")) {
            options->wrongIds = true;
        } else if (argument == QLatin1String("--data-canned")) {
            if (!value(&text))
                return false;
            QFile file(text.section(u'=', 1));
            if (!file.open(QIODevice::ReadOnly)) {
                *errorText = QStringLiteral("--data-canned: cannot read \"%1\"").arg(text.section(u'=', 1));
                return false;
            }
            options->canned.insert(text.section(u'=', 0, 0), file.readAll().trimmed());
        } else if (argument == QLatin1String("--data-log")) {
            if (!value(&options->logFile))
                return false;
        } else {
            rest->append(argument);
        }
    }
    if (*enabled && !portGiven)
        options->port = RemoteData::DefaultPort;
    return true;
}
