#include "data/groupmembers.h"

#include "data/basedataclient.h"
#include "data/datasetstate.h"
#include "data/localaccessclient.h"
#include "data/sqlrun.h"
#include "data/threadconnections.h"

#include <QSqlQuery>
#include <iterator>

namespace {
const QString kID = QStringLiteral("ID");
const QString kName = QStringLiteral("Name");
const char* const ListFields[] = {"ID", "Name", "FirstName", "LastName", "Company", "JobTitle", CarrierNameField};
// Company, JobTitle and the carrier's name repeat across many contacts.
const QList<int> PooledColumns = {4, 5, 6};

// Hands out one shared copy of each text, so that the texts many contacts
// have in common are held once.
class TTextPool {
public:
    QVariant Shared(const QVariant& value)
    {
        if (value.isNull())
            return value;
        const QString text = value.toString();
        auto it = m_texts.constFind(text);
        if (it == m_texts.constEnd())
            it = m_texts.insert(text, QVariant(text));
        return *it;
    }

private:
    QHash<QString, QVariant> m_texts;
};

// Puts a dataset back open or closed as it was, whatever happens between.
class TOpenStateScope {
public:
    explicit TOpenStateScope(TNDataSet* dataSet) : m_dataSet(dataSet) { SaveDataSetState(m_dataSet, true); }
    ~TOpenStateScope()
    {
        try {
            RestoreDataSetState(m_dataSet);
        } catch (...) {
        }
    }
    TOpenStateScope(const TOpenStateScope&) = delete;
    TOpenStateScope& operator=(const TOpenStateScope&) = delete;

private:
    TNDataSet* m_dataSet;
};
}  // namespace

namespace {
// The key and the columns the member grids show. A contact's settings text
// stays in the book: 100,000 of them would double what the lists hold.
std::vector<TNFieldDef> ListFieldDefs()
{
    std::vector<TNFieldDef> defs;
    for (const char* name : ListFields)
        defs.push_back({QString::fromLatin1(name), TFieldKind::fkString, 50, false});
    defs.front().Kind = TFieldKind::fkAutoInc;
    defs.front().Size = 0;
    defs.front().ReadOnly = true;
    return defs;
}
}  // namespace

TNGroupMembers::TNGroupMembers(TBaseDataClient& book) : m_book(book)
{
    m_nonMembers.setObjectName(QStringLiteral("cdsNonMembers"));
    m_members.setObjectName(QStringLiteral("cdsMembers"));
    m_members.SetSortCaseSensitive(true);
}

void TNGroupMembers::Load(qint32 groupID)
{
    m_changed = false;
    m_nonMembers.SetFiltered(false);
    m_memberCount.clear();
    m_contactRows.clear();

    std::vector<TNFieldDef> defs = ListFieldDefs();
    std::vector<std::vector<QVariant>> rows = ContactRows();
    m_nonMembers.SetFieldDefs(defs);
    defs.front().Kind = TFieldKind::fkInteger;  // the members' ID is a plain integer
    defs.front().ReadOnly = false;
    m_members.SetFieldDefs(std::move(defs));
    m_nonMembers.SetIndexFieldNames(kName);
    m_nonMembers.LoadData(std::move(rows));
    const TNField* idField = m_nonMembers.FieldByName(kID);
    m_contactRows.reserve(m_nonMembers.RecordCount());
    for (int row = 0; row < m_nonMembers.RecordCount(); ++row)
        m_contactRows.insert(m_nonMembers.RowValue(row, idField).toInt(), m_nonMembers.RowBookmark(row));

    // The members in the order of their assignment rows; the list is ordered
    // by name once, when it is loaded.
    std::vector<std::vector<QVariant>> memberRows;
    for (qint32 contactID : AssignedContactIDs(groupID)) {
        const auto it = m_contactRows.constFind(contactID);
        if (it == m_contactRows.constEnd())
            continue;
        memberRows.push_back(NonMemberValues(*it));
        ++m_memberCount[contactID];
    }
    m_members.SetIndexFieldNames(kName);
    m_members.LoadData(std::move(memberRows));

    RefreshNonMembers();
    m_nonMembers.SetFiltered(true);
    m_nonMembers.First();
    m_members.First();
}

std::vector<std::vector<QVariant>> TNGroupMembers::ContactRows() const
{
    std::vector<std::vector<QVariant>> rows;
    TNDataSet* contacts = m_book.GetDataSet(dkContacts);
    const auto* local = qobject_cast<const TLocalAccessClient*>(&m_book);
    if (local && !contacts->Active()) {
        // Read straight from the book's file: opening the contacts table
        // only to copy it would hold every contact twice.
        QSqlQuery query = OpenQuery(ThreadDatabase(local->DatabasePath()),
                                    QStringLiteral("select c.ID, c.Name, c.FirstName, c.LastName, c.Company, "
                                                   "c.JobTitle, r.Name from Contacts c "
                                                   "left join Carriers r on r.ID = c.CarrierID"),
                                    {}, QStringLiteral("TNGroupMembers.Load"));
        TTextPool pool;
        while (query.next()) {
            std::vector<QVariant> values;
            values.reserve(std::size(ListFields));
            for (int i = 0; i < int(std::size(ListFields)); ++i)
                values.push_back(PooledColumns.contains(i) ? pool.Shared(query.value(i)) : query.value(i));
            rows.push_back(std::move(values));
        }
        return rows;
    }
    TOpenStateScope contactsOpen(contacts);
    std::vector<const TNField*> fields;
    for (const char* name : ListFields)
        fields.push_back(contacts->FieldByName(QString::fromLatin1(name)));
    rows.resize(size_t(contacts->RecordCount()));
    TTextPool pool;
    for (int row = 0; row < contacts->RecordCount(); ++row) {
        std::vector<QVariant>& values = rows[size_t(row)];
        values.reserve(fields.size());
        for (int i = 0; i < int(fields.size()); ++i) {
            const QVariant value = contacts->RowValue(row, fields[size_t(i)]);
            values.push_back(PooledColumns.contains(i) ? pool.Shared(value) : value);
        }
    }
    return rows;
}

