#include "db/dataset.h"

#include <QSet>
#include <algorithm>
#include <atomic>
#include <exception>

#include "db/dberror.h"
#include "db/filterexpr.h"
#include "db/sqlexec.h"

namespace {

const QChar KeySeparator(0x1f);

// The text by which the exact-match index knows a value of the kind; false
// when the value cannot be read as the kind.
bool KeyPart(TFieldKind kind, const QVariant& value, QString* out)
{
    bool ok = true;
    const QVariant v = ConvertToKind(kind, value, &ok);
    if (!ok)
        return false;
    if (IsNullValue(v)) {
        *out += QChar(0x1);
        return true;
    }
    switch (kind) {
        case TFieldKind::fkInteger:
        case TFieldKind::fkSmallInt:
        case TFieldKind::fkAutoInc:
        case TFieldKind::fkBoolean:
            *out += QString::number(v.toLongLong());
            break;
        case TFieldKind::fkFloat:
            *out += QString::number(v.toDouble(), 'g', 17);
            break;
        case TFieldKind::fkDateTime:
            *out += DateTimeToSqlText(v.toDateTime());
            break;
        default:
            *out += v.toString();
            break;
    }
    return true;
}

QStringList SplitNames(const QString& names)
{
    QStringList result;
    for (const QString& part : names.split(u';')) {
        const QString name = part.trimmed();
        if (!name.isEmpty())
            result << name;
    }
    return result;
}

QVariantList KeyList(int count, const QVariant& keyValues)
{
    if (keyValues.typeId() == QMetaType::QVariantList)
        return keyValues.toList();
    if (keyValues.typeId() == QMetaType::QStringList && count > 1) {
        QVariantList list;
        for (const QString& s : keyValues.toStringList())
            list << s;
        return list;
    }
    return QVariantList{keyValues};
}

// Text begins with Key, letters compared without regard to case (a quick
// path for ASCII, Unicode case folding for the rest).
bool StartsWithNoCase(const QString& text, const QString& key)
{
    const QChar* t = text.constData();
    const QChar* k = key.constData();
    for (qsizetype i = 0; i < key.size(); ++i) {
        char16_t a = t[i].unicode();
        char16_t b = k[i].unicode();
        if (a == b)
            continue;
        if (a < 128 && b < 128) {
            if (a >= u'A' && a <= u'Z')
                a = char16_t(a + 32);
            if (b >= u'A' && b <= u'Z')
                b = char16_t(b + 32);
            if (a != b)
                return false;
            continue;
        }
        return QStringView(text).mid(i).startsWith(QStringView(key).mid(i), Qt::CaseInsensitive);
    }
    return true;
}

// One key of a Locate with options, prepared once for the scan.
struct TLocateKey {
    const TNField* Field = nullptr;
    bool Text = false;
    bool Null = false;
    QString KeyText;
    QVariant Key;
};

// The text a value holds, without a copy when it holds one.
const QString& TextOf(const QVariant& value, QString& scratch)
{
    if (value.typeId() == QMetaType::QString)
        return *static_cast<const QString*>(value.constData());
    scratch = value.toString();
    return scratch;
}

bool LocateMatches(const TLocateKey& key, const QVariant& value, TLocateOptions options)
{
    if (key.Null)
        return IsNullValue(value);
    if (IsNullValue(value))
        return false;
    if (!key.Text)
        return CompareValues(key.Field->Kind(), value, key.Key) == 0;
    QString scratch;
    const QString& text = TextOf(value, scratch);
    const QString& k = key.KeyText;
    if (!(options & loCaseInsensitive))
        return (options & loPartialKey) ? text.startsWith(k) : text == k;
    if ((options & loPartialKey) ? text.size() < k.size() : text.size() != k.size())
        return false;
    return StartsWithNoCase(text, k);
}

}  // namespace

TNDataSet::TNDataSet(QObject* parent) : QObject(parent)
{
    FieldsChanged();
}

// Views learn of the end through QObject::destroyed; nothing is announced.
TNDataSet::~TNDataSet() = default;

void TNDataSet::Error(const QString& text) const
{
    const QString name = objectName();
    throw EDatabaseError(name.isEmpty() ? text : name + QStringLiteral(": ") + text);
}

void TNDataSet::CheckActive(const char* routine) const
{
    if (!Active())
        Error(QStringLiteral("%1: Cannot perform this operation on a closed dataset").arg(QLatin1String(routine)));
}

// --- fields

TNField* TNDataSet::FindField(const QString& name) const
{
    for (const auto& f : m_fields) {
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    }
    return nullptr;
}

TNField* TNDataSet::FieldByName(const QString& name) const
{
    TNField* f = FindField(name);
    if (!f)
        Error(QStringLiteral("Field '%1' not found").arg(name));
    return f;
}

int TNDataSet::FieldIndex(const TNField* field) const
{
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].get() == field)
            return int(i);
    }
    return -1;
}

QStringList TNDataSet::FieldNames() const
{
    QStringList names;
    for (const auto& f : m_fields)
        names << f->FieldName();
    return names;
}

