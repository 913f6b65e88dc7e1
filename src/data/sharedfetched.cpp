#include "data/sharedfetched.h"

#include "data/remotedataprotocol.h"
#include "data/sharedaccessclient.h"
#include "platform/durablefile.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QUuid>

namespace {
const char kFetchedFile[] = "FetchedFromServer.txt";

QString FetchedFile(const TBaseSharedClient& book)
{
    return book.CacheFolder() + u'/' + QLatin1String(kFetchedFile);
}

// Provider -> the name of its last fetch. A line of an earlier version
// holds the provider alone: it names no fetch, so no cache matches it.
QHash<QString, QString> FetchNames(const TBaseSharedClient& book)
{
    QHash<QString, QString> names;
    QFile file(FetchedFile(book));
    if (!file.open(QIODevice::ReadOnly))
        return names;
    const QStringList lines = QString::fromLatin1(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const qsizetype blank = line.indexOf(u' ');
        names.insert(line.left(blank).trimmed(), blank < 0 ? QString() : line.mid(blank + 1).trimmed());
    }
    return names;
}
}  // namespace

QString SharedFetchedFileName()
{
    return QLatin1String(kFetchedFile);
}

bool SharedKindFetched(TBaseSharedClient& book, TDataKind kind)
{
    const QString provider = RemoteData::ProviderNames().value(kind);
    const TNClientDataSet* dataSet = book.ClientDataSet(kind);
    if (provider.isEmpty() || !dataSet || dataSet->SourceId().isEmpty())
        return false;
    return FetchNames(book).value(provider) == dataSet->SourceId();
}

bool RememberSharedKindFetched(TBaseSharedClient& book, TDataKind kind, QString* errorText)
{
    const QString provider = RemoteData::ProviderNames().value(kind);
    TNClientDataSet* dataSet = book.ClientDataSet(kind);
    if (provider.isEmpty() || !dataSet)
        return true;
    const QString name = QUuid::createUuid().toString(QUuid::WithoutBraces);
    dataSet->SetSourceId(name);
    QHash<QString, QString> names = FetchNames(book);
    names.insert(provider, name);
    QByteArray note;
    for (const QString& known : RemoteData::ProviderNames())
        if (names.contains(known))
            note += (known + u' ' + names.value(known)).toLatin1() + '\n';
    QString error;
    if (QDir().mkpath(book.CacheFolder()) && ReplaceFileDurably(FetchedFile(book), note, &error))
        return true;
    *errorText = QStringLiteral(
                     "The note that the %1 of the address book \"%2\" were fetched could not be kept "
                     "in \"%3\": %4")
                     .arg(RemoteData::ProviderTable(provider), book.Name(), FetchedFile(book),
                          error.isEmpty() ? QStringLiteral("the folder could not be made") : error);
    return false;
}
