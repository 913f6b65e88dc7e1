#include "data/sharedaccessclient.h"

#include "data/bookfields.h"
#include "data/dataerror.h"
#include "data/remotedataconnection.h"
#include "data/remotedataprotocol.h"
#include "data/shareddatafolder.h"
#include "data/sharedfetched.h"
#include "data/sharedmissingids.h"
#include "data/sharedreferences.h"
#include "db/clientdatasetfile.h"
#include "db/dberror.h"
#include "platform/commatext.h"
#include "platform/durablefile.h"
#include "platform/hostlookup.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QThread>

namespace {
constexpr quint16 kDefaultTcpDoorPort = 215;
constexpr int kLookupTimeoutMs = 3000;
// How long one resolution of the book's host serves the queueing of a message.
constexpr qint64 kResolvedForMs = 10000;
const char kDoorPortFile[] = "TcpDoorPort.txt";
// The lowest temporary ID set aside for the book, written before any ID
// below the one it held is handed out: a run that ends without saving its
// cache (a crash) still hands none of them out again.
const char kTempIdFile[] = "TemporaryIds.txt";
// How many IDs one write sets aside: a new row costs no disk write, a paste
// of thousands of placements a few.
constexpr qint64 kTempIdBlock = 1024;

struct TDef {
    const char* Name;
    TFieldKind Kind;
    int Size;
};
const TDef CarrierTypeFields[] = {{"ID", TFieldKind::fkSmallInt, 0},
                                  {"IconID", TFieldKind::fkSmallInt, 0},
                                  {"TypeNo", TFieldKind::fkSmallInt, 0},
                                  {"Name", TFieldKind::fkString, 50},
                                  {"Prune", TFieldKind::fkBoolean, 0}};
const TDef CarrierFields[] = {{"ID", TFieldKind::fkInteger, 0},      {"IconID", TFieldKind::fkSmallInt, 0},
                              {"TypeNo", TFieldKind::fkSmallInt, 0}, {"ServerID", TFieldKind::fkInteger, 0},
                              {"Name", TFieldKind::fkString, 50},    {"Prune", TFieldKind::fkBoolean, 0},
                              {"Data", TFieldKind::fkMemo, 0}};
const TDef ContactFields[] = {{"ID", TFieldKind::fkInteger, 0},       {"CarrierID", TFieldKind::fkInteger, 0},
                              {"Name", TFieldKind::fkString, 50},     {"FirstName", TFieldKind::fkString, 50},
                              {"LastName", TFieldKind::fkString, 50}, {"Company", TFieldKind::fkString, 50},
                              {"JobTitle", TFieldKind::fkString, 50}, {"Prune", TFieldKind::fkBoolean, 0},
                              {"Data", TFieldKind::fkMemo, 0}};
const TDef TemplateFields[] = {{"ID", TFieldKind::fkInteger, 0},
                               {"Name", TFieldKind::fkString, 50},
                               {"ParentID", TFieldKind::fkInteger, 0},
                               {"IconID", TFieldKind::fkSmallInt, 0},
                               {"Content", TFieldKind::fkMemo, 0}};
const TDef GroupFields[] = {
    {"ID", TFieldKind::fkInteger, 0}, {"Name", TFieldKind::fkString, 50}, {"Description", TFieldKind::fkMemo, 0}};
const TDef GroupAssignFields[] = {
    {"ID", TFieldKind::fkInteger, 0}, {"GroupID", TFieldKind::fkInteger, 0}, {"ContactID", TFieldKind::fkInteger, 0}};
const TDef FolderFields[] = {
    {"ID", TFieldKind::fkInteger, 0}, {"Name", TFieldKind::fkString, 50}, {"ParentID", TFieldKind::fkInteger, 0}};
const TDef FolderAssignFields[] = {{"ID", TFieldKind::fkInteger, 0},
                                   {"FolderID", TFieldKind::fkInteger, 0},
                                   {"GroupID", TFieldKind::fkInteger, 0},
                                   {"ContactID", TFieldKind::fkInteger, 0}};

struct TTableDef {
    const char* Component;
    const char* Source;
    const char* IndexFieldNames;
    const TDef* Fields;
    size_t FieldCount;
};
template <size_t N>
constexpr TTableDef Table(const char* component, const char* source, const char* index, const TDef (&fields)[N])
{
    return {component, source, index, fields, N};
}
// By TDataKind, kinds 0 to 7.
const TTableDef TableDefs[] = {
    Table("cdsCarrierTypes", "dsCarrierTypes", "", CarrierTypeFields),
    Table("cdsCarriers", "dsCarriers", "", CarrierFields),
    Table("cdsContacts", "dsContacts", "Name", ContactFields),
    Table("cdsTemplates", "dsTemplates", "", TemplateFields),
    Table("cdsGroups", "dsGroups", "", GroupFields),
    Table("cdsGroupAssigns", "dsGroupAssigns", "", GroupAssignFields),
    Table("cdsFolders", "dsFolders", "", FolderFields),
    Table("cdsFolderAssigns", "dsFolderAssigns", "", FolderAssignFields),
};
constexpr int SharedKindCount = DataKindCount - 1;

// Characters no file name may hold here or on the systems books are shared
// with; the hash keeps two names that read alike apart.
bool UnsafeInFileName(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("/\\:*?\"<>|").contains(c);
}

int FieldIndex(const TNClientDataSet& dataSet, const char* name)
{
    const std::vector<TNFieldDef>& defs = dataSet.FieldDefs();
    for (size_t i = 0; i < defs.size(); ++i)
        if (defs[i].Name == QLatin1String(name))
            return int(i);
    return -1;
}

}  // namespace