TNField* TNDataSet::DefineField(const QString& name)
{
    if (TNField* existing = FindField(name)) {
        if (existing->FieldClass() != TFieldClass::fcData)
            Error(QStringLiteral("Field '%1' already exists").arg(name));
        return existing;
    }
    FieldsChanged();
    m_fields.push_back(std::make_unique<TNField>(this, name, TFieldClass::fcData));
    m_fields.back()->m_declared = true;
    m_fields.back()->m_readOnly = false;
    return m_fields.back().get();
}

TNField* TNDataSet::AddLookupField(const QString& name, const QString& keyFields, TNDataSet* lookupDataSet,
                                   const QString& lookupKeyFields, const QString& lookupResultField, int size)
{
    if (FindField(name))
        Error(QStringLiteral("Field '%1' already exists").arg(name));
    auto field = std::make_unique<TNField>(this, name, TFieldClass::fcLookup);
    field->m_lookupDataSet = lookupDataSet;
    field->m_keyFields = keyFields;
    field->m_lookupKeyFields = lookupKeyFields;
    field->m_lookupResultField = lookupResultField;
    field->m_size = size;
    field->m_kind = TFieldKind::fkString;
    if (lookupDataSet) {
        if (const TNField* result = lookupDataSet->FindField(lookupResultField)) {
            if (result->Kind() != TFieldKind::fkUnknown)
                field->m_kind = result->Kind();
        }
    }
    FieldsChanged();
    m_fields.push_back(std::move(field));
    return m_fields.back().get();
}

TNField* TNDataSet::AddCalculatedField(const QString& name, TFieldKind kind, TCalcFieldFunc calc, int size)
{
    if (FindField(name))
        Error(QStringLiteral("Field '%1' already exists").arg(name));
    auto field = std::make_unique<TNField>(this, name, TFieldClass::fcCalculated);
    field->m_kind = kind;
    field->m_size = size;
    field->m_calc = std::move(calc);
    FieldsChanged();
    m_fields.push_back(std::move(field));
    return m_fields.back().get();
}

QList<const TNField*> TNDataSet::FieldList(const QString& names) const
{
    QList<const TNField*> list;
    for (const QString& name : SplitNames(names))
        list << FieldByName(name);
    if (list.isEmpty())
        Error(QStringLiteral("No field names given"));
    return list;
}

// Gives every data field the column of its name; new columns get new fields,
// declared fields without a column are an error, fields of an earlier text
// without a column go. Data fields come first, in column order.
void TNDataSet::BindColumns(const std::vector<TNColumnInfo>& columns)
{
    // Checked before anything changes, so that a failed open keeps the fields.
    for (const auto& f : m_fields) {
        if (f->FieldClass() != TFieldClass::fcData || !f->m_declared)
            continue;
        const bool present = std::any_of(columns.begin(), columns.end(), [&](const TNColumnInfo& c) {
            return c.Name.compare(f->FieldName(), Qt::CaseInsensitive) == 0;
        });
        if (!present)
            Error(QStringLiteral("Field '%1' not found").arg(f->FieldName()));
    }
    for (const auto& f : m_fields) {
        if (f->FieldClass() == TFieldClass::fcData)
            f->m_slot = -1;
    }
    std::vector<std::unique_ptr<TNField>> ordered;
    for (size_t c = 0; c < columns.size(); ++c) {
        const TNColumnInfo& col = columns[c];
        auto it = std::find_if(m_fields.begin(), m_fields.end(), [&](const std::unique_ptr<TNField>& f) {
            return f && f->FieldClass() == TFieldClass::fcData && f->m_slot < 0 &&
                   f->FieldName().compare(col.Name, Qt::CaseInsensitive) == 0;
        });
        std::unique_ptr<TNField> field;
        if (it != m_fields.end()) {
            field = std::move(*it);
            m_fields.erase(it);
        } else {
            field = std::make_unique<TNField>(this, col.Name, TFieldClass::fcData);
        }
        field->m_slot = int(c);
        field->m_kind = col.Kind;
        field->m_size = col.Size;
        if (col.ReadOnly)
            field->m_readOnly = true;
        ordered.push_back(std::move(field));
    }
    for (auto& f : m_fields) {
        if (f->FieldClass() != TFieldClass::fcData)
            ordered.push_back(std::move(f));
        // Data fields left here held columns of an earlier text; they go.
    }
    m_fields = std::move(ordered);
    m_columnCount = columns.size();
    FieldsChanged();
}

// Lookup fields take the kind of the value they show; the index and filter
// refer to fields by name.
void TNDataSet::PrepareBinding()
{
    for (const auto& f : m_fields) {
        if (f->FieldClass() != TFieldClass::fcLookup || !f->m_lookupDataSet)
            continue;
        if (const TNField* result = f->m_lookupDataSet->FindField(f->m_lookupResultField)) {
            if (result->Kind() != TFieldKind::fkUnknown)
                f->m_kind = result->Kind();
            if (f->m_size == 0)
                f->m_size = result->Size();
        }
    }
    m_sortKeys = ParseIndexFieldNames(m_indexFieldNames);
    if (m_filterExpr)
        m_filterExpr->Bind(*this);
}

// --- open state

