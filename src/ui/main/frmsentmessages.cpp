#include "ui/main/frmsentmessages.h"

#include "data/dmlocaldata.h"
#include "data/outbox.h"
#include "db/datasetmodel.h"
#include "db/sqldataset.h"
#include "foundation/formsettings.h"
#include "foundation/images.h"
#include "foundation/yebcorner.h"
#include "messaging/messagetable.h"
#include "messaging/protocol.h"
#include "platform/messagedlg.h"
#include "platform/profilefile.h"
#include "ui/main/frmsentmessagescells.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

TFormSentMessages* FormSentMessages = nullptr;
bool SentMessagesOpen = false;

namespace {
const QString kPanelHeight = QStringLiteral("pnlMessageTextHeight");
constexpr int kDesignPanelHeight = 82;

struct TColumnDef {
    const char* Field;
    const char* Title;
    int Width;
    Qt::Alignment Alignment;
};
// The grid's columns in their order; the two result columns are computed
// from two fields of the row each.
const TColumnDef kColumns[TFormSentMessages::ColumnCount] = {
    {"Name", "Recipient", 90, Qt::AlignLeft | Qt::AlignVCenter},
    {"ReceiveConfirmed", "Dispatched", 40, Qt::AlignCenter},
    {"ReceiveTime", "Dispatch Time", 110, Qt::AlignLeft | Qt::AlignVCenter},
    {"SentResult", "Sent Result", 60, Qt::AlignCenter},
    {"SendTime", "Send Time", 110, Qt::AlignLeft | Qt::AlignVCenter},
    {"StatusOfMessage", "Status of Message", 30, Qt::AlignCenter},
    {"Message", "Message Text", 600, Qt::AlignLeft | Qt::AlignVCenter},
};

const char* const kQueryLines[] = {
    "select s.Name,  s.ReceiveConfirmed,",
    "s.ReceiveTime, s.SendConfirmed, s.SendTime, ",
    "s.ErrorStatus, s.IpAddress, s.PortNo,",
    "t.Message",
    "from SentMessages s, SentMessageTexts t",
    "where s.SentMessageTextID = t.ID",
    "order by ReceiveTime desc",
};

QString ColumnKey(int column)
{
    return QStringLiteral("Column%1Width").arg(column);
}
}  // namespace

TFormSentMessages::TFormSentMessages(QWidget* parent) : QWidget(parent, Qt::Window), TFormBase(this)
{
    setObjectName(QStringLiteral("FormSentMessages"));
    setWindowTitle(QStringLiteral("Sent Messages Report"));
    setProperty("HelpContext", 1062);
    if (DataModuleImages)
        setWindowIcon(DataModuleImages->imglToolBar.Icon(tbiSentMessages));
    BuildLayout();
    resize(DesignWidth, DesignHeight);
    BuildQuery();
    // Listed before the first read: a report applied while the rows are
    // read still refreshes them afterwards.
    SentMessagesHandle = m_window.Handle();
    SentMessagesOpen = true;
    Run([this] { OpenQuery(); });
    RestoreFormSettings();
}

TFormSentMessages::~TFormSentMessages()
{
    SentMessagesOpen = false;
    SentMessagesHandle = 0;
    if (FormSentMessages == this)
        FormSentMessages = nullptr;
    StoreFormSettings();
    // The view lets go of the model before the query goes.
    dbgMessages->setModel(nullptr);
}

