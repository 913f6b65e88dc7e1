#include "ui/admin/reconciledialog.h"

#include "db/fieldvalue.h"
#include "platform/messagedlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {
struct TChoice {
    TReconcileAction Action;
    const char* Caption;
};
constexpr TChoice Choices[] = {
    {TReconcileAction::raSkip, "&Skip"},     {TReconcileAction::raAbort, "&Abort"},
    {TReconcileAction::raMerge, "&Merge"},   {TReconcileAction::raCorrect, "C&orrect"},
    {TReconcileAction::raCancel, "&Cancel"}, {TReconcileAction::raRefresh, "&Refresh"},
};

QString KindText(TUpdateKind kind)
{
    switch (kind) {
        case TUpdateKind::ukInsert:
            return QStringLiteral("Inserted");
        case TUpdateKind::ukDelete:
            return QStringLiteral("Deleted");
        case TUpdateKind::ukModify:
            break;
    }
    return QStringLiteral("Modified");
}

QString Shown(const QVariant& value)
{
    return value.isNull() ? QStringLiteral("<null>") : value.toString();
}

bool IsIdField(const QString& name)
{
    return name.compare(QStringLiteral("ID"), Qt::CaseInsensitive) == 0;
}
}  // namespace

TFormReconcileError::TFormReconcileError(const TReconcileRequest& request, QWidget* parent)
    : QDialog(parent), m_request(request)
{
    setObjectName(QStringLiteral("FormReconcileError"));
    setWindowTitle(QStringLiteral("Update Error - %1").arg(request.Provider));
    auto* layout = new QVBoxLayout(this);
    auto* reason = new QLabel(QStringLiteral("%1 record of \"%2\" refused by the server: %3")
                                  .arg(KindText(request.Kind), request.BookName, request.ErrorText),
                              this);
    reason->setObjectName(QStringLiteral("lblError"));
    reason->setWordWrap(true);
    layout->addWidget(reason);
    if (request.Kind == TUpdateKind::ukModify && !request.HasServerRow) {
        // Merging into a row that is gone cannot keep the edit in place.
        auto* gone =
            new QLabel(QStringLiteral("Another user deleted this record. Merge or Correct adds your version as "
                                      "a new record; Cancel or Refresh removes it here too."),
                       this);
        gone->setObjectName(QStringLiteral("lblGone"));
        gone->setWordWrap(true);
        layout->addWidget(gone);
    }

    // The fields whose two values differ come first, in bold: they are the
    // conflict, and a row has more fields than the grid shows at once. A
    // deleted row has no values of its own.
    const bool deleted = request.Kind == TUpdateKind::ukDelete;
    auto differs = [&](const QString& name) {
        return deleted || !request.HasServerRow ||
               Shown(request.Local.value(name)) != Shown(request.ServerRow.value(name));
    };
    QStringList names = request.Local.keys();
    for (const QString& name : request.ServerRow.keys())
        if (!names.contains(name))
            names.append(name);
    QStringList fields;
    for (const QString& name : std::as_const(names))
        if (differs(name))
            fields.append(name);
    for (const QString& name : std::as_const(names))
        if (!differs(name))
            fields.append(name);
    m_grid = new QTableWidget(int(fields.size()), 3, this);
    m_grid->setObjectName(QStringLiteral("grdValues"));
    m_grid->setHorizontalHeaderLabels(
        {QStringLiteral("Field Name"), QStringLiteral("Modified Value"), QStringLiteral("Conflicting Value")});
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < fields.size(); ++row) {
        auto* name = new QTableWidgetItem(fields[row]);
        name->setFlags(Qt::ItemIsEnabled);
        if (differs(fields[row])) {
            QFont bold = name->font();
            bold.setBold(true);
            name->setFont(bold);
        }
        m_grid->setItem(row, 0, name);
        m_grid->setItem(
            row, 1,
            new QTableWidgetItem(deleted ? QStringLiteral("<deleted>") : Shown(request.Local.value(fields[row]))));
        auto* server = new QTableWidgetItem(request.HasServerRow ? Shown(request.ServerRow.value(fields[row]))
                                                                 : QStringLiteral("<deleted>"));
        server->setFlags(Qt::ItemIsEnabled);
        m_grid->setItem(row, 2, server);
    }
    m_grid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_grid->resizeColumnsToContents();
    layout->addWidget(m_grid, 1);

    auto* box = new QGroupBox(QStringLiteral("Reconcile Action"), this);
    auto* grid = new QGridLayout(box);
    m_actions = new QButtonGroup(this);
    for (int i = 0; i < int(std::size(Choices)); ++i) {
        auto* button = new QRadioButton(QString::fromLatin1(Choices[i].Caption), box);
        button->setObjectName(QStringLiteral("rb") + QString::fromLatin1(Choices[i].Caption).remove(u'&'));
        m_actions->addButton(button, int(Choices[i].Action));
        grid->addWidget(button, i / 3, i % 3);
    }
    m_actions->button(int(TReconcileAction::raSkip))->setChecked(true);
    layout->addWidget(box);
    connect(m_actions, &QButtonGroup::idToggled, this, [this] { UpdateEditing(); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TFormReconcileError::TryAccept);
    layout->addWidget(buttons);
    UpdateEditing();
    resize(fontMetrics().averageCharWidth() * 80, fontMetrics().height() * 30);
}