void TNDataSet::Open()
{
    if (Active())
        return;
    for (const auto& f : m_fields) {
        if (f->FieldClass() == TFieldClass::fcLookup && f->m_lookupDataSet && f->m_lookupDataSet != this)
            f->m_lookupDataSet->Open();
    }
    std::vector<std::unique_ptr<TNRow>> rows;
    const std::vector<TNColumnInfo> columns = LoadRows(rows);
    emit AboutToReset();
    try {
        BindColumns(columns);
        PrepareBinding();
    } catch (...) {
        StorageClosed();
        emit Reset();
        throw;
    }
    TakeRows(std::move(rows));
    if (!LoadedInIndexOrder() || m_sortCaseSensitive)
        SortRows();
    m_state = TDataSetState::dsBrowse;
    RebuildView();
    m_cursor = m_view.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_view.empty();
    emit Reset();
    emit AfterOpen();
    emit StateChanged();
    AnnounceRow();
    emit DataChanged();
}

void TNDataSet::Close()
{
    if (!Active())
        return;
    emit AboutToReset();
    m_buffer.clear();
    m_assigned.clear();
    m_modified = false;
    ClearRows();
    m_state = TDataSetState::dsInactive;
    StorageClosed();
    emit Reset();
    emit AfterClose();
    emit StateChanged();
    AnnounceRow();
    emit DataChanged();
}

void TNDataSet::SetActive(bool value)
{
    if (value)
        Open();
    else
        Close();
}

void TNDataSet::ClearRows()
{
    ReleaseHeldRow();
    m_view.clear();
    m_rows.clear();
    m_bySerial.clear();
    DropIndexes();
    m_cursor = -1;
    m_bof = true;
    m_eof = true;
}

void TNDataSet::TakeRows(std::vector<std::unique_ptr<TNRow>> rows)
{
    m_rows = std::move(rows);
    m_bySerial.clear();
    m_bySerial.reserve(qsizetype(m_rows.size()));
    for (const auto& row : m_rows) {
        if (row->Serial == 0)
            row->Serial = m_nextSerial++;
        m_bySerial.insert(row->Serial, row.get());
    }
}

void TNDataSet::Refresh()
{
    CheckActive("Refresh");
    CheckBrowseMode();
    const TBookmark current = GetBookmark();
    const int oldCursor = m_cursor;
    // Rows keep their bookmarks by their storage key.
    const auto keyText = [](const QVariant& key) {
        return key.typeId() == QMetaType::QString ? key.toString() : QString::number(key.toLongLong());
    };
    QHash<QString, TBookmark> serialOfKey;
    serialOfKey.reserve(qsizetype(m_rows.size()));
    for (const auto& row : m_rows) {
        if (!IsNullValue(row->Key))
            serialOfKey.insert(keyText(row->Key), row->Serial);
    }
    std::vector<std::unique_ptr<TNRow>> rows;
    const std::vector<TNColumnInfo> columns = LoadRows(rows);
    for (const auto& row : rows) {
        if (!IsNullValue(row->Key))
            row->Serial = serialOfKey.value(keyText(row->Key), 0);
    }
    emit AboutToReset();
    try {
        BindColumns(columns);
        PrepareBinding();
    } catch (...) {
        ClearRows();
        m_state = TDataSetState::dsInactive;
        StorageClosed();
        emit Reset();
        emit StateChanged();
        throw;
    }
    TakeRows(std::move(rows));
    if (!LoadedInIndexOrder() || m_sortCaseSensitive)
        SortRows();
    RebuildView();
    const TNRow* row = m_bySerial.value(current, nullptr);
    if (row && row->ViewIndex >= 0)
        m_cursor = row->ViewIndex;
    else
        m_cursor = m_view.empty() ? -1 : std::clamp(oldCursor, 0, int(m_view.size()) - 1);
    m_bof = m_view.empty();
    m_eof = m_view.empty();
    emit Reset();
    AnnounceRow();
    emit DataChanged();
}

// --- order, filter and view

std::vector<TNDataSet::TSortKey> TNDataSet::ParseIndexFieldNames(const QString& names) const
{
    std::vector<TSortKey> keys;
    for (QString name : SplitNames(names)) {
        bool descending = false;
        if (name.endsWith(QLatin1String(" desc"), Qt::CaseInsensitive)) {
            descending = true;
            name.chop(5);
        } else if (name.endsWith(QLatin1String(" asc"), Qt::CaseInsensitive)) {
            name.chop(4);
        }
        keys.push_back({FieldByName(name.trimmed()), descending});
    }
    return keys;
}

bool TNDataSet::RowLess(const TNRow* a, const TNRow* b) const
{
    for (const TSortKey& key : m_sortKeys) {
        const QVariant va = RecordValue(*a->Values, key.Field);
        const QVariant vb = RecordValue(*b->Values, key.Field);
        int c = m_sortCaseSensitive && IsTextKind(key.Field->Kind()) && !IsNullValue(va) && !IsNullValue(vb)
                    ? va.toString().compare(vb.toString(), Qt::CaseSensitive)
                    : CompareValues(key.Field->Kind(), va, vb);
        if (key.Descending)
            c = -c;
        if (c != 0)
            return c < 0;
    }
    if (OrderByKey())
        return CompareValues(TFieldKind::fkInteger, a->Key, b->Key) < 0;
    return false;
}