QString SharedCacheFolderName(const QString& bookName)
{
    QString safe;
    for (QChar c : bookName)
        safe += UnsafeInFileName(c) ? QChar(u'_') : c;
    while (safe.endsWith(u'.') || safe.endsWith(u' '))
        safe.chop(1);
    if (safe.isEmpty())
        safe = QStringLiteral("_");
    if (safe == bookName)
        return safe;
    const QByteArray hash = QCryptographicHash::hash(bookName.toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    return safe + u'-' + QString::fromLatin1(hash);
}

// ---------------------------------------------------------------- base

TBaseSharedClient::~TBaseSharedClient()
{
    // The derived class saves while its datasets exist; nothing here.
}

QString TBaseSharedClient::CacheFolder() const
{
    return GetSharedDataFolder() + u'/' + SharedCacheFolderName(Name());
}

bool TBaseSharedClient::ReadSettings(const QString& data)
{
    const QStringList items = CommaTextToList(data);
    if (items.size() < 3)
        return false;
    bool ok = false;
    const int port = items.at(1).trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return false;
    m_host = items.at(0).trimmed();
    m_port = static_cast<quint16>(port);
    m_serverName = items.at(2).trimmed();
    return !m_host.isEmpty();
}

void TBaseSharedClient::SaveClientDataSetToFile(TDataKind kind)
{
    TNClientDataSet* dataSet = ClientDataSet(kind);
    if (!dataSet)
        throw EDataError(
            QStringLiteral("From TBaseSharedClient.SaveClientDataSetToFile() - Can't Save non-TClientDataSet "
                           "to file."));
    if (m_unreadable[kind])
        return;  // never write over a file that could not be read
    if (!QDir().mkpath(CacheFolder()))
        throw EDataError(QStringLiteral("Cannot create the folder \"%1\"").arg(CacheFolder()));
    dataSet->CheckBrowseMode();
    // Every file keeps the book's lowest, so that losing one loses nothing.
    dataSet->SetTempIdFloor(LowestTemporaryId());
    ::SaveClientDataSetToFile(*dataSet, CacheFolder() + u'/' + CacheFileName(kind));
}

void TBaseSharedClient::LoadClientDataSetFromFile(TDataKind kind)
{
    TNClientDataSet* dataSet = ClientDataSet(kind);
    if (!dataSet)
        throw EDataError(
            QStringLiteral("From TBaseSharedClient.LoadClientDataSetFromFile() - Can't Load non-TClientDataSet "
                           "from file."));
    if (!QDir().mkpath(CacheFolder()))
        throw EDataError(QStringLiteral("Cannot create the folder \"%1\"").arg(CacheFolder()));
    const QString file = CacheFolder() + u'/' + CacheFileName(kind);
    if (!QFile::exists(file)) {
        dataSet->CreateDataSet();
        ::SaveClientDataSetToFile(*dataSet, file);
    }
    // Every row keeps its ID, except the memberships that the group editor
    // of earlier versions saved without one: refusing those would leave the
    // book out of every run. The client gives them their IDs
    // (sharedmissingids.h); until the server's are fetched, those already on
    // the server stay without one.
    // Two rows under one ID would each be taken for the other by every row
    // and window that names the ID, and an apply would send one of them
    // under the other's name.
    static const QString idField = QStringLiteral("ID");
    static const QStringList id{idField};
    ::LoadClientDataSetFromFile(*dataSet, file, kind == dkGroupAssigns ? QStringList() : id, idField);
    m_unreadable[kind] = false;
    // The run of temporary IDs goes on below what this file held too.
    m_lowestTempIdKnown = false;
}

QString TBaseSharedClient::TakeLeftoversAway() const
{
    QStringList files{QLatin1String(kDoorPortFile), QLatin1String(kTempIdFile), SharedFetchedFileName()};
    for (int kind = 0; kind < DataKindCount; ++kind)
        if (const QString name = CacheFileName(TDataKind(kind)); !name.isEmpty())
            files.append(name);
    QStringList removed;
    QStringList older;
    for (const QString& name : std::as_const(files)) {
        removed += RemovePartialFiles(CacheFolder() + u'/' + name);
        older += OlderPartialFiles(CacheFolder() + u'/' + name);
    }
    QStringList told;
    if (!removed.isEmpty())
        told << QStringLiteral("The address book \"%1\": what saves cut short left in \"%2\" was removed: %3")
                    .arg(Name(), CacheFolder(), removed.join(QStringLiteral(", ")));
    // Earlier versions named their partial files as an operator may name a
    // copy of their own: such a file is theirs to keep or remove.
    if (!older.isEmpty())
        told << QStringLiteral(
                    "The cache folder \"%1\" of the address book \"%2\" holds files named as earlier versions "
                    "named what a save cut short left behind: %3. They are left as they are; remove them if they "
                    "are not yours.")
                    .arg(CacheFolder(), Name(), older.join(QStringLiteral(", ")));
    return told.join(QStringLiteral("\n\n"));
}

void TBaseSharedClient::SaveAllClientDataSetsToFiles()
{
    // One file that cannot be written does not keep the others from being
    // saved.
    QStringList problems;
    for (int kind = 0; kind < DataKindCount; ++kind) {
        if (!ClientDataSet(TDataKind(kind)))
            continue;
        try {
            SaveClientDataSetToFile(TDataKind(kind));
        } catch (const std::exception& e) {
            problems.append(QString::fromUtf8(e.what()));
        }
    }
    if (!problems.isEmpty())
        throw EDataError(QStringLiteral("The cache of the address book \"%1\" could not be saved.\n%2")
                             .arg(Name(), problems.join(u'\n')));
}

QString TBaseSharedClient::SaveBeforeDestroy() noexcept
{
    if (m_savedForDestroy)
        return QString();
    m_savedForDestroy = true;
    // The IDs set aside and not handed out are free again for the next run.
    if (m_lowestTempIdKnown && m_tempIdsReserved < m_lowestTempId && m_lowestTempId < 0) {
        QString ignored;
        ReplaceFileDurably(CacheFolder() + u'/' + QLatin1String(kTempIdFile), QByteArray::number(m_lowestTempId),
                           &ignored);
    }
    QString why;
    try {
        SaveAllClientDataSetsToFiles();
        return QString();
    } catch (const std::exception& e) {
        why = QString::fromUtf8(e.what());
    } catch (...) {
    }
    // What is lost comes first; the files and their reasons follow.
    bool pending = false;
    for (int kind = 0; kind < DataKindCount; ++kind)
        if (TNClientDataSet* dataSet = ClientDataSet(TDataKind(kind)))
            pending = pending || dataSet->ChangeCount() > 0;
    if (!pending)
        return why;
    return QStringLiteral(
               "The changes of the address book \"%1\" that were not yet applied to the server could not be "
               "kept.\n%2")
        .arg(Name(), why);
}

void TBaseSharedClient::LoadAllClientDataSetsFromFiles()
{
    if (QDir().mkpath(CacheFolder()))
        m_leftoverNotice = TakeLeftoversAway();
    QStringList problems;
    for (int kind = 0; kind < DataKindCount; ++kind) {
        if (!ClientDataSet(TDataKind(kind)))
            continue;
        try {
            LoadClientDataSetFromFile(TDataKind(kind));
        } catch (const EDatabaseError& e) {
            m_unreadable[kind] = true;
            problems.append(e.Message());
        } catch (const EDataError& e) {
            m_unreadable[kind] = true;
            problems.append(QString::fromUtf8(e.what()));
        }
    }
    if (!problems.isEmpty())
        m_initWarning = QStringLiteral(
                            "The cached data of the address book \"%1\" cannot be used for now; the files "
                            "are left as they are.\n%2")
                            .arg(Name(), problems.join(u'\n'));
}

QString TBaseSharedClient::InitWarning() const
{
    QStringList texts{m_initWarning.isEmpty() ? m_loadNotice : m_initWarning, m_leftoverNotice};
    texts.removeAll(QString());
    return texts.join(QStringLiteral("\n\n"));
}

qint32 TBaseSharedClient::CalcNewTempID(TNDataSet* dataSet)
{
    auto* client = qobject_cast<TNClientDataSet*>(dataSet);
    if (!client || !dataSet->FindField(QStringLiteral("ID")))
        return -1;
    // Read from the stored rows: the cursor does not move and a pending
    // insert is neither posted nor lost.
    const int id = FieldIndex(*client, "ID");
    qint64 lowest = 0;
    client->ForEachStoredRow([&](const std::vector<QVariant>& values) {
        if (size_t(id) < values.size() && !values[size_t(id)].isNull())
            lowest = std::min(lowest, values[size_t(id)].toLongLong());
    });
    return qint32(std::max<qint64>(lowest - 1, std::numeric_limits<qint32>::min()));
}

qint64 TBaseSharedClient::LowestTemporaryIdHeld()
{
    // Every whole-number cell counts, references included: going lower than
    // needed costs nothing, reusing an ID a row still names joins the row
    // to a record nobody chose. So do the IDs handed out before, in this run
    // or, as each cache file keeps the lowest, in earlier ones: open
    // folders, out-box and sent-log rows may still name one that no row of
    // the book holds any more.
    qint64 lowest = m_lowestTempId;
    const auto take = [&](const std::vector<QVariant>& values, const std::vector<bool>& whole) {
        for (size_t i = 0; i < values.size() && i < whole.size(); ++i)
            if (whole[i] && !values[i].isNull() && RemoteData::IsTemporaryId(values[i].toLongLong()))
                lowest = std::min(lowest, values[i].toLongLong());
    };
    QFile reserved(CacheFolder() + u'/' + QLatin1String(kTempIdFile));
    bool read = false;
    const qint64 reservedTo = reserved.open(QIODevice::ReadOnly) ? reserved.readAll().trimmed().toLongLong(&read) : 0;
    m_tempIdsReserved = read && reservedTo < 0 && reservedTo > NoneID ? reservedTo : 0;
    lowest = std::min(lowest, m_tempIdsReserved);
    for (int kind = 0; kind < DataKindCount; ++kind) {
        const TNClientDataSet* dataSet = ClientDataSet(TDataKind(kind));
        if (!dataSet)
            continue;
        lowest = std::min(lowest, dataSet->TempIdFloor());
        std::vector<bool> whole;
        for (const TNFieldDef& def : dataSet->FieldDefs())
            whole.push_back(def.Kind == TFieldKind::fkInteger || def.Kind == TFieldKind::fkSmallInt);
        dataSet->ForEachStoredRow([&](const std::vector<QVariant>& values) { take(values, whole); });
        dataSet->ForEachLogEntry(
            [&](TUpdateKind, qint64, const std::vector<QVariant>& before) { take(before, whole); });
        for (const TNRowChange& change : dataSet->PendingApply()) {
            take(change.OldValues, whole);
            take(change.NewValues, whole);
        }
    }
    return lowest;
}

qint64 TBaseSharedClient::LowestTemporaryId()
{
    if (!m_lowestTempIdKnown) {
        m_lowestTempId = LowestTemporaryIdHeld();
        m_lowestTempIdKnown = true;
    }
    return m_lowestTempId;
}

qint32 TBaseSharedClient::GetNextTempID(TNDataSet* dataSet)
{
    const TNField* key = dataSet ? dataSet->FindField(QStringLiteral("ID")) : nullptr;
    if (!key)
        return -1;
    if (key->Kind() != TFieldKind::fkSmallInt && qobject_cast<TNClientDataSet*>(dataSet)) {
        // One run of IDs for the whole book, below every temporary ID it
        // holds in any dataset: no row can name two records by one ID.
        const qint64 lowest = LowestTemporaryId();
        // Two thousand million new rows: no ID is left that was never handed out.
        if (lowest - 1 <= NoneID)
            throw EDataError(
                QStringLiteral("The address book \"%1\" has handed out every temporary ID: no new record can "
                               "be made in it.")
                    .arg(Name()));
        m_lowestTempId = lowest - 1;
        if (m_lowestTempId < m_tempIdsReserved)
            ReserveTempIds();
        return qint32(m_lowestTempId);
    }
    // Carrier types (a small-integer ID no other row names) number their own.
    if (dataSet->Tag() != 0) {
        const qint32 next = dataSet->Tag();
        dataSet->SetTag(next - 1);
        return next;
    }
    const qint32 id = CalcNewTempID(dataSet);
    dataSet->SetTag(id - 1);
    return id;
}

void TBaseSharedClient::ReserveTempIds()
{
    const qint64 reserve = std::max<qint64>(m_lowestTempId - kTempIdBlock + 1, qint64(NoneID) + 1);
    QString error;
    if (!QDir().mkpath(CacheFolder()))
        error = QStringLiteral("the folder cannot be made");
    else if (ReplaceFileDurably(CacheFolder() + u'/' + QLatin1String(kTempIdFile), QByteArray::number(reserve), &error))
        error.clear();
    // Tried once a block: the cache files still keep the lowest ID when they
    // are saved, so only a run that ends without saving them loses it.
    m_tempIdsReserved = reserve;
    if (!error.isEmpty())
        qWarning("The address book \"%s\" cannot set its temporary IDs aside in \"%s\": %s", qUtf8Printable(Name()),
                 qUtf8Printable(CacheFolder()), qUtf8Printable(error));
}

QString TDoorAddress::Fault(const QString& doing, const QString& reason) const
{
    return QStringLiteral("The address book \"%1\" %2 its server \"%3\" at %4, port %5: %6")
        .arg(Book, doing, Server, Host)
        .arg(Port)
        .arg(reason);
}

bool OpenDoor(TRemoteDataConnection& connection, const TDoorAddress& address, QString* errorText)
{
    if (connection.Open(address.Host, address.Port, 10000) && connection.ConnectServer(address.Server))
        return true;
    // The socket's own text ("connect: Connection refused") names neither
    // the book nor where it was looked for.
    *errorText = address.Fault(QStringLiteral("cannot reach"), connection.ErrorText());
    connection.Close();
    return false;
}

QString TBaseSharedClient::RememberTcpDoorPort(quint16 port)
{
    const quint16 doorPort = port != 0 ? port : kDefaultTcpDoorPort;
    if (doorPort == TcpDoorPort())
        return QString();
    // Written as the caches are: a full disk keeps the port last told.
    const QString fileName = CacheFolder() + u'/' + QLatin1String(kDoorPortFile);
    QString error;
    if (!QDir().mkpath(CacheFolder()))
        error = QStringLiteral("the folder cannot be made");
    else if (ReplaceFileDurably(fileName, QByteArray::number(doorPort), &error))
        return QString();
    return QStringLiteral("The address book \"%1\" cannot keep the port %2 of its server's TCP door in \"%3\": %4")
        .arg(Name())
        .arg(doorPort)
        .arg(fileName, error);
}

quint16 TBaseSharedClient::TcpDoorPort() const
{
    QFile file(CacheFolder() + u'/' + QLatin1String(kDoorPortFile));
    if (!file.open(QIODevice::ReadOnly))
        return kDefaultTcpDoorPort;
    bool ok = false;
    const int port = file.readAll().trimmed().toInt(&ok);
    return ok && port > 0 && port < 65536 ? static_cast<quint16>(port) : kDefaultTcpDoorPort;
}

// ---------------------------------------------------------------- client

TSharedAccessClient::TSharedAccessClient()
{
    std::array<TNDataSet*, DataKindCount> all{};
    for (int kind = 0; kind < SharedKindCount; ++kind) {
        const TTableDef& def = TableDefs[kind];
        auto dataSet = std::make_unique<TNClientDataSet>();
        dataSet->setObjectName(QString::fromLatin1(def.Component));
        std::vector<TNFieldDef> defs;
        for (size_t i = 0; i < def.FieldCount; ++i)
            defs.push_back({QString::fromLatin1(def.Fields[i].Name), def.Fields[i].Kind, def.Fields[i].Size, false});
        dataSet->SetFieldDefs(std::move(defs));
        dataSet->SetIndexFieldNames(QString::fromLatin1(def.IndexFieldNames));
        m_sources[kind].setObjectName(QString::fromLatin1(def.Source));
        m_sources[kind].SetDataSet(dataSet.get());
        if (kind == dkCarriers || kind == dkContacts || kind == dkGroupAssigns)
            connect(dataSet.get(), &TNDataSet::DataChanged, this, [this] { m_snapshotStale = true; });
        // Every new row starts with a temporary ID, whichever window or
        // tree action makes it: the apply's answer puts the server's ID in
        // its place, and a later change or delete names that one.
        dataSet->SetOnNewRecord([this](TNDataSet& newRow) {
            if (TNField* id = newRow.FindField(QStringLiteral("ID")); id && !id->ReadOnly() && id->IsNull())
                id->SetValue(GetNextTempID(&newRow));
        });
        all[kind] = dataSet.get();
        m_dataSets[kind] = std::move(dataSet);
    }
    AddBookFields(all);
}

TSharedAccessClient::~TSharedAccessClient()
{
    ReleaseClient();
    // Whoever destroys the client asks SaveBeforeDestroy first and tells the
    // operator; a client destroyed otherwise still keeps its cache.
    const QString problem = SaveBeforeDestroy();
    if (!problem.isEmpty())
        qWarning("%s", qUtf8Printable(problem));
}

bool TSharedAccessClient::InitConnection(const QString& data)
{
    const bool usable = ReadSettings(data);
    LoadAllClientDataSetsFromFiles();
    if (CacheUsable()) {
        QStringList notices;
        // Memberships an earlier version kept without an ID.
        if (const QString given = GiveIdsAtLoad(*this); !given.isEmpty())
            notices << given;
        // Left by a run that ended before the new record they name was
        // saved, or after it was given up.
        const QStringList dropped = DropRowsNamingGoneRecords(*this);
        if (!dropped.isEmpty())
            notices << QStringLiteral(
                           "The cache of the address book \"%1\" held rows naming new records that "
                           "are no longer in it, and changed:\n%2")
                           .arg(Name(), dropped.join(u'\n'));
        SetLoadNotice(notices.join(QStringLiteral("\n\n")));
    }
    m_snapshotStale = true;
    return usable && CacheUsable();
}

TNClientDataSet* TSharedAccessClient::ClientDataSet(TDataKind kind)
{
    return kind < SharedKindCount ? m_dataSets[kind].get() : nullptr;
}

QString TSharedAccessClient::CacheFileName(TDataKind kind) const
{
    return kind < SharedKindCount ? QString::fromLatin1(TableDefs[kind].Component) + QStringLiteral(".cds") : QString();
}

TNDataSet* TSharedAccessClient::GetDataSet(TDataKind kind)
{
    if (kind >= SharedKindCount)
        throw EDataError(QStringLiteral("From \"TSharedAccessClient.GetDataSet()\" - Unknown dataKind"));
    return m_dataSets[kind].get();
}

TNDataSource* TSharedAccessClient::GetDataSource(TDataKind kind)
{
    if (kind >= SharedKindCount)
        throw EDataError(QStringLiteral("From \"TSharedAccessClient.GetDataSource()\" - Unknown dataKind"));
    return &m_sources[kind];
}

QList<TNDataSet*> TSharedAccessClient::DataSets()
{
    QList<TNDataSet*> dataSets;
    for (auto& dataSet : m_dataSets)
        dataSets.append(dataSet.get());
    return dataSets;
}

std::shared_ptr<const TSharedBookSnapshot> TSharedAccessClient::Snapshot()
{
    if (QThread::currentThread() == thread() && m_snapshotStale) {
        auto snapshot = std::make_shared<TSharedBookSnapshot>();
        const TNClientDataSet& contacts = *m_dataSets[dkContacts];
        const int cId = FieldIndex(contacts, "ID"), cCarrier = FieldIndex(contacts, "CarrierID"),
                  cName = FieldIndex(contacts, "Name"), cData = FieldIndex(contacts, "Data");
        contacts.ForEachStoredRow([&](const std::vector<QVariant>& v) {
            snapshot->Contacts.insert(v[size_t(cId)].toInt(), {v[size_t(cCarrier)].toInt(), v[size_t(cName)].toString(),
                                                               v[size_t(cData)].toString()});
        });
        const TNClientDataSet& carriers = *m_dataSets[dkCarriers];
        const int rId = FieldIndex(carriers, "ID"), rType = FieldIndex(carriers, "TypeNo"),
                  rData = FieldIndex(carriers, "Data");
        carriers.ForEachStoredRow([&](const std::vector<QVariant>& v) {
            snapshot->Carriers.insert(v[size_t(rId)].toInt(), {v[size_t(rType)].toInt(), v[size_t(rData)].toString()});
        });
        const TNClientDataSet& assigns = *m_dataSets[dkGroupAssigns];
        const int aGroup = FieldIndex(assigns, "GroupID"), aContact = FieldIndex(assigns, "ContactID");
        assigns.ForEachStoredRow([&](const std::vector<QVariant>& v) {
            snapshot->Members[v[size_t(aGroup)].toInt()].append(v[size_t(aContact)].toInt());
        });
        QMutexLocker guard(&m_snapshotLock);
        m_snapshot = std::move(snapshot);
        m_snapshotStale = false;
    }
    QMutexLocker guard(&m_snapshotLock);
    return m_snapshot ? m_snapshot : std::make_shared<const TSharedBookSnapshot>();
}

bool TSharedAccessClient::Endpoint(TNServerEndpoint& endpoint)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (m_resolvedAtMs < 0 || now - m_resolvedAtMs > kResolvedForMs) {
        QString address;
        QString error;
        m_resolvedAtMs = now;
        m_resolvedHost.clear();
        if (LookupIPv4(Host(), kLookupTimeoutMs, &address, &error))
            m_resolvedHost = address;
        m_routeError = error;
    }
    if (m_resolvedHost.isEmpty())
        return false;
    endpoint.ServerTypeNo = SERVER_TYPE_TCP_NO;
    endpoint.IpAddress = m_resolvedHost;
    endpoint.PortNo = TcpDoorPort();
    endpoint.HostName = Host();
    return true;
}

