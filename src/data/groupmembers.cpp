#include "data/groupmembers.h"

#include "data/basedataclient.h"
#include "data/datasetstate.h"

namespace {
const QString kID = QStringLiteral("ID");
const QString kName = QStringLiteral("Name");

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

    TNDataSet* contacts = m_book.GetDataSet(dkContacts);
    {
        TOpenStateScope contactsOpen(contacts);
        std::vector<TNFieldDef> defs = TNClientDataSet::FieldDefsOf(*contacts);
        std::vector<const TNField*> fields;
        for (const TNFieldDef& def : defs)
            fields.push_back(contacts->FieldByName(def.Name));
        if (const TNField* carrier = contacts->FindField(QString::fromLatin1(CarrierNameField))) {
            defs.push_back({carrier->FieldName(), TFieldKind::fkString, 50, false});
            fields.push_back(carrier);
        }
        std::vector<std::vector<QVariant>> rows(size_t(contacts->RecordCount()));
        for (int row = 0; row < contacts->RecordCount(); ++row) {
            std::vector<QVariant>& values = rows[size_t(row)];
            values.reserve(fields.size());
            for (const TNField* field : fields)
                values.push_back(contacts->RowValue(row, field));
        }
        m_nonMembers.SetFieldDefs(defs);
        for (TNFieldDef& def : defs)
            if (def.Name.compare(kID, Qt::CaseInsensitive) == 0) {
                def.Kind = TFieldKind::fkInteger;
                def.ReadOnly = false;
            }
        m_members.SetFieldDefs(std::move(defs));
        m_nonMembers.SetIndexFieldNames(kName);
        m_nonMembers.LoadData(std::move(rows));
    }
    const TNField* idField = m_nonMembers.FieldByName(kID);
    m_contactRows.reserve(m_nonMembers.RecordCount());
    for (int row = 0; row < m_nonMembers.RecordCount(); ++row)
        m_contactRows.insert(m_nonMembers.RowValue(row, idField).toInt(), m_nonMembers.RowBookmark(row));

    // The members in the order of their assignment rows; the list is ordered
    // by name once, when it is loaded.
    std::vector<std::vector<QVariant>> memberRows;
    TNDataSet* assigns = m_book.GetDataSet(dkGroupAssigns);
    {
        TOpenStateScope assignsOpen(assigns);
        const TNField* groupField = assigns->FieldByName(QStringLiteral("GroupID"));
        const TNField* contactField = assigns->FieldByName(QStringLiteral("ContactID"));
        for (int row = 0; row < assigns->RecordCount(); ++row) {
            if (assigns->RowValue(row, groupField).toInt() != groupID)
                continue;
            const qint32 contactID = assigns->RowValue(row, contactField).toInt();
            const auto it = m_contactRows.constFind(contactID);
            if (it == m_contactRows.constEnd())
                continue;
            memberRows.push_back(NonMemberValues(*it));
            ++m_memberCount[contactID];
        }
    }
    m_members.SetIndexFieldNames(kName);
    m_members.LoadData(std::move(memberRows));

    RefreshNonMembers();
    m_nonMembers.SetFiltered(true);
    m_nonMembers.First();
    m_members.First();
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