void TNDataSet::SortRows()
{
    if (m_sortKeys.empty() && !OrderByKey())
        return;
    std::stable_sort(
        m_rows.begin(), m_rows.end(),
        [this](const std::unique_ptr<TNRow>& a, const std::unique_ptr<TNRow>& b) { return RowLess(a.get(), b.get()); });
}

bool TNDataSet::RowVisible(const TNRow* row) const
{
    if (!m_filtered)
        return true;
    const TNRecord record(*this, *row->Values);
    if (m_filterExpr && !m_filterExpr->Matches(record, m_filterCaseInsensitive))
        return false;
    return !m_onFilter || m_onFilter(record);
}

void TNDataSet::RebuildView()
{
    ReleaseHeldRow();
    m_view.clear();
    m_view.reserve(m_rows.size());
    for (const auto& row : m_rows) {
        if (RowVisible(row.get())) {
            row->ViewIndex = int(m_view.size());
            m_view.push_back(row.get());
        } else {
            row->ViewIndex = -1;
        }
    }
    DropIndexes();
}

void TNDataSet::DropIndexes()
{
    m_keyIndexes.clear();
    m_intIndexes.clear();
}

void TNDataSet::FieldsChanged()
{
    static std::atomic<quint64> stamps{0};
    m_fieldsStamp = ++stamps;
}

void TNDataSet::Reindex(size_t from)
{
    for (size_t i = from; i < m_view.size(); ++i)
        m_view[i]->ViewIndex = int(i);
    DropIndexes();
}

void TNDataSet::SetIndexFieldNames(const QString& names)
{
    if (!Active()) {
        m_indexFieldNames = names;
        return;
    }
    CheckBrowseMode();
    std::vector<TSortKey> keys = ParseIndexFieldNames(names);
    TNRow* current = m_cursor >= 0 ? m_view[size_t(m_cursor)] : nullptr;
    emit AboutToReset();
    m_indexFieldNames = names;
    m_sortKeys = std::move(keys);
    SortRows();
    RebuildView();
    m_cursor = current ? current->ViewIndex : (m_view.empty() ? -1 : 0);
    emit Reset();
    AnnounceRow();
    emit DataChanged();
}

void TNDataSet::SetSortCaseSensitive(bool value)
{
    if (value == m_sortCaseSensitive)
        return;
    m_sortCaseSensitive = value;
    if (Active())
        SetIndexFieldNames(m_indexFieldNames);
}

void TNDataSet::ApplyFilter()
{
    if (!Active())
        return;
    CheckBrowseMode();
    TNRow* current = m_cursor >= 0 ? m_view[size_t(m_cursor)] : nullptr;
    emit AboutToReset();
    RebuildView();
    if (current && current->ViewIndex >= 0) {
        m_cursor = current->ViewIndex;
    } else {
        m_cursor = m_view.empty() ? -1 : 0;
        m_bof = true;
    }
    m_eof = m_view.empty();
    emit Reset();
    AnnounceRow();
    emit DataChanged();
}

void TNDataSet::SetFilter(const QString& text)
{
    std::unique_ptr<TNFilterExpr> expr;
    if (!text.trimmed().isEmpty()) {
        expr = std::make_unique<TNFilterExpr>(text);
        if (Active())
            expr->Bind(*this);
    }
    m_filterText = text;
    m_filterExpr = std::move(expr);
    if (m_filtered)
        ApplyFilter();
}

void TNDataSet::SetOnFilterRecord(TFilterRecordFunc filter)
{
    m_onFilter = std::move(filter);
    if (m_filtered)
        ApplyFilter();
}

void TNDataSet::SetFiltered(bool value)
{
    if (value == m_filtered)
        return;
    m_filtered = value;
    ApplyFilter();
}

void TNDataSet::SetFilterCaseInsensitive(bool value)
{
    if (value == m_filterCaseInsensitive)
        return;
    m_filterCaseInsensitive = value;
    if (m_filtered)
        ApplyFilter();
}

// --- cursor

void TNDataSet::AnnounceRow()
{
    if (m_disableCount == 0)
        emit CurrentRowChanged();
}

void TNDataSet::EnableControls()
{
    if (m_disableCount > 0 && --m_disableCount == 0)
        AnnounceRow();
}

void TNDataSet::SetCursor(int index)
{
    ReleaseHeldRow();
    const bool moved = index != m_cursor;
    m_cursor = index;
    if (moved)
        AnnounceRow();
}

void TNDataSet::First()
{
    CheckActive("First");
    CheckBrowseMode();
    SetCursor(m_view.empty() ? -1 : 0);
    m_bof = true;
    m_eof = m_view.empty();
}

void TNDataSet::Last()
{
    CheckActive("Last");
    CheckBrowseMode();
    SetCursor(int(m_view.size()) - 1);
    m_eof = true;
    m_bof = m_view.empty();
}

void TNDataSet::Next()
{
    MoveBy(1);
}

void TNDataSet::Prior()
{
    MoveBy(-1);
}

