#include "ui/plugins/databaseshared.h"

#include "data/remotedataconnection.h"
#include "foundation/browsecomputer.h"
#include "platform/commatext.h"
#include "platform/messagedlg.h"
#include "ui/plugins/embedcontrols.h"
#include "ui/plugins/embedtext.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
// A drop-down that asks its editor to fetch the list before it opens.
class TServerNameCombo final : public QComboBox {
public:
    TServerNameCombo(QWidget* parent, std::function<void()> onDropDown)
        : QComboBox(parent), m_onDropDown(std::move(onDropDown))
    {
    }
    void ShowFetchedPopup()
    {
        if (count() > 0)
            QComboBox::showPopup();
    }

protected:
    void showPopup() override { m_onDropDown(); }

private:
    std::function<void()> m_onDropDown;
};
}  // namespace

TFormEmbedAccessSharedEditor::TFormEmbedAccessSharedEditor(QWidget* owner) : TFormBaseDatabaseEmbedEditor(owner)
{
    QFormLayout* form = NewFormLayout(this);
    edtHost = NewEdit(this, QStringLiteral("edtHost"), QStringLiteral("127.0.0.1"));
    btnBrowseForHost = new QPushButton(QStringLiteral("..."), this);
    btnBrowseForHost->setObjectName(QStringLiteral("btnBrowseForHost"));
    AddLabelledRow(form, QStringLiteral("IP address / &Host name : "), edtHost, btnBrowseForHost);
    edtPort = NewEdit(this, QStringLiteral("edtPort"), QStringLiteral("211"));
    InstallDigitFilter(edtPort);
    AddLabelledRow(form, QStringLiteral("&Port Number (211 by def.) : "), edtPort);
    auto* combo = new TServerNameCombo(this, [this] { cbServerNameDropDown(); });
    cbServerName = combo;
    cbServerName->setObjectName(QStringLiteral("cbServerName"));
    cbServerName->setEditable(true);
    cbServerName->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    AddLabelledRow(form, QStringLiteral("&ServerName : "), cbServerName);
    edtGUID = NewEdit(this, QStringLiteral("edtGUID"), QStringLiteral(" "));
    edtGUID->setReadOnly(true);
    AddLabelledRow(form, QStringLiteral("Server &GUID : "), edtGUID);

    lblTrying = new QLabel(QStringLiteral("Trying to connect ..."), this);
    lblTrying->setObjectName(QStringLiteral("lblTrying"));
    QFont big = lblTrying->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    lblTrying->setFont(big);
    lblTrying->setStyleSheet(QStringLiteral("color: blue"));
    lblTrying->hide();
    btnTestConnection = new QPushButton(QStringLiteral("&Test Connection"), this);
    btnTestConnection->setObjectName(QStringLiteral("btnTestConnection"));
    auto* row = new QHBoxLayout;
    row->addWidget(lblTrying);
    row->addStretch();
    row->addWidget(btnTestConnection);
    form->addRow(row);

    connect(btnBrowseForHost, &QPushButton::clicked, this, &TFormEmbedAccessSharedEditor::btnBrowseForHostClick);
    connect(btnTestConnection, &QPushButton::clicked, this, &TFormEmbedAccessSharedEditor::btnTestConnectionClick);
    connect(cbServerName, &QComboBox::currentTextChanged, this, &TFormEmbedAccessSharedEditor::cbServerNameChange);
}

TFormEmbedAccessSharedEditor::~TFormEmbedAccessSharedEditor()
{
    if (m_worker.joinable())
        m_worker.join();
}

QString TFormEmbedAccessSharedEditor::GetDataAsCSVString() const
{
    return CommaTextFromList({edtHost->text(), edtPort->text(), cbServerName->currentText(), edtGUID->text()});
}

bool TFormEmbedAccessSharedEditor::PutDataAsCSVString(const QString& data)
{
    const QStringList items = CommaTextToList(data);
    edtHost->setText(ItemAt(items, 0));
    edtPort->setText(ItemAt(items, 1));
    cbServerName->setEditText(ItemAt(items, 2));
    edtGUID->setText(ItemAt(items, 3));
    m_serverName = cbServerName->currentText();
    return true;
}

bool TFormEmbedAccessSharedEditor::ValidateData()
{
    bool ok = true;
    if (edtHost->text().trimmed().isEmpty()) {
        Warn(QStringLiteral("Error: Please specify IP Address or Host Name !"), edtHost);
        ok = false;
    }
    int port = 0;
    if (edtPort->text().trimmed().isEmpty()) {
        Warn(QStringLiteral("Error: Please specify Port !"), edtPort);
        ok = false;
    } else if (!TryDecimalToInt(edtPort->text().trimmed(), &port) || port < 1 || port > 65535) {
        // A port the client cannot use would drop the book at every start.
        Warn(QStringLiteral("Error: Port must be a number from 1 to 65535 !"), edtPort);
        ok = false;
    }
    if (cbServerName->currentText().trimmed().isEmpty()) {
        Warn(QStringLiteral("Error: Please specify Server Name !"), cbServerName);
        ok = false;
    }
    return ok;
}

