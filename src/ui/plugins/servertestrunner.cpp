#include "ui/plugins/servertestrunner.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>

QPushButton* AddTestConnectionRow(QFormLayout* form, QWidget* editor)
{
    auto* button = new QPushButton(QStringLiteral("T&est Connection"), editor);
    button->setObjectName(QStringLiteral("btnTestConnection"));
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(button);
    form->addRow(row);
    return button;
}

TServerTestRunner::~TServerTestRunner()
{
    if (m_worker.joinable())
        m_worker.join();
    if (m_busy)
        QApplication::restoreOverrideCursor();
}

void TServerTestRunner::Start(TWork work, TDone done)
{
    if (m_busy)
        return;
    if (m_worker.joinable())
        m_worker.join();
    m_busy = true;
    m_done = std::move(done);
    m_outcome = std::make_shared<TServerTestOutcome>();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The worker holds a share of the outcome; the runner joins the worker
    // before it goes, so the queued call never outlives it.
    m_worker = std::thread([this, work = std::move(work), outcome = m_outcome] {
        *outcome = work();
        QMetaObject::invokeMethod(this, &TServerTestRunner::Finish, Qt::QueuedConnection);
    });
}

void TServerTestRunner::Finish()
{
    if (m_worker.joinable())
        m_worker.join();
    m_busy = false;
    QApplication::restoreOverrideCursor();
    const TDone done = std::move(m_done);
    const std::shared_ptr<TServerTestOutcome> outcome = std::move(m_outcome);
    if (done)
        done(*outcome);
    emit Finished();
}

TServerTestOutcome TServerTestRunner::ConnectTemporaryLink(std::unique_ptr<TBaseServer> link,
                                                           const std::function<void(TBaseServer&)>& prepare,
                                                           const std::function<void(TBaseServer&)>& finish)
{
    TServerTestOutcome outcome;
    if (!link) {
        outcome.Result = crAutomationError;
        return outcome;
    }
    if (prepare)
        prepare(*link);
    outcome.Result = link->SafeConnect(kLogonTimeoutMs);
    if (finish)
        finish(*link);
    outcome.HostName = link->GetHostName();
    outcome.ErrorText = link->ErrorText();
    return outcome;  // the link goes here, on the worker that owned it
}