int TNDataSet::MoveBy(int distance)
{
    CheckActive("MoveBy");
    CheckBrowseMode();
    if (m_view.empty()) {
        m_bof = m_eof = true;
        return 0;
    }
    const int last = int(m_view.size()) - 1;
    const qint64 wanted = qint64(m_cursor) + distance;
    const int target = int(std::clamp<qint64>(wanted, 0, last));
    const int moved = target - m_cursor;
    if (distance > 0) {
        m_eof = wanted > last;
        if (moved != 0)
            m_bof = false;
    } else if (distance < 0) {
        m_bof = wanted < 0;
        if (moved != 0)
            m_eof = false;
    }
    SetCursor(target);
    return moved;
}

int TNDataSet::RecNo() const
{
    return m_cursor >= 0 ? m_cursor + 1 : 0;
}

void TNDataSet::SetRecNo(int recNo)
{
    CheckActive("SetRecNo");
    CheckBrowseMode();
    if (m_view.empty())
        return;
    SetCursor(std::clamp(recNo, 1, int(m_view.size())) - 1);
    m_bof = m_eof = false;
}

TBookmark TNDataSet::GetBookmark() const
{
    if (m_state == TDataSetState::dsInsert)
        return 0;
    if (m_heldSerial != 0 && m_bySerial.contains(m_heldSerial))
        return m_heldSerial;
    if (m_cursor < 0)
        return 0;
    return m_view[size_t(m_cursor)]->Serial;
}

bool TNDataSet::BookmarkValid(TBookmark bookmark) const
{
    const TNRow* row = m_bySerial.value(bookmark, nullptr);
    return row && row->ViewIndex >= 0;
}

bool TNDataSet::GotoBookmark(TBookmark bookmark)
{
    CheckActive("GotoBookmark");
    CheckBrowseMode();
    const TNRow* row = m_bySerial.value(bookmark, nullptr);
    if (!row || row->ViewIndex < 0)
        return false;
    SetCursor(row->ViewIndex);
    m_bof = m_eof = false;
    return true;
}

// --- search

const TNRow* TNDataSet::FindRowByKey(const QList<const TNField*>& fields, const QVariantList& keys) const
{
    if (keys.size() != fields.size())
        Error(QStringLiteral("%1 key values given for %2 key fields").arg(keys.size()).arg(fields.size()));
    // One integer key (an ID): an index on the number.
    if (fields.size() == 1 && IsIntegerKind(fields[0]->Kind()) && !IsNullValue(keys[0])) {
        bool ok = true;
        const QVariant key = ConvertToKind(fields[0]->Kind(), keys[0], &ok);
        if (!ok)
            return nullptr;
        auto it = m_intIndexes.find(fields[0]);
        if (it == m_intIndexes.end()) {
            QHash<qint64, const TNRow*> index;
            index.reserve(qsizetype(m_view.size()));
            for (const TNRow* row : m_view) {
                const QVariant v = RecordValue(*row->Values, fields[0]);
                if (!IsNullValue(v) && !index.contains(v.toLongLong()))
                    index.insert(v.toLongLong(), row);
            }
            it = m_intIndexes.insert(fields[0], index);
        }
        return it->value(key.toLongLong(), nullptr);
    }
    QString wanted;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            wanted += KeySeparator;
        if (!KeyPart(fields[i]->Kind(), keys[i], &wanted))
            return nullptr;
    }
    QString indexName;
    for (const TNField* f : fields)
        indexName += QString::number(quintptr(f)) + KeySeparator;
    auto it = m_keyIndexes.find(indexName);
    if (it == m_keyIndexes.end()) {
        QHash<QString, const TNRow*> index;
        index.reserve(qsizetype(m_view.size()));
        for (const TNRow* row : m_view) {
            QString text;
            bool ok = true;
            for (qsizetype i = 0; i < fields.size() && ok; ++i) {
                if (i > 0)
                    text += KeySeparator;
                ok = KeyPart(fields[i]->Kind(), RecordValue(*row->Values, fields[i]), &text);
            }
            if (ok && !index.contains(text))
                index.insert(text, row);
        }
        it = m_keyIndexes.insert(indexName, index);
    }
    return it->value(wanted, nullptr);
}