void TFormSentMessages::BuildLayout()
{
    dbgMessages = new QTableView(this);
    dbgMessages->setObjectName(QStringLiteral("dbgMessages"));
    dbgMessages->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbgMessages->setSelectionMode(QAbstractItemView::SingleSelection);
    dbgMessages->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgMessages->setShowGrid(true);
    dbgMessages->setWordWrap(false);
    dbgMessages->verticalHeader()->setDefaultSectionSize(dbgMessages->fontMetrics().height() + 6);
    dbgMessages->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    dbgMessages->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    dbgMessages->horizontalHeader()->setStretchLastSection(false);

    pnlMessageText = new QWidget(this);
    pnlMessageText->setObjectName(QStringLiteral("pnlMessageText"));
    auto* panelLayout = new QVBoxLayout(pnlMessageText);
    panelLayout->setContentsMargins(5, 5, 5, 5);
    memMessageText = new QPlainTextEdit(pnlMessageText);
    memMessageText->setObjectName(QStringLiteral("memMessageText"));
    memMessageText->setReadOnly(true);
    panelLayout->addWidget(memMessageText);
    connect(memMessageText, &QPlainTextEdit::textChanged, this, &TFormSentMessages::MemoChanged);

    splMessages = new QSplitter(Qt::Vertical, this);
    splMessages->setObjectName(QStringLiteral("splMessages"));
    splMessages->setChildrenCollapsible(false);
    splMessages->addWidget(dbgMessages);
    splMessages->addWidget(pnlMessageText);
    splMessages->setStretchFactor(0, 1);
    splMessages->setStretchFactor(1, 0);
    splMessages->setSizes({DesignHeight - 52 - kDesignPanelHeight, kDesignPanelHeight});

    // The bottom strip: the labels, then the buttons at the right, clear of
    // the window's edges and of the size grip in the corner.
    auto* bottom = new QWidget(this);
    auto* row = new QHBoxLayout(bottom);
    const int gap = bottom->fontMetrics().height() / 2;
    row->setContentsMargins(gap, gap, TYebCorner::GripSize + gap / 2, gap);
    lblMessageLength = new QLabel(bottom);
    lblMessageLength->setObjectName(QStringLiteral("lblMessageLength"));
    lblErrorStatus = new QLabel(bottom);
    lblErrorStatus->setObjectName(QStringLiteral("lblErrorStatus"));
    btnDeleteAll = new QPushButton(QStringLiteral("&Delete All"), bottom);
    btnDeleteAll->setObjectName(QStringLiteral("btnDeleteAll"));
    btnDeleteAll->setToolTip(QStringLiteral("Remove All Messages from the Messages Table"));
    btnClose = new QPushButton(QStringLiteral("Close"), bottom);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    row->addWidget(lblMessageLength);
    row->addSpacing(2 * gap);
    row->addWidget(lblErrorStatus, 1);
    row->addWidget(btnDeleteAll);
    row->addWidget(btnClose);
    // The grip keeps itself in the strip's corner, outside the layout.
    new TYebCorner(bottom);
    connect(btnDeleteAll, &QPushButton::clicked, this, &TFormSentMessages::DeleteAll);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    // Esc closes the window whichever control has the focus.
    auto* closeKey = new QAction(this);
    closeKey->setShortcut(QKeySequence(Qt::Key_Escape));
    closeKey->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(closeKey);
    connect(closeKey, &QAction::triggered, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(splMessages, 1);
    layout->addWidget(bottom);
}

void TFormSentMessages::BuildQuery()
{
    qryMessages = std::make_unique<TNSqlQuery>();
    qryMessages->setObjectName(QStringLiteral("qryMessages"));
    if (DModLocalData)
        qryMessages->SetConnection(&DModLocalData->MainConnection());
    QStringList lines;
    for (const char* line : kQueryLines)
        lines << QString::fromLatin1(line);
    qryMessages->SetSQL(lines.join(QLatin1Char('\n')));

    qryMessages->DefineField(QStringLiteral("ReceiveConfirmed"))
        ->SetOnGetText([](const TNField&, const QVariant& value) { return DispatchedText(value); });
    qryMessages->DefineField(QStringLiteral("Message"))->SetOnGetText([](const TNField&, const QVariant& value) {
        return MessageLineText(value.toString());
    });
    qryMessages->AddCalculatedField(QStringLiteral("SentResult"), TFieldKind::fkString, [](const TNRecord& record) {
        return QVariant(
            SentResultText(record.Value(QStringLiteral("SendConfirmed")), record.Value(QStringLiteral("ErrorStatus"))));
    });
    qryMessages->AddCalculatedField(
        QStringLiteral("StatusOfMessage"), TFieldKind::fkString, [](const TNRecord& record) {
            return QVariant(StatusOfMessageText(record.Value(QStringLiteral("ErrorStatus")),
                                                record.Value(QStringLiteral("SendConfirmed"))));
        });
    QStringList names;
    for (const TColumnDef& column : kColumns) {
        TNField* field = qryMessages->FindField(QString::fromLatin1(column.Field));
        if (!field)
            field = qryMessages->DefineField(QString::fromLatin1(column.Field));
        field->SetDisplayLabel(QString::fromLatin1(column.Title));
        field->SetAlignment(column.Alignment);
        names << field->FieldName();
    }

    m_model = new TNDataSetModel(qryMessages.get(), this);
    m_model->SetColumns(names);
    dbgMessages->setModel(m_model);
    // The design widths are those of a narrow dialog font; a column is never
    // narrower than its title, and the time columns show a whole time stamp.
    const int sampleTime = dbgMessages->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 12;
    for (int i = 0; i < ColumnCount; ++i) {
        int width = std::max(kColumns[i].Width, dbgMessages->horizontalHeader()->sectionSizeHint(i));
        if (i == 2 || i == 4)
            width = std::max(width, sampleTime);
        dbgMessages->setColumnWidth(i, width);
    }
    connect(qryMessages.get(), &TNDataSet::CurrentRowChanged, this, &TFormSentMessages::RowChanged);
    connect(qryMessages.get(), &TNDataSet::AfterOpen, this, &TFormSentMessages::RowChanged);
    connect(qryMessages.get(), &TNDataSet::AfterClose, this, &TFormSentMessages::RowChanged);
    connect(dbgMessages->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && m_model->CurrentRow() != current.row())
                    m_model->SetCurrentRow(current.row());
            });
}