bool TSharedAccessClient::CarrierCached(const TSharedBookSnapshot& snapshot, qint32 contactID)
{
    const auto contact = snapshot.Contacts.constFind(contactID);
    return contact != snapshot.Contacts.constEnd() && snapshot.Carriers.contains(contact->CarrierID);
}

bool TSharedAccessClient::GetServerByContactID(qint32 contactID, TNServerEndpoint& endpoint)
{
    const std::shared_ptr<const TSharedBookSnapshot> snapshot = Snapshot();
    if (!snapshot->Contacts.contains(contactID))
        return false;
    return Endpoint(endpoint) && CarrierCached(*snapshot, contactID);
}

QString TSharedAccessClient::WhyNoServer(qint32 contactID)
{
    const std::shared_ptr<const TSharedBookSnapshot> snapshot = Snapshot();
    if (!snapshot->Contacts.contains(contactID))
        return QStringLiteral("the contact is no longer in the address book \"%1\"").arg(Name());
    if (m_resolvedHost.isEmpty())
        return QStringLiteral("the address book \"%1\" cannot be sent to: %2").arg(Name(), m_routeError);
    if (!CarrierCached(*snapshot, contactID))
        return QStringLiteral("its carrier is not in the cache of the address book \"%1\": refresh its carriers")
            .arg(Name());
    return TBaseDataClient::WhyNoServer(contactID);
}

