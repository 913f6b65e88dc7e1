#include "data/dmlocaldata.h"
#include "db/dataset.h"
#include "platform/guid.h"
#include "ui/admin/editorrows.h"
#include "ui/admin/typeeditors.h"
#include "ui/dbcontrols/dbedit.h"
#include "ui/dbcontrols/dblookupcombo.h"
#include "ui/plugins/editorregistry.h"

#include <QFormLayout>

TFormDatabaseEditor::TFormDatabaseEditor(QWidget* owner, int mode, TNListForm* listForm)
    : TFormBaseEditor(owner, mode, listForm)
{
    if (mode == emEdit)
        setWindowTitle(QStringLiteral("  Edit Database"));
    else if (mode == emNew)
        setWindowTitle(QStringLiteral("  New Database"));
    auto* form = new QFormLayout(pnlBaseInfo);
    dbedtName = AddBoundRow<TNDBEdit>(form, QStringLiteral("&Name : "), QStringLiteral("dbedtName"),
                                      QStringLiteral("Name"), DataSource());
    // A new book may be of any registered type (shared books are made here
    // too); an existing book keeps the type its data was written for.
    dbcbTypeLookup =
        AddBoundRow<TNDBLookupComboBox>(form, mode == emNew ? QStringLiteral("T&ype : ") : QStringLiteral("Type : "),
                                        QStringLiteral("dbcbTypeLookup"), QStringLiteral("TypeNo"), DataSource());
    if (DModLocalData) {
        dbcbTypeLookup->SetListSource(DModLocalData->dsDatabaseTypes());
        dbcbTypeLookup->SetKeyField(QStringLiteral("TypeNo"));
        dbcbTypeLookup->SetListField(QStringLiteral("Name"));
    }
    if (mode == emNew) {
        // The settings typed for one type are kept while another is tried.
        connect(dbcbTypeLookup, &QComboBox::activated, this, [this] {
            if (EmbeddedEditor() && m_selectedTypeNo > 0)
                SetTypeData(quint8(m_selectedTypeNo), GetEmbeddedData());
            TypeCloseUp();
            UpdateOkAction();
        });
    } else {
        // It shows the type; the user cannot change it (the box stays
        // disabled whatever the row does: the stored settings belong to it).
        dbcbTypeLookup->SetReadOnly(true);
        dbcbTypeLookup->setFocusPolicy(Qt::NoFocus);
    }

    TNDataSet* row = RowDataSet();
    m_recordsWereOpen = row && row->Active();
    if (row) {
        row->Open();
        if (mode == emNew) {
            EditRow();
            row->FieldByName(QStringLiteral("TypeNo"))->SetAsInteger(1);
            row->FieldByName(QStringLiteral("OrderNo"))
                ->SetAsInteger(DModLocalData ? DModLocalData->GetMaxOrderNo() + 1 : 1);
            row->FieldByName(QStringLiteral("GUID"))->SetAsString(CreateGUIDText());
        }
    }
    m_initialName = dbedtName->text();
    ResizeToDesign(520);
    RestoreFormSettings();

    if (RowTypeNo() > 0)
        SetTypeData(quint8(RowTypeNo()), RowData());
    TypeCloseUp();
}

TFormDatabaseEditor::~TFormDatabaseEditor()
{
    try {
        if (TNDataSet* row = RowDataSet(); row && !m_recordsWereOpen)
            row->Close();
    } catch (...) {
        // Nothing may leave a destructor.
    }
}

qint32 TFormDatabaseEditor::RowTypeNo() const
{
    TNDataSet* row = RowDataSet();
    return row && row->Active() ? row->FieldByName(QStringLiteral("TypeNo"))->AsInteger() : 0;
}

QString TFormDatabaseEditor::RowData() const
{
    TNDataSet* row = RowDataSet();
    return row && row->Active() ? row->FieldByName(QStringLiteral("Data"))->AsString() : QString();
}

void TFormDatabaseEditor::TypeCloseUp()
{
    ShowTypeEditor(RowTypeNo(), m_selectedTypeNo);
}

const TEmbedEditorClass* TFormDatabaseEditor::GetEmbeddedEditorClass(quint8 typeNo)
{
    return ClassOrWarn(
        GetDatabaseEditorFormClass(typeNo),
        QStringLiteral("There is no Embedded Editor Form for the selected Type: (TypeNo= %1)").arg(typeNo));
}

bool TFormDatabaseEditor::IsModified()
{
    return RowTypeNo() != m_selectedTypeNo || dbedtName->isModified() ||
           (EmbeddedEditor() && GetEmbeddedData() != RowData());
}

bool TFormDatabaseEditor::ValidateInput()
{
    const QString name = dbedtName->text();
    if (!NameGiven(dbedtName, name))
        return false;
    if (name != m_initialName && DModLocalData && DModLocalData->DatabaseNameExists(name)) {
        Warn(QStringLiteral("There is Database already named: \"%1\". Please enter a different name.").arg(name),
             dbedtName);
        PutBack(dbedtName, QStringLiteral("Name"), m_initialName);
        return false;
    }
    return ValidateEmbeddedData();
}

void TFormDatabaseEditor::AcceptChanges()
{
    if (!ValidateInput())
        return;
    if (IsModified() && EmbeddedEditor()) {
        EditRow();
        RowDataSet()->FieldByName(QStringLiteral("Data"))->SetAsString(GetEmbeddedData());
    }
    accept();
}

QWidget* TFormDatabaseEditor::FirstControl() const
{
    return dbedtName;
}
