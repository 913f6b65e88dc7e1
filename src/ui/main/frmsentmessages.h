#pragma once
// TFormSentMessages ("Sent Messages Report"): the sent-message log of the
// local database, newest first, with each message's dispatch and send
// results; the selected message's text and status below the grid. It
// refreshes itself when the messaging engine posts WM_REFRESH_SENT_MESSAGES
// and can empty the log. At most one report exists; it is modeless, has no
// parent (its own task-bar button) and frees itself when closed.
//
// Its query runs on the local data module's main connection, so the report
// must go before that module (the main window frees it: CloseSentMessages).
// Main thread only.

#include "foundation/formbase.h"
#include "platform/windowmessages.h"

#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTableView;
class TNDataSetModel;
class TNSqlQuery;

class TFormSentMessages : public QWidget, public TFormBase {
    Q_OBJECT
public:
    explicit TFormSentMessages(QWidget* parent = nullptr);
    ~TFormSentMessages() override;

    static constexpr int DesignWidth = 812;
    static constexpr int DesignHeight = 569;
    static constexpr int ColumnCount = 7;

    // Closes and reopens the query (WM_REFRESH_SENT_MESSAGES).
    void RefreshMessages();
    // Deletes every sent message and text in one transaction, without a
    // question, then reopens the query. A database error is shown and
    // nothing is deleted.
    void DeleteAll();

    TNWindowHandle Handle() const { return m_window.Handle(); }
    TNSqlQuery* Query() const { return qryMessages.get(); }

    QTableView* dbgMessages = nullptr;
    QSplitter* splMessages = nullptr;
    QWidget* pnlMessageText = nullptr;
    QPlainTextEdit* memMessageText = nullptr;
    QLabel* lblMessageLength = nullptr;
    QLabel* lblErrorStatus = nullptr;
    QPushButton* btnDeleteAll = nullptr;
    QPushButton* btnClose = nullptr;

protected:
    bool DesignSizeIsMinimum() const override { return true; }
    TFormPosition DesignedPosition() const override { return TFormPosition::DesktopCenter; }
    void LoadFormSettings(QString& section) override;
    void SaveFormSettings(QString& section) override;
    void customEvent(QEvent* event) override;

private:
    void BuildLayout();
    void BuildQuery();
    void OpenQuery();
    void RowChanged();
    void MemoChanged();
    // Runs a database step; an error is shown and the window stays.
    bool Run(const std::function<void()>& step);

    std::unique_ptr<TNSqlQuery> qryMessages;
    TNDataSetModel* m_model = nullptr;
    TNMessageWindow m_window{this};
};

// The open report, if any, and whether one is open (from the end of its
// creation to the start of its destruction).
extern TFormSentMessages* FormSentMessages;
extern bool SentMessagesOpen;

// Brings the open report back (restored when minimised), or creates and
// shows one.
void ShowSentMessages();
// Frees the open report (at the main window's end, before the local data
// module goes).
void CloseSentMessages();