void TFormReconcileError::UpdateEditing()
{
    // Only Correct lets the operator change the local values.
    const bool editable = Action() == TReconcileAction::raCorrect && m_request.Kind != TUpdateKind::ukDelete;
    for (int row = 0; row < m_grid->rowCount(); ++row) {
        // The ID names the row on the server: it is not corrected.
        const bool cell = editable && !IsIdField(m_grid->item(row, 0)->text());
        QTableWidgetItem* item = m_grid->item(row, 1);
        item->setFlags(cell ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable : Qt::ItemIsEnabled);
    }
}

TReconcileAction TFormReconcileError::Action() const
{
    return TReconcileAction(m_actions->checkedId());
}

bool TFormReconcileError::ReadValue(const QString& name, const QString& text, QVariant* value, QString* fault) const
{
    const auto def = std::find_if(m_request.Fields.cbegin(), m_request.Fields.cend(),
                                  [&](const TNFieldDef& d) { return d.Name.compare(name, Qt::CaseInsensitive) == 0; });
    if (def == m_request.Fields.cend()) {
        *value = text;
        return true;
    }
    // "<null>", as shown, is no value; so is an emptied cell of a field
    // that holds no text.
    if (text == Shown(QVariant()) || (text.isEmpty() && !IsTextKind(def->Kind))) {
        *value = QVariant();
        return true;
    }
    bool ok = false;
    *value = ConvertToKind(def->Kind, text, &ok);
    if (!ok) {
        *fault = QStringLiteral("'%1' is not a valid value for field '%2'").arg(text, def->Name);
        return false;
    }
    if (def->Kind == TFieldKind::fkString && def->Size > 0 && text.size() > def->Size) {
        *fault = QStringLiteral("'%1' is longer than the %2 characters field '%3' can hold")
                     .arg(text)
                     .arg(def->Size)
                     .arg(def->Name);
        return false;
    }
    return true;
}

void TFormReconcileError::TryAccept()
{
    if (Action() == TReconcileAction::raCorrect && m_request.Kind != TUpdateKind::ukDelete) {
        for (int row = 0; row < m_grid->rowCount(); ++row) {
            const QString name = m_grid->item(row, 0)->text();
            const QString text = m_grid->item(row, 1)->text();
            QVariant value;
            QString fault;
            if (text == Shown(m_request.Local.value(name)) || ReadValue(name, text, &value, &fault))
                continue;
            MessageDlg(fault, TMsgDlgType::mtWarning, mbOK);
            m_grid->setCurrentCell(row, 1);
            m_grid->setFocus();
            return;
        }
    }
    accept();
}

QVariantMap TFormReconcileError::CorrectedValues() const
{
    QVariantMap values = m_request.Local;
    if (m_request.Kind == TUpdateKind::ukDelete)
        return values;
    for (int row = 0; row < m_grid->rowCount(); ++row) {
        const QString name = m_grid->item(row, 0)->text();
        const QString text = m_grid->item(row, 1)->text();
        QVariant value;
        QString fault;
        if (text != Shown(m_request.Local.value(name)) && !IsIdField(name) && ReadValue(name, text, &value, &fault))
            values.insert(name, value);
    }
    return values;
}

void InstallReconcileDialog()
{
    SetReconcileHandler([](const TReconcileRequest& request, QVariantMap* corrected) {
        TFormReconcileError dialog(request, QApplication::activeWindow());
        // Closing the dialog without OK leaves the row for a later apply.
        if (dialog.exec() != QDialog::Accepted)
            return TReconcileAction::raSkip;
        *corrected = dialog.CorrectedValues();
        return dialog.Action();
    });
}