void TFormSentMessages::OpenQuery()
{
    qryMessages->Close();
    if (!DModLocalData)
        return;
    qryMessages->Open();
    if (qryMessages->RecordCount() > 0)
        dbgMessages->selectRow(m_model->CurrentRow() < 0 ? 0 : m_model->CurrentRow());
}

void TFormSentMessages::RefreshMessages()
{
    Run([this] { OpenQuery(); });
}

void TFormSentMessages::DeleteAll()
{
    if (!DModLocalData)
        return;
    Run([] { OutBox::ClearSentMessages(DModLocalData->MainConnection().Database()); });
    RefreshMessages();
}

void TFormSentMessages::RowChanged()
{
    if (!qryMessages->Active() || qryMessages->IsEmpty()) {
        memMessageText->clear();
        lblErrorStatus->clear();
        return;
    }
    const QString text = qryMessages->FieldByName(QStringLiteral("Message"))->AsString();
    if (memMessageText->toPlainText() != text)
        memMessageText->setPlainText(text);
    const bool confirmed = qryMessages->FieldByName(QStringLiteral("SendConfirmed"))->AsBoolean();
    lblErrorStatus->setText(
        confirmed ? ErrorStatusText(qryMessages->FieldByName(QStringLiteral("ErrorStatus"))->AsInteger()) : QString());
    const int row = m_model->CurrentRow();
    if (row >= 0 && dbgMessages->currentIndex().row() != row)
        dbgMessages->selectRow(row);
}

void TFormSentMessages::MemoChanged()
{
    lblMessageLength->setText(QStringLiteral("(%1 Chars)").arg(memMessageText->toPlainText().size()));
}

bool TFormSentMessages::Run(const std::function<void()>& step)
{
    try {
        step();
        return true;
    } catch (const std::exception& e) {
        MessageDlg(QString::fromLocal8Bit(e.what()), TMsgDlgType::mtError, mbOK);
        return false;
    }
}

void TFormSentMessages::customEvent(QEvent* event)
{
    const TNMessageEvent* message = TNMessageEvent::From(event);
    if (message && message->Msg == WM_REFRESH_SENT_MESSAGES) {
        SentMessagesRefreshTaken();
        RefreshMessages();
        return;
    }
    QWidget::customEvent(event);
}

void TFormSentMessages::LoadFormSettings(QString& section)
{
    TFormBase::LoadFormSettings(section);
    if (!FormSettingsIni)
        return;
    for (int i = 0; i < ColumnCount; ++i)
        dbgMessages->setColumnWidth(i,
                                    FormSettingsIni->ReadInteger(section, ColumnKey(i), dbgMessages->columnWidth(i)));
    const QList<int> sizes = splMessages->sizes();
    const int height = FormSettingsIni->ReadInteger(section, kPanelHeight, sizes.value(1, kDesignPanelHeight));
    splMessages->setSizes({std::max(0, sizes.value(0) + sizes.value(1) - height), height});
}

void TFormSentMessages::SaveFormSettings(QString& section)
{
    TFormBase::SaveFormSettings(section);
    if (!FormSettingsIni)
        return;
    for (int i = 0; i < ColumnCount; ++i)
        FormSettingsIni->WriteInteger(section, ColumnKey(i), dbgMessages->columnWidth(i));
    FormSettingsIni->WriteInteger(section, kPanelHeight, splMessages->sizes().value(1, kDesignPanelHeight));
}

void ShowSentMessages()
{
    if (SentMessagesOpen && FormSentMessages) {
        if (FormSentMessages->isMinimized())
            FormSentMessages->showNormal();
        FormSentMessages->show();
        FormSentMessages->raise();
        FormSentMessages->activateWindow();
        return;
    }
    auto* form = new TFormSentMessages();
    form->setAttribute(Qt::WA_DeleteOnClose);
    FormSentMessages = form;
    form->show();
}

void CloseSentMessages()
{
    delete FormSentMessages;
}
