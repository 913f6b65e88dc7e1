#include "ui/plugins/servercom.h"

#include "data/datakinds.h"
#include "foundation/browsecomputer.h"
#include "messaging/dispatcher.h"
#include "messaging/sendoutbox.h"
#include "platform/commatext.h"
#include "platform/messagedlg.h"
#include "ui/plugins/embedcontrols.h"
#include "ui/plugins/embedtext.h"
#include "ui/plugins/servertestrunner.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

namespace {
void ShowComTestResult(const TServerTestOutcome& outcome)
{
    if (outcome.Result == crConnected) {
        MessageDlg(QStringLiteral("Connection Successful !"), TMsgDlgType::mtInformation, mbOK);
        return;
    }
    QString tail;
    switch (outcome.Result) {
        case crHostUnreachable:
            tail = QStringLiteral(" : Check if that workstation is accessible in your Network Neighbourhood!!!");
            break;
        case crNotInstalled:
            tail = QStringLiteral(" : There doesn't seem to be TovixServer installed on that workstation!!!");
            break;
        case crAutomationError:
            tail = QStringLiteral("Following Error message received: \"%1\"").arg(outcome.ErrorText);
            break;
        default:
            MessageDlg(QString(), TMsgDlgType::mtError, mbOK);
            return;
    }
    MessageDlg(
        QStringLiteral("Error trying to connect to the Server at Host = \"%1\"\r\r%2").arg(outcome.HostName, tail),
        TMsgDlgType::mtError, mbOK);
}
}  // namespace

TFormComServerEmbedEditor::TFormComServerEmbedEditor(QWidget* owner)
    : TFormBaseServerEmbedEditor(owner), m_runner(new TServerTestRunner(this))
{
    QFormLayout* form = NewFormLayout(this);
    edtHostName = NewEdit(this, QStringLiteral("edtHostName"));
    btnSelectHost = new QPushButton(QStringLiteral("..."), this);
    btnSelectHost->setObjectName(QStringLiteral("btnSelectHost"));
    AddLabelledRow(form, QStringLiteral("Tovix Server host &Machine Name : "), edtHostName, btnSelectHost);
    btnTestConnection = AddTestConnectionRow(form, this);

    connect(btnSelectHost, &QPushButton::clicked, this, &TFormComServerEmbedEditor::btnSelectHostClick);
    connect(btnTestConnection, &QPushButton::clicked, this, &TFormComServerEmbedEditor::btnTestConnectionClick);
    connect(m_runner, &TServerTestRunner::Finished, this, [this] { btnTestConnection->setEnabled(true); });
}

QString TFormComServerEmbedEditor::GetDataAsCSVString() const
{
    return CommaTextFromList({QString(), QString(), edtHostName->text().trimmed()});
}

bool TFormComServerEmbedEditor::PutDataAsCSVString(const QString& data)
{
    const QStringList items = CommaTextToList(data);
    edtHostName->setText(ItemAt(items, 2));
    return true;
}

bool TFormComServerEmbedEditor::ValidateData()
{
    return Passes(
        edtHostName->text().trimmed().isEmpty() ? QStringLiteral("Error: Host Name can't be empty.") : QString(),
        edtHostName);
}

void TFormComServerEmbedEditor::btnSelectHostClick()
{
    QString computer = edtHostName->text();
    if (BrowseForComputer(computer))
        edtHostName->setText(computer);
}

void TFormComServerEmbedEditor::btnTestConnectionClick()
{
    if (m_runner->Busy())
        return;
    const QString host = edtHostName->text().trimmed();
    PublishCurrentSendSettings();
    btnTestConnection->setEnabled(false);
    m_runner->Start(
        [host] {
            return TServerTestRunner::ConnectTemporaryLink(
                std::unique_ptr<TBaseServer>(CreateLink(SERVER_TYPE_COM_NO, host, 0, QString())),
                [](TBaseServer& link) { link.SetTesting(true); }, [](TBaseServer& link) { link.Disconnect(); });
        },
        &ShowComTestResult);
}
