#include "ui/admin/formbaseeditor.h"

#include "data/basedataclient.h"
#include "db/dataset.h"
#include "db/datasource.h"
#include "foundation/yebcorner.h"
#include "platform/idleupdates.h"
#include "platform/messagedlg.h"
#include "ui/plugins/baseembededitor.h"
#include "ui/plugins/editorregistry.h"
#include "ui/plugins/embedtext.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// An accelerator (O&K, a field's label) runs as a shortcut before its key
// reaches a field; any other Alt+letter would type the bare letter into the
// focused field of the window, which the operator did not mean to type.
class TNStrayAltLetterFilter : public QObject {
public:
    explicit TNStrayAltLetterFilter(QWidget* window) : QObject(window), m_window(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<const QKeyEvent*>(event);
        const auto* widget = qobject_cast<const QWidget*>(watched);
        const Qt::KeyboardModifiers mods =
            key->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier);
        return widget && widget->window() == m_window && mods == Qt::AltModifier && !key->text().isEmpty() &&
               key->text().at(0).isPrint();
    }

private:
    QWidget* m_window;
};

}  // namespace

TFormBaseEditor::TFormBaseEditor(QWidget* owner, int mode, TNListForm* listForm) : QDialog(owner), TFormBase(this)
{
    m_mode = mode;
    // The design caption is "  Edit"; only a new row changes it.
    setWindowTitle(mode == emNew ? QStringLiteral("  New") : QStringLiteral("  Edit"));
    setModal(true);

    pnlBaseInfo = new QWidget(this);
    pnlBaseInfo->setObjectName(QStringLiteral("pnlBaseInfo"));
    pnlEmbedCustomEditor = new QWidget(this);
    pnlEmbedCustomEditor->setObjectName(QStringLiteral("pnlEmbedCustomEditor"));
    auto* embedLayout = new QVBoxLayout(pnlEmbedCustomEditor);
    embedLayout->setContentsMargins(0, 0, 0, 0);
    pnlButtons = new QWidget(this);
    pnlButtons->setObjectName(QStringLiteral("pnlButtons"));
    pnlButtons->setFixedHeight(ButtonsHeight);

    actOK = new QAction(QStringLiteral("O&K"), this);
    actOK->setObjectName(QStringLiteral("actOK"));
    actCancel = new QAction(QStringLiteral("&Cancel"), this);
    actCancel->setObjectName(QStringLiteral("actCancel"));
    btnOK = new QPushButton(actOK->text(), pnlButtons);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(actCancel->text(), pnlButtons);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOK, &QPushButton::clicked, actOK, &QAction::trigger);
    connect(btnCancel, &QPushButton::clicked, actCancel, &QAction::trigger);
    connect(actOK, &QAction::changed, btnOK, [this] { btnOK->setEnabled(actOK->isEnabled()); });
    connect(actOK, &QAction::triggered, this, [this] {
        if (actOK->isEnabled())
            AcceptChanges();
    });
    connect(actCancel, &QAction::triggered, this, &TFormBaseEditor::reject);

    auto* buttons = new QHBoxLayout(pnlButtons);
    buttons->setContentsMargins(8, 8, TYebCorner::GripSize + 8, 8);
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    new TYebCorner(pnlButtons);
    qApp->installEventFilter(new TNStrayAltLetterFilter(this));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pnlBaseInfo);
    layout->addWidget(pnlEmbedCustomEditor, 1);
    layout->addWidget(pnlButtons);

    SetListForm(listForm);
    OnIdle(this, [this] { UpdateOkAction(); });
}

TFormBaseEditor::~TFormBaseEditor()
{
    StoreFormSettings();
}

void TFormBaseEditor::SetListForm(TNListForm* listForm)
{
    m_listForm = listForm;
    if (listForm) {
        m_dataSource = listForm->ListDataSource();
        m_dataClient = listForm->ListDataClient();
    }
}

bool TFormBaseEditor::CreateEmbeddedEditor(quint8 typeNo)
{
    const TEmbedEditorClass* editorClass = GetEmbeddedEditorClass(typeNo);
    if (!editorClass)
        return false;
    setUpdatesEnabled(false);
    // A text waiting for the editor shown so far is not the new one's.
    m_dataPending = false;
    TFormBaseEmbedEditor* editor = editorClass->Create(nullptr);
    delete m_embeddedEditor;
    m_embeddedEditor = nullptr;
    // The panel's size as laid out now, against the new editor's own size.
    layout()->activate();
    const QSize designed = editor->sizeHint().expandedTo(editor->minimumSizeHint());
    const int dW = designed.width() - pnlEmbedCustomEditor->contentsRect().width();
    const int dH = designed.height() - pnlEmbedCustomEditor->contentsRect().height();
    // Grow to fit, shrink for a smaller one, but never below the design size:
    // a shrink that would go below it does not happen at all.
    QSize size = this->size();
    if (size.width() + dW >= minimumWidth())
        size.setWidth(size.width() + dW);
    if (size.height() + dH >= minimumHeight())
        size.setHeight(size.height() + dH);
    resize(size);
    editor->setParent(pnlEmbedCustomEditor);
    editor->setWindowFlags(Qt::Widget);
    editor->setContentsMargins(0, 0, 0, 0);
    pnlEmbedCustomEditor->layout()->addWidget(editor);
    editor->setVisible(true);
    m_embeddedEditor = editor;
    setUpdatesEnabled(true);
    return true;
}

