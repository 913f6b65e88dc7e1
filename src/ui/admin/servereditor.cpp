#include "data/basedataclient.h"
#include "ui/admin/editorrows.h"
#include "ui/admin/pickonlycombo.h"
#include "ui/admin/recordeditors.h"
#include "ui/dbcontrols/dbedit.h"
#include "ui/dbcontrols/dbmemo.h"
#include "ui/plugins/editorregistry.h"

#include <QFormLayout>
#include <QLabel>

TFormServerEditor::TFormServerEditor(QWidget* owner, int mode, TNListForm* listForm)
    : TFormBaseEditor(owner, mode, listForm)
{
    if (mode == emEdit)
        setWindowTitle(QStringLiteral("  Edit Server Settings"));
    else if (mode == emNew)
        setWindowTitle(QStringLiteral("  New Server Settings"));
    auto* form = new QFormLayout(pnlBaseInfo);
    dbedtName = AddBoundRow<TNDBEdit>(form, QStringLiteral("Server &Name :"), QStringLiteral("dbedtName"),
                                      QStringLiteral("Name"), DataSource());
    cbConnectionType = new TNPickOnlyCombo(pnlBaseInfo);
    cbConnectionType->setObjectName(QStringLiteral("cbConnectionType"));
    cbConnectionType->SetArrowKeysChoose(true);
    auto* typeLabel = new QLabel(QStringLiteral("Connection &Type : "), pnlBaseInfo);
    typeLabel->setBuddy(cbConnectionType);
    form->addRow(typeLabel, cbConnectionType);
    dbmemCSVData = new TNDBMemo(pnlBaseInfo);
    dbmemCSVData->setObjectName(QStringLiteral("dbmemCSVData"));
    dbmemCSVData->SetDataSource(DataSource());
    dbmemCSVData->SetDataField(QStringLiteral("Data"));
    dbmemCSVData->hide();

    TNDataSet* row = RowDataSet();
    m_recordsWereOpen = row && row->Active();
    if (row)
        row->Open();
    m_initialName = dbedtName->text();

    // One item per registered server type, in the registry's order.
    TEmbedEditorRec rec;
    for (int i = 0; i < ServerEditorsList().GetCount(); ++i) {
        ServerEditorsList().GetItem(i, rec);
        cbConnectionType->addItem(rec.Name, int(rec.TypeID));
    }
    const int rowType = row ? row->FieldByName(QStringLiteral("TypeNo"))->AsInteger() : 0;
    const int index = cbConnectionType->findData(rowType);
    cbConnectionType->setCurrentIndex(index >= 0 ? index : 0);
    connect(cbConnectionType, &QComboBox::activated, this, [this] { ConnectionTypeChosen(); });

    ResizeToDesign(460);
    RestoreFormSettings();

    if (SelectedType() > 0)
        SetTypeData(quint8(SelectedType()), dbmemCSVData->toPlainText());
    TypeCloseUp();
}

TFormServerEditor::~TFormServerEditor()
{
    try {
        if (TNDataSet* row = RowDataSet(); row && !m_recordsWereOpen)
            row->Close();
    } catch (...) {
        // Nothing may leave a destructor.
    }
}

int TFormServerEditor::SelectedType() const
{
    return cbConnectionType->currentIndex() >= 0 ? cbConnectionType->currentData().toInt() : 0;
}

void TFormServerEditor::ConnectionTypeChosen()
{
    // The text of the type left is cached; the chosen type's comes back.
    if (m_selectedTypeNo > 0)
        SetTypeData(quint8(m_selectedTypeNo), GetEmbeddedData());
    TypeCloseUp();
}

void TFormServerEditor::TypeCloseUp()
{
    ShowTypeEditor(SelectedType(), m_selectedTypeNo);
}

const TEmbedEditorClass* TFormServerEditor::GetEmbeddedEditorClass(quint8 typeNo)
{
    return ClassOrWarn(
        GetServerEditorFormClass(typeNo),
        QStringLiteral("There is no Embedded Editor Form for the selected Type: (TypeNo= %1)").arg(typeNo));
}

bool TFormServerEditor::IsModified()
{
    return dbedtName->isModified() || (EmbeddedEditor() && GetEmbeddedData() != dbmemCSVData->toPlainText());
}

bool TFormServerEditor::ValidateInput()
{
    const QString name = dbedtName->text();
    if (!NameGiven(dbedtName, name))
        return false;
    if (name != m_initialName && DataClient() && DataClient()->ServerNameExists(name)) {
        Warn(QStringLiteral("There already is Tovix Server named: \"%1\". Please enter a different name.").arg(name),
             dbedtName);
        PutBack(dbedtName, QStringLiteral("Name"), m_initialName);
        return false;
    }
    return ValidateEmbeddedData();
}

void TFormServerEditor::AcceptChanges()
{
    if (!ValidateInput())
        return;
    if (IsModified()) {
        EditRow();
        if (SelectedType() > 0)
            RowDataSet()->FieldByName(QStringLiteral("TypeNo"))->SetAsInteger(SelectedType());
        if (EmbeddedEditor())
            dbmemCSVData->setPlainText(GetEmbeddedData());
    }
    accept();
}

QWidget* TFormServerEditor::FirstControl() const
{
    return dbedtName;
}