bool TNDataSet::Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options)
{
    CheckActive("Locate");
    CheckBrowseMode();
    const QList<const TNField*> fields = FieldList(keyFields);
    const QVariantList keys = KeyList(int(fields.size()), keyValues);
    if (options == 0) {
        const TNRow* row = FindRowByKey(fields, keys);
        if (!row)
            return false;
        SetCursor(row->ViewIndex);
        m_bof = m_eof = false;
        return true;
    }
    if (keys.size() != fields.size())
        Error(QStringLiteral("%1 key values given for %2 key fields").arg(keys.size()).arg(fields.size()));
    std::vector<TLocateKey> prepared(size_t(fields.size()));
    for (qsizetype i = 0; i < fields.size(); ++i) {
        TLocateKey& key = prepared[size_t(i)];
        key.Field = fields[i];
        key.Null = IsNullValue(keys[i]);
        key.Text = IsTextKind(fields[i]->Kind());
        if (key.Text) {
            key.KeyText = keys[i].toString();
        } else if (!key.Null) {
            bool ok = false;
            key.Key = ConvertToKind(fields[i]->Kind(), keys[i], &ok);
            if (!ok)
                return false;  // such a key matches no row
        }
    }
    for (size_t r = 0; r < m_view.size(); ++r) {
        const std::vector<QVariant>& values = *m_view[r]->Values;
        bool match = true;
        for (size_t i = 0; i < prepared.size() && match; ++i) {
            const TNField* f = prepared[i].Field;
            if (f->FieldClass() == TFieldClass::fcData && f->m_slot >= 0 && size_t(f->m_slot) < values.size())
                match = LocateMatches(prepared[i], values[size_t(f->m_slot)], options);
            else
                match = LocateMatches(prepared[i], RecordValue(values, f), options);
        }
        if (match) {
            SetCursor(int(r));
            m_bof = m_eof = false;
            return true;
        }
    }
    return false;
}

QVariant TNDataSet::Lookup(const QString& keyFields, const QVariant& keyValues, const QString& resultFields) const
{
    if (!Active())
        return QVariant();
    const QList<const TNField*> fields = FieldList(keyFields);
    const TNRow* row = FindRowByKey(fields, KeyList(int(fields.size()), keyValues));
    const QList<const TNField*> results = FieldList(resultFields);
    if (!row)
        return QVariant();
    if (results.size() == 1)
        return RecordValue(*row->Values, results.first());
    QVariantList values;
    for (const TNField* f : results)
        values << RecordValue(*row->Values, f);
    return values;
}

// --- values

const std::vector<QVariant>* TNDataSet::CurrentValues() const
{
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert)
        return &m_buffer;
    if (m_heldSerial != 0) {
        if (const TNRow* held = m_bySerial.value(m_heldSerial, nullptr))
            return held->Values.get();
    }
    if (m_cursor >= 0)
        return m_view[size_t(m_cursor)]->Values.get();
    return nullptr;
}

QVariant TNDataSet::CurrentValue(const TNField* field) const
{
    const std::vector<QVariant>* values = CurrentValues();
    return values ? RecordValue(*values, field) : QVariant();
}

QVariant TNDataSet::LookupValue(const std::vector<QVariant>& values, const TNField* field) const
{
    const TNDataSet* other = field->m_lookupDataSet;
    if (!other || !other->Active())
        return QVariant();
    // The fields a lookup reads, resolved once per change of either field list.
    TNField::TLookupCache& cache = field->m_lookupCache;
    if (cache.OwnStamp != m_fieldsStamp || cache.OtherStamp != other->m_fieldsStamp) {
        cache.KeyFields = FieldList(field->m_keyFields);
        cache.LookupKeyFields = other->FieldList(field->m_lookupKeyFields);
        cache.Result = other->FieldByName(field->m_lookupResultField);
        cache.OwnStamp = m_fieldsStamp;
        cache.OtherStamp = other->m_fieldsStamp;
    }
    QVariantList keys;
    keys.reserve(cache.KeyFields.size());
    for (const TNField* key : std::as_const(cache.KeyFields))
        keys << RecordValue(values, key);
    const TNRow* row = other->FindRowByKey(cache.LookupKeyFields, keys);
    if (!row)
        return QVariant();
    return other->RecordValue(*row->Values, cache.Result);
}

QVariant TNDataSet::RecordValue(const std::vector<QVariant>& values, const TNField* field) const
{
    switch (field->FieldClass()) {
        case TFieldClass::fcData:
            return field->m_slot >= 0 && size_t(field->m_slot) < values.size() ? values[size_t(field->m_slot)]
                                                                               : QVariant();
        case TFieldClass::fcLookup:
            return LookupValue(values, field);
        case TFieldClass::fcCalculated:
            return field->m_calc ? field->m_calc(TNRecord(*this, values)) : QVariant();
    }
    return QVariant();
}

QVariant TNDataSet::RowValue(int row, const TNField* field) const
{
    if (row < 0 || size_t(row) >= m_view.size())
        return QVariant();
    return RecordValue(*m_view[size_t(row)]->Values, field);
}

QString TNDataSet::RowText(int row, const TNField* field) const
{
    return field->TextOf(RowValue(row, field));
}

TBookmark TNDataSet::RowBookmark(int row) const
{
    if (row < 0 || size_t(row) >= m_view.size())
        return 0;
    return m_view[size_t(row)]->Serial;
}

int TNDataSet::RowOfBookmark(TBookmark bookmark) const
{
    const TNRow* row = m_bySerial.value(bookmark, nullptr);
    return row ? row->ViewIndex : -1;
}

// --- editing

void TNDataSet::SetState(TDataSetState state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit StateChanged();
}