QString TFormBaseEditor::GetEmbeddedData() const
{
    return m_embeddedEditor ? m_embeddedEditor->GetDataAsCSVString() : QString();
}

bool TFormBaseEditor::SetEmbeddedData(const QString& text)
{
    return m_embeddedEditor && m_embeddedEditor->PutDataAsCSVString(text);
}

QString TFormBaseEditor::GetTypeData(quint8 typeNo) const
{
    for (const auto& entry : m_typeData)
        if (entry.first == typeNo)
            return entry.second;
    return QString();
}

void TFormBaseEditor::SetTypeData(quint8 typeNo, const QString& text)
{
    for (auto& entry : m_typeData)
        if (entry.first == typeNo) {
            entry.second = text;
            return;
        }
    m_typeData.append({typeNo, text});
}

void TFormBaseEditor::UpdateOkAction()
{
    const bool modified = IsModified();
    if (actOK->isEnabled() != modified)
        actOK->setEnabled(modified);
}

void TFormBaseEditor::reject()
{
    CancelChanges();
    QDialog::reject();
}

void TFormBaseEditor::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        // Esc alone cancels; with Shift, Ctrl or Alt held it does nothing.
        if ((event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0)
            actCancel->trigger();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormBaseEditor::SetKindCaption(const QString& kind)
{
    if (m_mode == emEdit)
        setWindowTitle(QStringLiteral("  Edit ") + kind);
    else if (m_mode == emNew)
        setWindowTitle(QStringLiteral("  New ") + kind);
}

bool TFormBaseEditor::ValidateEmbeddedData()
{
    return !m_embeddedEditor || m_embeddedEditor->ValidateData();
}

void TFormBaseEditor::HideEmbedPanel()
{
    pnlEmbedCustomEditor->hide();
    static_cast<QVBoxLayout*>(layout())->setStretchFactor(pnlBaseInfo, 1);
}

TNDataSet* TFormBaseEditor::RowDataSet() const
{
    return m_dataSource ? m_dataSource->DataSet() : nullptr;
}

void TFormBaseEditor::EditRow()
{
    TNDataSet* ds = RowDataSet();
    if (ds && ds->State() == TDataSetState::dsBrowse)
        ds->Edit();
}

void TFormBaseEditor::ResizeToDesign(int width)
{
    const int height = pnlBaseInfo->sizeHint().height() + ButtonsHeight + (pnlEmbedCustomEditor->isHidden() ? 0 : 40);
    resize(width, height);
}

bool TFormBaseEditor::NameGiven(QWidget* edit, const QString& text)
{
    if (!text.isEmpty())
        return true;
    Warn(QStringLiteral("Error: Name field can't be empty !"), edit);
    return false;
}

void TFormBaseEditor::Warn(const QString& text, QWidget* control)
{
    MessageDlg(text, TMsgDlgType::mtWarning, mbOK);
    if (control)
        control->setFocus();
}

const TEmbedEditorClass* TFormBaseEditor::ClassOrWarn(const TEmbedEditorClass* editorClass, const QString& warning)
{
    if (!editorClass)
        Warn(warning);
    return editorClass;
}

void TFormBaseEditor::ShowTypeEditor(int typeNo, int& selectedTypeNo)
{
    if (typeNo <= 0 || typeNo > 255 || typeNo == selectedTypeNo)
        return;
    CreateEmbeddedEditor(quint8(typeNo));
    selectedTypeNo = typeNo;
    const QString cached = GetTypeData(quint8(typeNo));
    if (!cached.isEmpty())
        LoadEmbeddedData(cached);
}

void TFormBaseEditor::LoadEmbeddedData(const QString& text)
{
    if (!m_shown) {
        m_dataPending = true;
        m_pendingData = text;
        return;
    }
    m_dataPending = false;
    try {
        SetEmbeddedData(text);
    } catch (const EEmbedEditorError& error) {
        // Shown once the window is on screen, over it.
        QTimer::singleShot(0, this, [text = error.Message()] { MessageDlg(text, TMsgDlgType::mtError, mbOK); });
    }
}

void TFormBaseEditor::PutBack(QLineEdit* edit, const QString& fieldName, const QString& text)
{
    // The field holds what was typed: it goes back with the edit.
    EditRow();
    TNField* field = RowDataSet()->FieldByName(fieldName);
    if (text.isEmpty() && field->Kind() != TFieldKind::fkString && field->Kind() != TFieldKind::fkMemo)
        field->Clear();
    else
        field->SetAsString(text);
    edit->setText(text);
}

void TFormBaseEditor::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        m_shown = true;
        if (m_dataPending)
            LoadEmbeddedData(m_pendingData);
    }
    if (QWidget* first = FirstControl(); first && !event->spontaneous())
        first->setFocus();
}
