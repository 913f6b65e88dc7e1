#include "data/basedataclient.h"
#include "data/datasetstate.h"
#include "ui/admin/clientdatasetops.h"
#include "ui/admin/editorrows.h"
#include "ui/admin/recordeditors.h"
#include "ui/dbcontrols/dblookupcombo.h"
#include "ui/dbcontrols/dbmemo.h"
#include "ui/plugins/editorregistry.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

int KeyOf(const TNDBLookupComboBox* box)
{
    const QVariant key = box->KeyValue();
    return key.isValid() ? key.toInt() : -1;
}
}  // namespace

TFormCarrierEditorNew::TFormCarrierEditorNew(QWidget* owner, int mode, TNListForm* listForm)
    : TFormBaseEditor(owner, mode, listForm)
{
    SetKindCaption(QStringLiteral("Carrier"));
    auto* form = new QFormLayout(pnlBaseInfo);
    edtCarrierName = new QLineEdit(pnlBaseInfo);
    edtCarrierName->setObjectName(QStringLiteral("edtCarrierName"));
    auto* nameLabel = new QLabel(QStringLiteral("Carrier &Name : "), pnlBaseInfo);
    nameLabel->setBuddy(edtCarrierName);
    form->addRow(nameLabel, edtCarrierName);
    dblcbCarrierType =
        AddBoundRow<TNDBLookupComboBox>(form, QStringLiteral("Carrier &Type : "), QStringLiteral("dblcbCarrierType"),
                                        QStringLiteral("TypeNo"), DataSource());
    dblcbServers = AddBoundRow<TNDBLookupComboBox>(form, QStringLiteral("&Server : "), QStringLiteral("dblcbServers"),
                                                   QStringLiteral("ServerID"), DataSource());
    dbmemCsvData = new TNDBMemo(pnlBaseInfo);
    dbmemCsvData->setObjectName(QStringLiteral("dbmemCsvData"));
    dbmemCsvData->SetDataSource(DataSource());
    dbmemCsvData->SetDataField(QStringLiteral("Data"));
    dbmemCsvData->hide();

    TNDataSet* row = RowDataSet();
    if (row)
        edtCarrierName->setText(row->FieldByName(QStringLiteral("Name"))->AsString());
    TBaseDataClient* book = DataClient();
    if (book && !BookKeepsServers(book)) {
        // A shared book keeps no servers: its contacts are paged through the
        // paging server that keeps the book, whatever the carrier's ServerID.
        form->setRowVisible(dblcbServers, false);
        auto* bookServer = new QLabel(
            QStringLiteral("the paging server that keeps the address book \"%1\"").arg(book->Name()), pnlBaseInfo);
        bookServer->setObjectName(QStringLiteral("lblBookServer"));
        form->addRow(QStringLiteral("Server : "), bookServer);
    }
    if (book) {
        if (BookKeepsServers(book)) {
            m_servers = book->GetDataSet(dkServers);
            SaveDataSetState(m_servers, true);
            dblcbServers->SetListSource(book->GetDataSource(dkServers));
            dblcbServers->SetKeyField(QStringLiteral("ID"));
            dblcbServers->SetListField(QStringLiteral("Name"));
        }
        m_carrierTypes = book->GetDataSet(dkCarrierTypes);
        m_carrierTypesWereOpen = m_carrierTypes->Active();
        m_carrierTypesBookmark = m_carrierTypesWereOpen ? m_carrierTypes->GetBookmark() : 0;
        m_carrierTypes->Open();
        dblcbCarrierType->SetListSource(book->GetDataSource(dkCarrierTypes));
        dblcbCarrierType->SetKeyField(QStringLiteral("TypeNo"));
        dblcbCarrierType->SetListField(QStringLiteral("Name"));
        if (Mode() == emNew) {
            if (m_servers)
                m_servers->First();
            m_carrierTypes->First();
        }
    }
    connect(dblcbCarrierType, &QComboBox::activated, this, [this] { CarrierTypeChosen(); });

    ResizeToDesign(460);
    RestoreFormSettings();

    if (row && row->State() == TDataSetState::dsInsert && m_carrierTypes) {
        // A new carrier starts with the first carrier type and the first server.
        if (!m_carrierTypes->IsEmpty())
            SetRowType(m_carrierTypes->FieldByName(QStringLiteral("TypeNo"))->AsInteger());
        if (m_servers && !m_servers->IsEmpty())
            row->FieldByName(QStringLiteral("ServerID"))
                ->SetAsInteger(m_servers->FieldByName(QStringLiteral("ID"))->AsInteger());
    }
    m_selectedTypeNo = SelectedType();
    if (m_selectedTypeNo >= 0 && CreateEmbeddedEditor(quint8(m_selectedTypeNo))) {
        m_shownTypeNo = m_selectedTypeNo;
        const QString data = dbmemCsvData->toPlainText();
        if (!data.trimmed().isEmpty())
            LoadEmbeddedData(data);
    }
    m_selectedServerID = KeyOf(dblcbServers);
}