void TNDataSet::SetFieldValue(TNField* field, const QVariant& value)
{
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert)
        Error(QStringLiteral("Dataset not in edit or insert mode"));
    if (field->FieldClass() != TFieldClass::fcData || field->ReadOnly() || field->m_slot < 0)
        Error(QStringLiteral("Field '%1' cannot be modified").arg(field->FieldName()));
    bool ok = true;
    QVariant v = ConvertToKind(field->Kind(), value, &ok);
    if (!ok)
        Error(QStringLiteral("'%1' is not a valid value for field '%2'").arg(value.toString(), field->FieldName()));
    if (field->Kind() == TFieldKind::fkString && field->Size() > 0 && v.toString().size() > field->Size())
        v = v.toString().left(field->Size());
    m_buffer[size_t(field->m_slot)] = v;
    m_assigned[size_t(field->m_slot)] = true;
    m_modified = true;
    if (m_disableCount == 0)
        emit FieldChanged(field);
}

void TNDataSet::StartInsert()
{
    CheckActive("Append");
    CheckBrowseMode();
    if (!StorageCanModify())
        Error(QStringLiteral("Cannot modify a read-only dataset"));
    ReleaseHeldRow();
    m_buffer.assign(m_columnCount, QVariant());
    m_assigned.assign(m_columnCount, false);
    m_modified = false;
    SetState(TDataSetState::dsInsert);
    if (m_onNewRecord) {
        try {
            m_onNewRecord(*this);
        } catch (...) {
            Cancel();
            throw;
        }
    }
    AnnounceRow();
}

void TNDataSet::Append()
{
    StartInsert();
}

void TNDataSet::Insert()
{
    StartInsert();
}

void TNDataSet::Edit()
{
    CheckActive("Edit");
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert)
        return;
    if (m_view.empty()) {
        Insert();
        return;
    }
    if (!StorageCanModify())
        Error(QStringLiteral("Cannot modify a read-only dataset"));
    ReleaseHeldRow();
    m_buffer = *m_view[size_t(m_cursor)]->Values;
    m_assigned.assign(m_columnCount, false);
    m_modified = false;
    SetState(TDataSetState::dsEdit);
}

void TNDataSet::CheckBrowseMode()
{
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert)
        return;
    if (m_modified)
        Post();
    else
        Cancel();
}

// Puts a row among the rows in index order and, when it passes the filter,
// among the visible rows, where it becomes the current row.
void TNDataSet::PlaceRow(std::unique_ptr<TNRow> row)
{
    TNRow* r = row.get();
    auto at = m_rows.end();
    if (!m_sortKeys.empty() || OrderByKey()) {
        at = std::upper_bound(m_rows.begin(), m_rows.end(), r,
                              [this](const TNRow* a, const std::unique_ptr<TNRow>& b) { return RowLess(a, b.get()); });
    }
    const size_t allPos = size_t(at - m_rows.begin());
    m_rows.insert(at, std::move(row));
    DropIndexes();
    if (!RowVisible(r)) {
        r->ViewIndex = -1;
        return;
    }
    size_t viewPos = 0;
    for (size_t i = allPos; i-- > 0;) {
        if (m_rows[i]->ViewIndex >= 0) {
            viewPos = size_t(m_rows[i]->ViewIndex) + 1;
            break;
        }
    }
    emit RowAboutToBeInserted(int(viewPos));
    m_view.insert(m_view.begin() + qsizetype(viewPos), r);
    Reindex(viewPos);
    emit RowInserted(int(viewPos));
    m_cursor = int(viewPos);
    m_bof = m_eof = false;
}

// Takes a row out of the rows and the visible rows; returns its former
// visible position (or -1).
size_t TNDataSet::TakeOutRow(TNRow* row, std::unique_ptr<TNRow>* owner)
{
    auto it =
        std::find_if(m_rows.begin(), m_rows.end(), [row](const std::unique_ptr<TNRow>& r) { return r.get() == row; });
    if (it != m_rows.end()) {
        *owner = std::move(*it);
        m_rows.erase(it);
    }
    DropIndexes();
    const int viewIndex = row->ViewIndex;
    if (viewIndex >= 0) {
        emit RowAboutToBeRemoved(viewIndex);
        m_view.erase(m_view.begin() + viewIndex);
        Reindex(size_t(viewIndex));
        row->ViewIndex = -1;
        emit RowRemoved(viewIndex);
    }
    return size_t(viewIndex);
}

void TNDataSet::Post()
{
    CheckActive("Post");
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert)
        Error(QStringLiteral("Dataset not in edit or insert mode"));
    if (m_beforePost)
        m_beforePost(*this);
    const int oldCursor = m_cursor;
    if (m_state == TDataSetState::dsInsert) {
        auto row = std::make_unique<TNRow>();
        row->Values = MakeRowValues(std::vector<QVariant>(m_columnCount));
        StoreInsert(*row, m_buffer, m_assigned);
        row->Serial = m_nextSerial++;
        m_bySerial.insert(row->Serial, row.get());
        m_buffer.clear();
        m_modified = false;
        m_state = TDataSetState::dsBrowse;
        TNRow* placed = row.get();
        PlaceRow(std::move(row));
        if (placed->ViewIndex < 0)
            m_heldSerial = placed->Serial;
    } else {
        TNRow* row = m_view[size_t(m_cursor)];
        if (std::find(m_assigned.begin(), m_assigned.end(), true) != m_assigned.end())
            StoreUpdate(*row, m_buffer, m_assigned);
        m_buffer.clear();
        m_modified = false;
        m_state = TDataSetState::dsBrowse;
        auto at = std::find_if(m_rows.begin(), m_rows.end(),
                               [row](const std::unique_ptr<TNRow>& r) { return r.get() == row; });
        const bool inOrder =
            (m_sortKeys.empty() && !OrderByKey()) || ((at == m_rows.begin() || !RowLess(row, (at - 1)->get())) &&
                                                      (at + 1 == m_rows.end() || !RowLess((at + 1)->get(), row)));
        if (inOrder && RowVisible(row)) {
            DropIndexes();
            emit RowUpdated(row->ViewIndex);
        } else {
            std::unique_ptr<TNRow> owner;
            TakeOutRow(row, &owner);
            PlaceRow(std::move(owner));
            if (row->ViewIndex < 0) {
                m_cursor = m_view.empty() ? -1 : std::min(oldCursor, int(m_view.size()) - 1);
                m_heldSerial = row->Serial;
            }
        }
    }
    emit StateChanged();
    AnnounceRow();
    emit AfterPost();
    emit DataChanged();
}

