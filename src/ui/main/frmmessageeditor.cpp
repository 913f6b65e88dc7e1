#include "ui/main/frmmessageeditor.h"

#include "data/basedataclient.h"
#include "data/recipients.h"
#include "data/regdataclients.h"
#include "foundation/dmoptions.h"
#include "foundation/formsettings.h"
#include "foundation/images.h"
#include "foundation/options.h"
#include "platform/closereport.h"
#include "platform/profilefile.h"
#include "ui/main/frmmessageeditortemplates.h"
#include "ui/main/frmmessageeditortext.h"

#include <QActionGroup>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {
const QString kSection = QStringLiteral("TFormMessageEditor");
const QString kCheckedKey = QStringLiteral("CheckedMenuIndex");
const char* const kGuidProperty = "clientGUID";
}  // namespace

void TNMessageMemo::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    if (event->key() == Qt::Key_A && mods == Qt::ControlModifier) {
        selectAll();
        event->accept();
        return;
    }
    const QString typed = event->text();
    const bool printable = !typed.isEmpty() && typed[0].unicode() >= 32 && typed[0].unicode() != 127;
    if (EntryInUpperCase && printable && !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
        const QString upper = UpperCaseEntryText(typed);
        if (upper != typed) {
            QKeyEvent changed(event->type(), event->key(), event->modifiers(), upper, event->isAutoRepeat(),
                              static_cast<ushort>(event->count()));
            QPlainTextEdit::keyPressEvent(&changed);
            event->setAccepted(changed.isAccepted());
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

TFormMessageEditor::TFormMessageEditor(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FormMessageEditor"));
    setProperty("HelpContext", 1019);

    // Top panel: caption, template chooser and address-book button.
    auto* top = new QWidget(this);
    top->setObjectName(QStringLiteral("pnlTop"));
    top->setProperty("HelpContext", 1038);
    lblMessage = new QLabel(QStringLiteral("&Message"), top);
    lblTemplate = new QLabel(QStringLiteral("Temp&late : "), top);
    cbexTemplateNames = new QComboBox(top);
    cbexTemplateNames->setObjectName(QStringLiteral("cbexTemplateNames"));
    cbexTemplateNames->setEditable(true);
    cbexTemplateNames->setInsertPolicy(QComboBox::NoInsert);
    cbexTemplateNames->setCompleter(nullptr);
    cbexTemplateNames->setMinimumWidth(180);
    cbexTemplateNames->setToolTip(QStringLiteral("Select Message Template from this drop-down box"));
    lblTemplate->setBuddy(cbexTemplateNames);
    btnSelectDatabase = new QToolButton(top);
    btnSelectDatabase->setObjectName(QStringLiteral("btnSelectDatabase"));
    btnSelectDatabase->setToolTip(QStringLiteral("Select Templates Database"));
    btnSelectDatabase->setProperty("HelpContext", 1039);
    mnuDatabases = new QMenu(this);
    mnuDatabases->setObjectName(QStringLiteral("mnuDatabases"));
    mnuDatabases->setProperty("HelpContext", 1039);
    auto* topLayout = new QHBoxLayout(top);
    topLayout->setContentsMargins(6, 4, 6, 4);
    topLayout->addWidget(lblMessage);
    topLayout->addStretch(1);
    topLayout->addWidget(lblTemplate);
    topLayout->addWidget(cbexTemplateNames);
    topLayout->addWidget(btnSelectDatabase);

    memMessageText = new TNMessageMemo(this);
    memMessageText->setObjectName(QStringLiteral("memMessageText"));
    memMessageText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // However the splitter above is dragged or stored, a few lines of the
    // message stay in view (in lines of the memo's font, whatever the scale).
    memMessageText->setMinimumHeight(MessageMinimumLines * memMessageText->fontMetrics().lineSpacing() +
                                     2 * memMessageText->frameWidth() +
                                     int(2 * memMessageText->document()->documentMargin()));
    lblMessage->setBuddy(memMessageText);

    // Bottom panel: the counters.
    auto* bottom = new QWidget(this);
    lblCharCountCaption = new QLabel(QStringLiteral("Characters : "), bottom);
    lblCharCount = new QLabel(bottom);
    lblCharCount->setObjectName(QStringLiteral("lblCharCount"));
    lblRemaining = new QLabel(bottom);
    lblRemaining->setObjectName(QStringLiteral("lblRemaining"));
    lblPrefixIndicator = new QLabel(QStringLiteral("(Name:)"), bottom);
    lblPrefixIndicator->setObjectName(QStringLiteral("lblPrefixIndicator"));
    auto* bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->setContentsMargins(6, 2, 6, 2);
    bottomLayout->addWidget(lblCharCountCaption);
    bottomLayout->addWidget(lblCharCount);
    bottomLayout->addWidget(lblRemaining);
    bottomLayout->addStretch(1);
    bottomLayout->addWidget(lblPrefixIndicator);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(top);
    layout->addWidget(memMessageText, 1);
    layout->addWidget(bottom);

    MakeEditActions();

    connect(memMessageText, &QPlainTextEdit::textChanged, this, [this] { MemoTextChanged(); });
    connect(cbexTemplateNames, &QComboBox::editTextChanged, this,
            [this](const QString& text) { TemplateTextChanged(text); });
    // Qt reports a choice in the drop-down list once the list has closed.
    connect(cbexTemplateNames, &QComboBox::activated, this, [this](int) { InsertSelectedTemplate(); });
    cbexTemplateNames->lineEdit()->installEventFilter(this);
    connect(btnSelectDatabase, &QToolButton::clicked, this,
            [this] { mnuDatabases->popup(btnSelectDatabase->mapToGlobal(QPoint(0, btnSelectDatabase->height()))); });

    btnSelectDatabase->setVisible(DataClients.Count() >= 2);
    UpdateMessageLength();
    UpdateCounters();
    LoadEditorOptions();
    OnMessageEditorOptionsChanged = [this] { UpdateCounters(); };
    OnProgramClose(this, [this] {
        if (m_shown)
            SaveCheckedDatabase();
    });
}

TFormMessageEditor::~TFormMessageEditor()
{
    OnMessageEditorOptionsChanged = nullptr;
    if (m_shown)
        SaveCheckedDatabase();
}

void TFormMessageEditor::MakeEditActions()
{
    auto make = [this](const QString& caption, const QKeySequence& key) {
        auto* action = new QAction(caption, this);
        action->setShortcut(key);
        action->setShortcutVisibleInContextMenu(true);
        return action;
    };
    actSelectAll = make(QStringLiteral("Select &All"), QKeySequence(Qt::CTRL | Qt::Key_A));
    actClearText = make(QStringLiteral("Clear Text"), QKeySequence(Qt::ALT | Qt::Key_T));
    actCut = make(QStringLiteral("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X));
    actCopy = make(QStringLiteral("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C));
    actPaste = make(QStringLiteral("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V));
    actUndo = make(QStringLiteral("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    // The memo handles these keys itself while it has the focus; Alt+T is
    // the send bar's "Clear &Text", which does the same. The actions only
    // carry the menu entries, so no key is claimed twice.
    // The standard edit actions act on the focused edit: the template
    // chooser's, else the memo.
    auto bind = [this](QAction* action, auto onLine, auto onMemo) {
        connect(action, &QAction::triggered, this, [this, onLine, onMemo] {
            if (auto* line = qobject_cast<QLineEdit*>(FocusedEdit()))
                (line->*onLine)();
            else
                (memMessageText->*onMemo)();
        });
    };
    bind(actSelectAll, &QLineEdit::selectAll, &QPlainTextEdit::selectAll);
    bind(actCut, &QLineEdit::cut, &QPlainTextEdit::cut);
    bind(actCopy, &QLineEdit::copy, &QPlainTextEdit::copy);
    bind(actPaste, &QLineEdit::paste, &QPlainTextEdit::paste);
    bind(actUndo, &QLineEdit::undo, &QPlainTextEdit::undo);
    connect(actClearText, &QAction::triggered, this, [this] { ClearText(); });

    mnuEditor = new QMenu(this);
    mnuEditor->setObjectName(QStringLiteral("mnuEditor"));
    mnuEditor->setProperty("HelpContext", 1037);
    mnuEditor->addAction(actCopy);
    mnuEditor->addAction(actPaste);
    mnuEditor->addSeparator();
    mnuEditor->addAction(actCut);
    mnuEditor->addAction(actClearText);
    mnuEditor->addSeparator();
    mnuEditor->addAction(actSelectAll);
    mnuEditor->addAction(actUndo);
    memMessageText->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(memMessageText, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { mnuEditor->popup(memMessageText->viewport()->mapToGlobal(pos)); });
    actClearText->setEnabled(false);
}

QWidget* TFormMessageEditor::FocusedEdit() const
{
    QWidget* focus = QApplication::focusWidget();
    if (focus == cbexTemplateNames->lineEdit())
        return focus;
    return memMessageText;
}

void TFormMessageEditor::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    BuildDatabasesMenu();
    RestoreCheckedDatabase();
}

int TFormMessageEditor::CalcMessageLength() const
{
    return CalcMessageLengthOf(memMessageText->toPlainText());
}

void TFormMessageEditor::UpdateMessageLength()
{
    m_messageLength = CalcMessageLength();
}

void TFormMessageEditor::UpdateCounters()
{
    TNCounterInput in;
    in.Length = CalcMessageLength();
    in.HaveRecipientList = RecipientList != nullptr;
    if (RecipientList) {
        in.RecipientCount = RecipientList->GetCount();
        in.MinMaxMessageLength = RecipientList->GetMinMaxMessageLength();
        in.MaxNameLength = RecipientList->GetMaxNameLength();
    }
    in.AddDisplayName = AddDisplayNameToMessage;
    in.FollowedBy = FollowedByChar;
    const TNCounterDisplay out = ComputeCounters(in);
    lblCharCount->setText(out.CharCount);
    QPalette palette = lblCharCount->palette();
    palette.setColor(QPalette::WindowText, out.CountRed ? QColor(Qt::red) : QColor(Qt::blue));
    lblCharCount->setPalette(palette);
    lblRemaining->setText(out.Remaining);
    lblPrefixIndicator->setText(out.PrefixIndicator);
    lblPrefixIndicator->setVisible(out.PrefixVisible);
}

void TFormMessageEditor::GetMessageTextForSending(QString& text) const
{
    // The memo ends its lines with LF alone; the queuing rules know line
    // breaks as CR LF (each CR becomes a blank).
    text = MessageTextForSending(memMessageText->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
}

void TFormMessageEditor::LoadEditorOptions()
{
    if (Options) {
        AddDisplayNameToMessage = Options->OptionByName(QStringLiteral("AddDisplayNameToMessage"))->AsBool();
        PrefixAddInEditor = Options->OptionByName(QStringLiteral("PrefixAddInEditor"))->AsBool();
        FollowedByChar = Options->OptionByName(QStringLiteral("FollowedByChar"))->AsString();
        EntryInUpperCase = Options->OptionByName(QStringLiteral("EntryInUpperCase"))->AsBool();
    }
    UpdateCounters();
}

void TFormMessageEditor::ClearText()
{
    memMessageText->clear();
}

void TFormMessageEditor::InsertText(const QString& text)
{
    memMessageText->insertPlainText(text);
}

void TFormMessageEditor::MemoTextChanged()
{
    UpdateMessageLength();
    UpdateCounters();
    actClearText->setEnabled(!memMessageText->document()->isEmpty());
}

// --- Address-book menu --------------------------------------------------

void TFormMessageEditor::BuildDatabasesMenu()
{
    btnSelectDatabase->setVisible(DataClients.Count() > 1);
    mnuDatabases->clear();
    auto* group = new QActionGroup(mnuDatabases);
    group->setExclusive(true);
    for (int i = 0; i < DataClients.Count(); ++i) {
        TBaseDataClient* client = DataClients.Items(i);
        QAction* item = mnuDatabases->addAction(client->Name());
        item->setCheckable(true);
        item->setData(QVariant::fromValue(static_cast<void*>(client)));
        item->setProperty(kGuidProperty, client->GUID());
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, i] { SelectDatabase(i); });
    }
}

TBaseDataClient* TFormMessageEditor::CheckedDatabase()
{
    const QList<QAction*> items = mnuDatabases->actions();
    if (items.isEmpty())
        return nullptr;
    QAction* item = items[CheckedDatabaseIndex()];
    auto* client = static_cast<TBaseDataClient*>(item->data().value<void*>());
    // The menu may outlive a rebuild of the client list until RebuildDatabases.
    if (!DataClients.IsLive(client, item->property(kGuidProperty).toString()))
        return nullptr;
    return client;
}

void TFormMessageEditor::SelectDatabase(int index)
{
    const QList<QAction*> items = mnuDatabases->actions();
    if (items.isEmpty())
        return;
    if (index < 0 || index >= items.size())
        index = 0;
    for (QAction* item : items)
        item->setChecked(false);
    items[index]->setChecked(true);
    TBaseDataClient* client = CheckedDatabase();
    LoadTemplates(client);
    if (DataModuleImages && client)
        btnSelectDatabase->setIcon(DataModuleImages->imglFoldersSmall.Icon(client->IsLocalDatabase() ? 6 : 7));
}

int TFormMessageEditor::CheckedDatabaseIndex()
{
    const QList<QAction*> items = mnuDatabases->actions();
    for (int i = 0; i < items.size(); ++i)
        if (items[i]->isChecked())
            return i;
    if (!items.isEmpty())
        items[0]->setChecked(true);
    return 0;
}

void TFormMessageEditor::RestoreCheckedDatabase()
{
    int index = 0;
    if (TNProfileFile* ini = FormSettingsIni)
        index = ini->ReadInteger(kSection, kCheckedKey, 0);
    SelectDatabase(index);
}

void TFormMessageEditor::SaveCheckedDatabase() noexcept
{
    try {
        if (TNProfileFile* ini = FormSettingsIni)
            ini->WriteInteger(kSection, kCheckedKey, CheckedDatabaseIndex());
    } catch (const EProfileFileError& error) {
        ReportFormSettingsError(error);
    } catch (const std::exception& e) {
        qWarning("TFormMessageEditor: the chosen address book was not saved: %s", e.what());
    }
}

void TFormMessageEditor::ReloadTemplates()
{
    SelectDatabase(CheckedDatabaseIndex());
}

void TFormMessageEditor::RebuildDatabases()
{
    SaveCheckedDatabase();
    BuildDatabasesMenu();
    RestoreCheckedDatabase();
}

// --- Templates ----------------------------------------------------------

void TFormMessageEditor::LoadTemplates(TBaseDataClient* client)
{
    if (!client)
        return;
    m_templateNames.clear();
    for (const TTemplateRow& row : ReadTemplateNames(*client))
        m_templateNames.append({row.Name, row.ID});
    m_completing = true;
    cbexTemplateNames->clear();
    const QIcon icon = DataModuleImages ? DataModuleImages->imglToolBar.Icon(tbiTemplates) : QIcon();
    for (const TTemplateName& t : m_templateNames)
        cbexTemplateNames->addItem(icon, t.Name, t.ID);
    cbexTemplateNames->setCurrentIndex(-1);
    m_completing = false;
    m_rememberedIndex = -1;
}

void TFormMessageEditor::TemplateTextChanged(const QString& text)
{
    if (m_completing)
        return;
    QStringList names;
    names.reserve(m_templateNames.size());
    for (const TTemplateName& t : m_templateNames)
        names << t.Name;
    const int found = FindTemplateByPrefix(names, text);
    m_rememberedIndex = found;
    if (found < 0)
        return;
    const QString& name = names[found];
    if (text == name)
        return;
    const int typedLength = static_cast<int>(text.size());
    m_completing = true;
    cbexTemplateNames->setEditText(name);
    // The completed tail is selected, so further typing replaces it.
    cbexTemplateNames->lineEdit()->setSelection(typedLength, static_cast<int>(name.size()) - typedLength);
    m_completing = false;
}

bool TFormMessageEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == cbexTemplateNames->lineEdit() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && m_rememberedIndex != -1) {
            m_completing = true;
            cbexTemplateNames->setCurrentIndex(m_rememberedIndex);
            m_completing = false;
            InsertSelectedTemplate();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFormMessageEditor::InsertSelectedTemplate()
{
    const int index = cbexTemplateNames->currentIndex();
    if (index < 0)
        return;
    TBaseDataClient* client = CheckedDatabase();
    if (!client)
        return;
    const std::optional<QString> content = LookupTemplateContent(*client, cbexTemplateNames->itemData(index).toInt());
    if (content)
        InsertText(*content);
}