void TFormEmbedAccessSharedEditor::btnBrowseForHostClick()
{
    QString computer = edtHost->text();
    // Cancelling the picker leaves the host as it was.
    if (BrowseForComputer(computer))
        edtHost->setText(computer);
}

bool TFormEmbedAccessSharedEditor::ReadTarget(QString* host, quint16* port)
{
    *host = edtHost->text().trimmed();
    if (host->isEmpty()) {
        Warn(QStringLiteral("Error: No host name or IP address specified"), edtHost);
        return false;
    }
    int number = 0;
    if (!TryDecimalToInt(edtPort->text().trimmed(), &number) || number < 1 || number > 65535) {
        Warn(QStringLiteral("Error: Port must be a number from 1 to 65535 !"), edtPort);
        return false;
    }
    *port = static_cast<quint16>(number);
    return true;
}

void TFormEmbedAccessSharedEditor::Start(std::function<TOutcome()> work, std::function<void(const TOutcome&)> done)
{
    if (m_worker.joinable())
        m_worker.join();
    m_done = false;
    m_onDone = std::move(done);
    m_outcome = std::make_shared<TOutcome>();
    lblTrying->show();
    btnTestConnection->setEnabled(false);
    cbServerName->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The worker owns a share of the outcome; the editor waits for the
    // worker before it goes, so the post below never outlives it.
    m_worker = std::thread([this, work = std::move(work), outcome = m_outcome] {
        *outcome = work();
        QMetaObject::invokeMethod(this, &TFormEmbedAccessSharedEditor::Finish, Qt::QueuedConnection);
    });
}

void TFormEmbedAccessSharedEditor::Finish()
{
    if (m_worker.joinable())
        m_worker.join();
    m_done = true;
    QApplication::restoreOverrideCursor();
    lblTrying->hide();
    btnTestConnection->setEnabled(true);
    cbServerName->setEnabled(true);
    const std::function<void(const TOutcome&)> done = std::move(m_onDone);
    const std::shared_ptr<TOutcome> outcome = std::move(m_outcome);
    if (done)
        done(*outcome);
    emit ServerTalkEnded();
}

void TFormEmbedAccessSharedEditor::cbServerNameDropDown()
{
    QString host;
    quint16 port = 0;
    if (IsBusy() || !ReadTarget(&host, &port))
        return;
    cbServerName->clear();
    cbServerName->setEditText(QString());
    Start(
        [host, port] {
            TOutcome outcome;
            TRemoteDataConnection connection;
            outcome.ok = connection.Open(host, port, kTimeoutMs) && connection.ListServerNames(&outcome.names);
            for (int i = 0; outcome.ok && i < outcome.names.size(); ++i) {
                QString guid;
                if (connection.ServerGUID(outcome.names[i], &guid))
                    outcome.guids.insert(outcome.names[i], guid);
            }
            if (!outcome.ok)
                outcome.error = connection.ErrorText();
            connection.Close();
            return outcome;
        },
        [this](const TOutcome& outcome) {
            if (!outcome.ok) {
                Warn(QStringLiteral("There was an error connecting to the specified server (port)."));
                MessageDlg(outcome.error, TMsgDlgType::mtError, mbOK);
                return;
            }
            m_knownGuids = outcome.guids;
            cbServerName->addItems(outcome.names);
            cbServerName->setCurrentIndex(-1);
            cbServerName->setEditText(QString());
            static_cast<TServerNameCombo*>(cbServerName)->ShowFetchedPopup();
        });
}

void TFormEmbedAccessSharedEditor::cbServerNameChange(const QString& text)
{
    if (text == m_serverName)
        return;
    m_serverName = text;
    // The GUID of a name the server listed; empty for a name it does not know.
    edtGUID->setText(m_knownGuids.value(text));
}

void TFormEmbedAccessSharedEditor::btnTestConnectionClick()
{
    QString host;
    quint16 port = 0;
    if (IsBusy())
        return;
    if (!ReadTarget(&host, &port)) {
        Warn(QStringLiteral("Connection test FAILED !"));
        return;
    }
    const QString serverName = cbServerName->currentText();
    Start(
        [host, port, serverName] {
            TOutcome outcome;
            TRemoteDataConnection connection;
            outcome.ok = connection.Open(host, port, kTimeoutMs) && connection.ConnectServer(serverName);
            if (!outcome.ok)
                outcome.error = connection.ErrorText();
            connection.Close();
            return outcome;
        },
        [](const TOutcome& outcome) {
            if (!outcome.ok)
                MessageDlg(outcome.error, TMsgDlgType::mtError, mbOK);
            Warn(outcome.ok ? QStringLiteral("Connection test SUCCESSFUL !")
                            : QStringLiteral("Connection test FAILED !"));
        });
}
