#include "ui/admin/typeeditors.h"

#include "data/dmlocaldata.h"
#include "db/dataset.h"
#include "platform/messagedlg.h"
#include "ui/admin/editorrows.h"
#include "ui/dbcontrols/dbedit.h"
#include "ui/dbcontrols/dbmemo.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

QString InvalidIntegerText(const QString& text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

namespace {
// The text as a whole number; false after the conversion error's warning.
bool WholeNumber(const QString& text, QWidget* control, int& value)
{
    bool ok = false;
    value = text.trimmed().toInt(&ok);
    if (!ok) {
        MessageDlg(InvalidIntegerText(text), TMsgDlgType::mtError, mbOK);
        control->setFocus();
    }
    return ok;
}
}  // namespace

// --- address-book types

TFormDatabaseTypeEditor::TFormDatabaseTypeEditor(QWidget* owner, int mode, TNListForm* listForm)
    : TFormBaseEditor(owner, mode, listForm)
{
    SetKindCaption(QStringLiteral("DatabaseType"));
    HideEmbedPanel();
    auto* form = new QFormLayout(pnlBaseInfo);
    dbedtName = AddBoundRow<TNDBEdit>(form, QStringLiteral("Name : "), QStringLiteral("dbedtName"),
                                      QStringLiteral("Name"), DataSource());
    dbedtTypeNo = AddBoundRow<TNDBEdit>(form, QStringLiteral("TypeNo : "), QStringLiteral("dbedtTypeNo"),
                                        QStringLiteral("TypeNo"), DataSource());
    m_initialName = dbedtName->text();
    m_initialTypeNo = dbedtTypeNo->text();
    ResizeToDesign(360);
    RestoreFormSettings();
}

bool TFormDatabaseTypeEditor::IsModified()
{
    return dbedtName->text() != m_initialName || dbedtTypeNo->text() != m_initialTypeNo;
}

bool TFormDatabaseTypeEditor::ValidateInput()
{
    if (!IsModified() || !DModLocalData)
        return true;
    const QString name = dbedtName->text();
    if (name != m_initialName && DModLocalData->DatabaseTypeNameExists(name)) {
        Warn(QStringLiteral("There already is DatabaseType named: \"%1\". Please enter a different name.").arg(name),
             dbedtName);
        PutBack(dbedtName, QStringLiteral("Name"), m_initialName);
        return false;
    }
    const QString typeText = dbedtTypeNo->text();
    if (typeText != m_initialTypeNo) {
        int typeNo = 0;
        if (!WholeNumber(typeText, dbedtTypeNo, typeNo))
            return false;
        if (DModLocalData->DatabaseTypeNoExists(typeNo)) {
            Warn(QStringLiteral("There already is DatabaseType with TypeNo=\"%1\". Please enter a different TypeNo.")
                     .arg(typeText),
                 dbedtTypeNo);
            PutBack(dbedtTypeNo, QStringLiteral("TypeNo"), m_initialTypeNo);
            return false;
        }
    }
    return true;
}

void TFormDatabaseTypeEditor::AcceptChanges()
{
    if (ValidateInput())
        accept();
}

QWidget* TFormDatabaseTypeEditor::FirstControl() const
{
    return dbedtName;
}

// --- carrier types

TFormCarrierTypesEditorNew::TFormCarrierTypesEditorNew(QWidget* owner, int mode, TNListForm* listForm)
    : TFormBaseEditor(owner, mode, listForm)
{
    SetKindCaption(QStringLiteral("CarrierType"));
    HideEmbedPanel();
    auto* form = new QFormLayout(pnlBaseInfo);
    edtName = new QLineEdit(pnlBaseInfo);
    edtName->setObjectName(QStringLiteral("edtName"));
    updTypeNo = new QSpinBox(pnlBaseInfo);
    updTypeNo->setObjectName(QStringLiteral("updTypeNo"));
    updTypeNo->setRange(0, 100);
    updTypeNo->setSingleStep(1);
    form->addRow(QStringLiteral("Name : "), edtName);
    form->addRow(QStringLiteral("TypeNo : "), updTypeNo);
    edtName->setText(RowText("Name"));
    updTypeNo->setValue(RowText("TypeNo").toInt());  // 0 when empty or no number
    ResizeToDesign(360);
    RestoreFormSettings();
}

QString TFormCarrierTypesEditorNew::RowText(const char* field) const
{
    TNDataSet* row = RowDataSet();
    return row && row->Active() ? row->FieldByName(QString::fromLatin1(field))->AsString() : QString();
}

bool TFormCarrierTypesEditorNew::ValueExists(const char* field, const QVariant& value) const
{
    TNDataSet* row = RowDataSet();
    return row && row->Active() &&
           !IsNullValue(row->Lookup(QString::fromLatin1(field), value, QString::fromLatin1(field)));
}

bool TFormCarrierTypesEditorNew::IsModified()
{
    return edtName->text() != RowText("Name") || updTypeNo->text() != RowText("TypeNo");
}

bool TFormCarrierTypesEditorNew::ValidateInput()
{
    if (!IsModified())
        return true;
    const QString name = edtName->text();
    if (name != RowText("Name") && ValueExists("Name", name)) {
        Warn(QStringLiteral("There already is CarrierType named: \"%1\". Please enter a different name.").arg(name),
             edtName);
        return false;
    }
    const QString typeText = updTypeNo->text();
    if (typeText != RowText("TypeNo")) {
        int typeNo = 0;
        if (!WholeNumber(typeText, updTypeNo, typeNo))
            return false;
        if (ValueExists("TypeNo", typeNo)) {
            Warn(QStringLiteral("There already is CarrierType with TypeNo=\"%1\". Please enter a different TypeNo.")
                     .arg(typeText),
                 updTypeNo);
            return false;
        }
    }
    return true;
}

void TFormCarrierTypesEditorNew::AcceptChanges()
{
    if (!ValidateInput())
        return;
    // The copies go to the row; the list window posts it.
    EditRow();
    RowDataSet()->FieldByName(QStringLiteral("Name"))->SetAsString(edtName->text());
    RowDataSet()->FieldByName(QStringLiteral("TypeNo"))->SetAsInteger(updTypeNo->value());
    accept();
}

QWidget* TFormCarrierTypesEditorNew::FirstControl() const
{
    return edtName;
}

// --- templates

TFormTemplateEditor::TFormTemplateEditor(QWidget* owner, int mode, TNListForm* listForm)
    : TFormBaseEditor(owner, mode, listForm)
{
    SetKindCaption(QStringLiteral("Template"));
    HideEmbedPanel();
    auto* form = new QFormLayout(pnlBaseInfo);
    dbedtName = AddBoundRow<TNDBEdit>(form, QStringLiteral("&Template : "), QStringLiteral("dbedtName"),
                                      QStringLiteral("Name"), DataSource());
    dbmemContent = AddBoundRow<TNDBMemo>(form, QStringLiteral("T&ext : "), QStringLiteral("dbmemContent"),
                                         QStringLiteral("Content"), DataSource());
    dbmemContent->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    dbmemContent->document()->setModified(false);
    ResizeToDesign(460);
    resize(width(), height() + 120);
    RestoreFormSettings();
}

bool TFormTemplateEditor::IsModified()
{
    return dbedtName->isModified() || dbmemContent->document()->isModified();
}

bool TFormTemplateEditor::ValidateInput()
{
    if (dbedtName->text().trimmed().isEmpty()) {
        Warn(QStringLiteral("Error: Name field can't be empty !"), dbedtName);
        return false;
    }
    if (dbmemContent->toPlainText().trimmed().isEmpty()) {
        Warn(QStringLiteral("Error: Template Message Text field can't be empty !"), dbmemContent);
        return false;
    }
    return true;
}

void TFormTemplateEditor::AcceptChanges()
{
    if (ValidateInput())
        accept();
}

QWidget* TFormTemplateEditor::FirstControl() const
{
    return dbedtName;
}
