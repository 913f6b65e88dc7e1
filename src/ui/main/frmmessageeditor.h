#pragma once
// The message editor pane: the memo the operator writes the message in,
// message templates of a chosen address book with type-ahead completion, the
// character counter against the tightest limit of the recipients, and
// upper-case entry. It hands out the text in its queued form
// (GetMessageTextForSending).
//
// The chosen address book is kept in "FormSettings.ini" (section
// "TFormMessageEditor", key "CheckedMenuIndex").

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QList>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QWidget>

class TBaseDataClient;

// The memo: upper-case entry of typed characters when EntryInUpperCase is
// set; Ctrl+A selects the whole text. Tab and Shift+Tab move the focus: a
// page carries no tab, and a keyboard user must be able to leave the memo.
class TNMessageMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TNMessageMemo(QWidget* parent = nullptr) : QPlainTextEdit(parent) { setTabChangesFocus(true); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class TFormMessageEditor : public QWidget {
    Q_OBJECT
public:
    explicit TFormMessageEditor(QWidget* parent = nullptr);
    ~TFormMessageEditor() override;

    // The memo never shows fewer lines than this.
    static constexpr int MessageMinimumLines = 4;

    // The last counted length (read by the send bar).
    int MessageLength() const { return m_messageLength; }
    int CalcMessageLength() const;
    void UpdateMessageLength();
    // Refreshes the three bottom labels from the text and the recipients.
    void UpdateCounters();
    void GetMessageTextForSending(QString& text) const;
    void ReloadTemplates();
    void RebuildDatabases();
    // Copies the four editor options into the program-wide values, then
    // recounts.
    void LoadEditorOptions();

    // Empties the memo (which recounts).
    void ClearText();
    // Inserts text at the memo's caret, replacing its selection.
    void InsertText(const QString& text);

    // Address-book menu.
    void BuildDatabasesMenu();
    void SelectDatabase(int index);
    int CheckedDatabaseIndex();
    void RestoreCheckedDatabase();
    void SaveCheckedDatabase() noexcept;
    TBaseDataClient* CheckedDatabase();

    // Templates of the checked address book, sorted by name.
    struct TTemplateName {
        QString Name;
        qint32 ID = 0;
    };
    const QList<TTemplateName>& TemplateNames() const { return m_templateNames; }
    int RememberedIndex() const { return m_rememberedIndex; }
    void InsertSelectedTemplate();

    QLabel* lblMessage = nullptr;
    QLabel* lblTemplate = nullptr;
    QComboBox* cbexTemplateNames = nullptr;
    QToolButton* btnSelectDatabase = nullptr;
    QMenu* mnuDatabases = nullptr;
    TNMessageMemo* memMessageText = nullptr;
    QMenu* mnuEditor = nullptr;
    QLabel* lblCharCountCaption = nullptr;
    QLabel* lblCharCount = nullptr;
    QLabel* lblRemaining = nullptr;
    QLabel* lblPrefixIndicator = nullptr;
    QAction* actSelectAll = nullptr;
    QAction* actClearText = nullptr;
    QAction* actCut = nullptr;
    QAction* actCopy = nullptr;
    QAction* actPaste = nullptr;
    QAction* actUndo = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void LoadTemplates(TBaseDataClient* client);
    void TemplateTextChanged(const QString& text);
    void MemoTextChanged();
    void MakeEditActions();
    QWidget* FocusedEdit() const;

    QList<TTemplateName> m_templateNames;
    int m_rememberedIndex = -1;
    int m_messageLength = 0;
    bool m_completing = false;
    bool m_shown = false;
};
