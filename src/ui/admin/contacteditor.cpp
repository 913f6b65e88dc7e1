#include "data/basedataclient.h"
#include "foundation/formsettings.h"
#include "platform/profilefile.h"
#include "ui/admin/editorrows.h"
#include "ui/admin/recordeditors.h"
#include "ui/dbcontrols/dbedit.h"
#include "ui/dbcontrols/dblookupcombo.h"
#include "ui/dbcontrols/dbmemo.h"
#include "ui/plugins/editorregistry.h"

#include <QFormLayout>
#include <QLabel>

namespace {
const QString kSection = QStringLiteral("TFormContactEditor");
const QString kLastCarrierID = QStringLiteral("LastCarrierID");

}  // namespace

TFormContactEditor::TFormContactEditor(QWidget* owner, int mode, TNListForm* listForm)
    : TFormBaseEditor(owner, mode, listForm)
{
    SetKindCaption(QStringLiteral("Contact"));
    auto* form = new QFormLayout(pnlBaseInfo);
    dbedtDisplayName = AddBoundRow<TNDBEdit>(form, QStringLiteral("Name to &display: "),
                                             QStringLiteral("dbedtDisplayName"), QStringLiteral("Name"), DataSource());
    dbedtFirstNAme = AddBoundRow<TNDBEdit>(form, QStringLiteral("&First Name : "), QStringLiteral("dbedtFirstNAme"),
                                           QStringLiteral("FirstName"), DataSource());
    dbedtLastName = AddBoundRow<TNDBEdit>(form, QStringLiteral("&Last Name : "), QStringLiteral("dbedtLastName"),
                                          QStringLiteral("LastName"), DataSource());
    dbedtCompany = AddBoundRow<TNDBEdit>(form, QStringLiteral("Co&mpany : "), QStringLiteral("dbedtCompany"),
                                         QStringLiteral("Company"), DataSource());
    dbedtPosition = AddBoundRow<TNDBEdit>(form, QStringLiteral("P&osition : "), QStringLiteral("dbedtPosition"),
                                          QStringLiteral("JobTitle"), DataSource());

    dblcbCarriers =
        AddBoundRow<TNDBLookupComboBox>(form, QStringLiteral("Carrie&r : "), QStringLiteral("dblcbCarriers"),
                                        QStringLiteral("CarrierID"), DataSource());
    dbmemCSVData = new TNDBMemo(pnlBaseInfo);
    dbmemCSVData->setObjectName(QStringLiteral("dbmemCSVData"));
    dbmemCSVData->SetDataSource(DataSource());
    dbmemCSVData->SetDataField(QStringLiteral("Data"));
    dbmemCSVData->hide();

    TNDataSet* carriers = DataClient() ? DataClient()->GetDataSet(dkCarriers) : nullptr;
    if (carriers) {
        carriers->Open();
        if (Mode() == emNew)
            carriers->First();
        dblcbCarriers->SetListSource(DataClient()->GetDataSource(dkCarriers));
        dblcbCarriers->SetKeyField(QStringLiteral("ID"));
        dblcbCarriers->SetListField(QStringLiteral("Name"));
    }
    connect(dblcbCarriers, &QComboBox::activated, this, [this] { CarrierChosen(); });

    ResizeToDesign(460);
    RestoreFormSettings();

    TNDataSet* row = RowDataSet();
    if (carriers && row && row->State() == TDataSetState::dsInsert) {
        // A new contact starts on the carrier used last, else the first one.
        const int last = FormSettingsIni ? FormSettingsIni->ReadInteger(kSection, kLastCarrierID, -1) : -1;
        if (!carriers->Locate(QStringLiteral("ID"), last))
            carriers->First();
        if (!carriers->IsEmpty())
            row->FieldByName(QStringLiteral("CarrierID"))
                ->SetAsInteger(carriers->FieldByName(QStringLiteral("ID"))->AsInteger());
    }
    m_selectedCarrierID = SelectedCarrier();
    ShowCarrier(m_selectedCarrierID);
    if (EmbeddedEditor()) {
        const QString data = dbmemCSVData->toPlainText();
        if (!data.trimmed().isEmpty())
            LoadEmbeddedData(data);
    }
}

TFormContactEditor::~TFormContactEditor()
{
    // A new contact's carrier is offered first next time, whatever the end.
    if (Mode() == emNew && FormSettingsIni) {
        try {
            FormSettingsIni->WriteInteger(kSection, kLastCarrierID,
                                          m_closingCarrierID >= 0 ? m_closingCarrierID : SelectedCarrier());
        } catch (const EProfileFileError& error) {
            ReportFormSettingsError(error);
        }
    }
}

void TFormContactEditor::done(int result)
{
    // Taken now: the list window cancels or posts the row before it frees
    // the editor.
    m_closingCarrierID = SelectedCarrier();
    TFormBaseEditor::done(result);
}

qint32 TFormContactEditor::SelectedCarrier() const
{
    const QVariant key = dblcbCarriers->KeyValue();
    return key.isValid() ? key.toInt() : -1;
}

bool TFormContactEditor::CarrierType(qint32 carrierID, quint8& typeNo) const
{
    return carrierID >= 0 && DataClient() && DataClient()->GetCarrierTypeNo(carrierID, typeNo);
}

void TFormContactEditor::ShowCarrier(qint32 carrierID)
{
    quint8 typeNo = 0;
    if (CarrierType(carrierID, typeNo))
        CreateEmbeddedEditor(typeNo);
    m_shownCarrierID = carrierID;
}

void TFormContactEditor::CarrierChosen()
{
    const qint32 chosen = SelectedCarrier();
    // What was typed for the previous carrier stays cached under its type.
    quint8 previousType = 0;
    m_selectedCarrierID = m_shownCarrierID;
    if (CarrierType(m_shownCarrierID, previousType))
        SetTypeData(previousType, GetEmbeddedData());
    quint8 typeNo = 0;
    if (chosen < 0 || chosen == m_shownCarrierID || !CarrierType(chosen, typeNo))
        return;
    // A type without an editor keeps the chosen carrier and the editor shown.
    CreateEmbeddedEditor(typeNo);
    m_shownCarrierID = chosen;
    const QString cached = GetTypeData(typeNo);
    if (!cached.isEmpty())
        LoadEmbeddedData(cached);
}

const TEmbedEditorClass* TFormContactEditor::GetEmbeddedEditorClass(quint8 typeNo)
{
    return ClassOrWarn(GetContactEditorFormClass(typeNo),
                       QStringLiteral("There is no Embedded Editor Form for the selected Type:  %1").arg(typeNo));
}

bool TFormContactEditor::IsModified()
{
    if (SelectedCarrier() != m_selectedCarrierID)
        return true;
    for (TNDBEdit* edit : {dbedtDisplayName, dbedtFirstNAme, dbedtLastName, dbedtCompany, dbedtPosition})
        if (edit->isModified())
            return true;
    return EmbeddedEditor() && GetEmbeddedData() != dbmemCSVData->toPlainText();
}

bool TFormContactEditor::ValidateInput()
{
    return NameGiven(dbedtDisplayName, dbedtDisplayName->text()) && ValidateEmbeddedData();
}

void TFormContactEditor::AcceptChanges()
{
    if (!ValidateInput())
        return;
    if (IsModified() && EmbeddedEditor()) {
        EditRow();
        dbmemCSVData->setPlainText(GetEmbeddedData());
    }
    accept();
}

QWidget* TFormContactEditor::FirstControl() const
{
    return dbedtDisplayName;
}
