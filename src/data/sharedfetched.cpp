#include "data/sharedfetched.h"

#include "data/remotedataprotocol.h"
#include "data/sharedaccessclient.h"
#include "platform/durablefile.h"

#include <QDir>
#include <QFile>

namespace {
const char kFetchedFile[] = "FetchedFromServer.txt";

QString FetchedFile(const TBaseSharedClient& book)
{
    return book.CacheFolder() + u'/' + QLatin1String(kFetchedFile);
}

QStringList FetchedProviders(const TBaseSharedClient& book)
{
    QFile file(FetchedFile(book));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}
}  // namespace

bool SharedKindFetched(const TBaseSharedClient& book, TDataKind kind)
{
    const QString provider = RemoteData::ProviderNames().value(kind);
    return !provider.isEmpty() && FetchedProviders(book).contains(provider);
}

bool RememberSharedKindFetched(const TBaseSharedClient& book, TDataKind kind, QString* errorText)
{
    const QString provider = RemoteData::ProviderNames().value(kind);
    QStringList providers = FetchedProviders(book);
    if (provider.isEmpty() || providers.contains(provider))
        return true;
    providers.append(provider);
    QString error;
    if (QDir().mkpath(book.CacheFolder()) &&
        ReplaceFileDurably(FetchedFile(book), providers.join(u'\n').toLatin1() + '\n', &error))
        return true;
    *errorText = QStringLiteral(
                     "The note that the %1 of the address book \"%2\" were fetched could not be kept "
                     "in \"%3\": %4")
                     .arg(RemoteData::ProviderTable(provider), book.Name(), FetchedFile(book),
                          error.isEmpty() ? QStringLiteral("the folder could not be made") : error);
    return false;
}