void TSharedAccessClient::GetServersOfGroup(qint32 groupID, QHash<qint32, TNServerEndpoint>& servers)
{
    servers.clear();
    const std::shared_ptr<const TSharedBookSnapshot> snapshot = Snapshot();
    TNServerEndpoint endpoint;
    if (!Endpoint(endpoint))
        return;
    for (qint32 id : snapshot->Members.value(groupID))
        if (snapshot->Contacts.contains(id) && CarrierCached(*snapshot, id))
            servers.insert(id, endpoint);
}

void TSharedAccessClient::GetContactIDsNamesOfGroup(qint32 groupID, QList<qint32>& ids, QStringList& names)
{
    ids.clear();
    names.clear();
    const std::shared_ptr<const TSharedBookSnapshot> snapshot = Snapshot();
    for (qint32 id : snapshot->Members.value(groupID)) {
        const auto contact = snapshot->Contacts.constFind(id);
        if (contact == snapshot->Contacts.constEnd())
            continue;
        ids.append(id);
        names.append(contact->Name);
    }
}

void TSharedAccessClient::GetContactsOfGroup(qint32 groupID, QList<qint32>& ids)
{
    ids = Snapshot()->Members.value(groupID);
}

bool TSharedAccessClient::ServerNameExists(const QString&)
{
    return false;
}

qint32 TSharedAccessClient::GetRecordCount(TDataKind kind)
{
    TNClientDataSet* dataSet = ClientDataSet(kind);
    if (!dataSet)
        return -1;
    qint32 count = 0;
    dataSet->ForEachStoredRow([&](const std::vector<QVariant>&) { ++count; });
    return count;
}

bool TSharedAccessClient::GetContactCarrier(qint32 contactID, TNContactCarrier& carrier)
{
    const std::shared_ptr<const TSharedBookSnapshot> snapshot = Snapshot();
    const auto contact = snapshot->Contacts.constFind(contactID);
    if (contact == snapshot->Contacts.constEnd())
        return false;
    // Named even when its carrier is gone, so a row that cannot be routed
    // is told by its member's name.
    carrier.ContactName = contact->Name;
    const auto found = snapshot->Carriers.constFind(contact->CarrierID);
    if (found == snapshot->Carriers.constEnd())
        return false;
    carrier.CarrierID = contact->CarrierID;
    carrier.ContactData = contact->Data;
    carrier.CarrierTypeNo = found->TypeNo;
    carrier.CarrierData = found->Data;
    return true;
}