void TNDataSet::Cancel()
{
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert)
        return;
    m_buffer.clear();
    m_assigned.clear();
    m_modified = false;
    SetState(TDataSetState::dsBrowse);
    AnnounceRow();
    emit AfterCancel();
}

void TNDataSet::Delete()
{
    CheckActive("Delete");
    if (m_state == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    Cancel();
    ReleaseHeldRow();
    if (m_view.empty())
        Error(QStringLiteral("Cannot perform this operation on an empty dataset"));
    if (!StorageCanModify())
        Error(QStringLiteral("Cannot modify a read-only dataset"));
    TNRow* row = m_view[size_t(m_cursor)];
    StoreDelete(*row);
    const int index = m_cursor;
    m_bySerial.remove(row->Serial);
    std::unique_ptr<TNRow> owner;
    TakeOutRow(row, &owner);
    m_cursor = m_view.empty() ? -1 : std::min(index, int(m_view.size()) - 1);
    m_bof = m_eof = m_view.empty();
    AnnounceRow();
    emit AfterDelete();
    emit DataChanged();
}

int TNDataSet::DeleteBookmarks(const std::vector<TBookmark>& bookmarks)
{
    CheckActive("Delete");
    Cancel();
    ReleaseHeldRow();
    if (bookmarks.empty())
        return 0;
    if (!StorageCanModify())
        Error(QStringLiteral("Cannot modify a read-only dataset"));
    QSet<const TNRow*> gone;
    gone.reserve(qsizetype(bookmarks.size()));
    std::exception_ptr failure;
    try {
        for (TBookmark bookmark : bookmarks) {
            const TNRow* row = m_bySerial.value(bookmark, nullptr);
            if (!row || row->ViewIndex < 0 || gone.contains(row))
                continue;
            StoreDelete(*row);
            gone.insert(row);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (!gone.isEmpty()) {
        const TNRow* current = m_cursor >= 0 ? m_view[size_t(m_cursor)] : nullptr;
        const int oldCursor = m_cursor;
        emit AboutToReset();
        for (const TNRow* row : std::as_const(gone))
            m_bySerial.remove(row->Serial);
        if (gone.contains(current))
            current = nullptr;
        std::erase_if(m_rows, [&gone](const std::unique_ptr<TNRow>& row) { return gone.contains(row.get()); });
        RebuildView();
        if (current)
            m_cursor = current->ViewIndex;
        else
            m_cursor = m_view.empty() ? -1 : std::clamp(oldCursor, 0, int(m_view.size()) - 1);
        m_bof = m_eof = m_view.empty();
        emit Reset();
        AnnounceRow();
        emit AfterDelete();
        emit DataChanged();
    }
    if (failure)
        std::rethrow_exception(failure);
    return int(gone.size());
}

// --- helpers

TNDataSetPosition::TNDataSetPosition(TNDataSet& dataSet) : m_dataSet(dataSet)
{
    if (dataSet.Active()) {
        m_bookmark = dataSet.GetBookmark();
        m_recNo = dataSet.RecNo();
    }
}

TNDataSetPosition::~TNDataSetPosition()
{
    try {
        Restore();
    } catch (...) {
        // A failed post while going back leaves the cursor where it is.
    }
}

void TNDataSetPosition::Restore()
{
    if (!m_dataSet.Active())
        return;
    if (m_bookmark != 0 && m_dataSet.GotoBookmark(m_bookmark))
        return;
    if (m_recNo > 0 && !m_dataSet.IsEmpty())
        m_dataSet.SetRecNo(m_recNo);
}

TNDataSetScope::TNDataSetScope(TNDataSet& dataSet) : m_dataSet(dataSet), m_wasActive(dataSet.Active())
{
    dataSet.Open();
    m_position = std::make_unique<TNDataSetPosition>(dataSet);
}

TNDataSetScope::~TNDataSetScope()
{
    m_position.reset();
    if (!m_wasActive) {
        try {
            m_dataSet.Close();
        } catch (...) {
            // Closing only forgets rows; a handler's failure is not ours.
        }
    }
}