TFormCarrierEditorNew::~TFormCarrierEditorNew()
{
    try {
        if (m_carrierTypes) {
            if (m_carrierTypesWereOpen)
                m_carrierTypes->GotoBookmark(m_carrierTypesBookmark);
            m_carrierTypes->SetActive(m_carrierTypesWereOpen);
        }
        if (m_servers)
            RestoreDataSetState(m_servers);
    } catch (...) {
        // Nothing may leave a destructor; the datasets stay as they are.
    }
}

int TFormCarrierEditorNew::SelectedType() const
{
    const int chosen = KeyOf(dblcbCarrierType);
    if (chosen >= 0)
        return chosen;
    // A type the box does not list (a shared book whose carrier types were
    // never fetched): the row's own type still picks its settings editor.
    TNDataSet* row = RowDataSet();
    TNField* typeNo = row ? row->FieldByName(QStringLiteral("TypeNo")) : nullptr;
    return typeNo && !typeNo->IsNull() ? typeNo->AsInteger() : -1;
}

void TFormCarrierEditorNew::SetRowType(int typeNo)
{
    EditRow();
    RowDataSet()->FieldByName(QStringLiteral("TypeNo"))->SetAsInteger(typeNo);
}

void TFormCarrierEditorNew::CarrierTypeChosen()
{
    const int chosen = SelectedType();
    if (m_shownTypeNo >= 0)
        SetTypeData(quint8(m_shownTypeNo), GetEmbeddedData());
    m_selectedTypeNo = m_shownTypeNo;
    if (chosen < 0 || chosen == m_shownTypeNo)
        return;
    if (!CreateEmbeddedEditor(quint8(chosen))) {
        // The settings on screen belong to the shown type: the box and the
        // row go back to it, so they are never saved under another type.
        if (m_shownTypeNo >= 0)
            SetRowType(m_shownTypeNo);
        return;
    }
    m_shownTypeNo = chosen;
    const QString cached = GetTypeData(quint8(chosen));
    if (!cached.isEmpty())
        LoadEmbeddedData(cached);
}

const TEmbedEditorClass* TFormCarrierEditorNew::GetEmbeddedEditorClass(quint8 typeNo)
{
    return ClassOrWarn(
        GetCarrierEditorFormClass(typeNo),
        QStringLiteral("There is no Embedded Editor Form for the selected Type:  (TypeID= %1)").arg(typeNo));
}

bool TFormCarrierEditorNew::IsModified()
{
    TNDataSet* row = RowDataSet();
    const QString rowName = row ? row->FieldByName(QStringLiteral("Name"))->AsString() : QString();
    return SelectedType() != m_selectedTypeNo || KeyOf(dblcbServers) != m_selectedServerID ||
           edtCarrierName->text() != rowName || (EmbeddedEditor() && GetEmbeddedData() != dbmemCsvData->toPlainText());
}

bool TFormCarrierEditorNew::ValidateInput()
{
    return NameGiven(edtCarrierName, edtCarrierName->text()) && ValidateEmbeddedData();
}

void TFormCarrierEditorNew::AcceptChanges()
{
    if (!ValidateInput())
        return;
    if (IsModified()) {
        EditRow();
        if (EmbeddedEditor())
            dbmemCsvData->setPlainText(GetEmbeddedData());
        RowDataSet()->FieldByName(QStringLiteral("Name"))->SetAsString(edtCarrierName->text());
    }
    accept();
}

QWidget* TFormCarrierEditorNew::FirstControl() const
{
    return edtCarrierName;
}