QList<qint32> TNGroupMembers::AssignedContactIDs(qint32 groupID) const
{
    QList<qint32> ids;
    TNDataSet* assigns = m_book.GetDataSet(dkGroupAssigns);
    const auto* local = qobject_cast<const TLocalAccessClient*>(&m_book);
    if (local && !assigns->Active()) {
        // The table's lookups would open every contact once more.
        QSqlQuery query = OpenQuery(ThreadDatabase(local->DatabasePath()),
                                    QStringLiteral("select ContactID from GroupAssigns where GroupID = :GroupID "
                                                   "order by ID"),
                                    {{QStringLiteral("GroupID"), groupID}}, QStringLiteral("TNGroupMembers.Load"));
        while (query.next())
            ids << query.value(0).toInt();
        return ids;
    }
    TOpenStateScope assignsOpen(assigns);
    const TNField* groupField = assigns->FieldByName(QStringLiteral("GroupID"));
    const TNField* contactField = assigns->FieldByName(QStringLiteral("ContactID"));
    for (int row = 0; row < assigns->RecordCount(); ++row)
        if (assigns->RowValue(row, groupField).toInt() == groupID)
            ids << assigns->RowValue(row, contactField).toInt();
    return ids;
}

std::vector<QVariant> TNGroupMembers::NonMemberValues(TBookmark bookmark) const
{
    // Empty for a row that is not shown (a member already).
    std::vector<QVariant> values;
    const int row = m_nonMembers.RowOfBookmark(bookmark);
    if (row < 0)
        return values;
    values.reserve(size_t(m_nonMembers.FieldCount()));
    for (int i = 0; i < m_nonMembers.FieldCount(); ++i)
        values.push_back(m_nonMembers.RowValue(row, m_nonMembers.Field(i)));
    return values;
}

QList<TBookmark> TNGroupMembers::AddMembers(const QList<TBookmark>& nonMemberRows)
{
    QList<TBookmark> added;
    if (nonMemberRows.isEmpty())
        return added;
    m_changed = true;
    const TNField* idField = m_nonMembers.FieldByName(kID);
    m_members.DisableControls();
    for (TBookmark bookmark : nonMemberRows) {
        const std::vector<QVariant> values = NonMemberValues(bookmark);
        if (values.empty())
            continue;  // not a shown non-member (already moved)
        m_members.Append();
        for (int i = 0; i < m_members.FieldCount(); ++i)
            m_members.Field(i)->SetValue(values[size_t(i)]);
        m_members.Post();
        added << m_members.GetBookmark();
        ++m_memberCount[values[size_t(m_nonMembers.FieldIndex(idField))].toInt()];
    }
    m_members.EnableControls();
    RefreshNonMembers();
    return added;
}

QList<TBookmark> TNGroupMembers::RemoveMembers(const QList<TBookmark>& memberRows)
{
    QList<TBookmark> shown;
    if (memberRows.isEmpty())
        return shown;
    m_changed = true;
    const TNField* idField = m_members.FieldByName(kID);
    QList<qint32> ids;
    m_members.DisableControls();
    for (TBookmark bookmark : memberRows) {
        if (!m_members.GotoBookmark(bookmark))
            continue;
        const qint32 id = m_members.CurrentValue(idField).toInt();
        m_members.Delete();
        ids << id;
        if (--m_memberCount[id] <= 0)
            m_memberCount.remove(id);
    }
    m_members.EnableControls();
    RefreshNonMembers();
    for (qint32 id : std::as_const(ids)) {
        const TBookmark bookmark = m_contactRows.value(id);
        if (bookmark && m_nonMembers.RowOfBookmark(bookmark) >= 0 && !shown.contains(bookmark))
            shown << bookmark;
    }
    return shown;
}

QList<qint32> TNGroupMembers::MemberIDs() const
{
    QList<qint32> ids;
    const TNField* idField = m_members.FieldByName(kID);
    ids.reserve(m_members.RecordCount());
    for (int row = 0; row < m_members.RecordCount(); ++row)
        ids << m_members.RowValue(row, idField).toInt();
    return ids;
}

void TNGroupMembers::Save(qint32 groupID)
{
    m_members.CheckBrowseMode();
    m_book.SaveGroupMembers(groupID, MemberIDs());
}

void TNGroupMembers::RefreshNonMembers()
{
    // Setting the filter again rebuilds the view over the stored rows.
    m_nonMembers.SetOnFilterRecord([this, idField = m_nonMembers.FieldByName(kID)](const TNRecord& record) {
        return !m_memberCount.contains(record.Value(idField).toInt());
    });
}
