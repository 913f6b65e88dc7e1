#include "ui/plugins/servertcp.h"

#include "data/datakinds.h"
#include "foundation/netfunctions.h"
#include "messaging/dispatcher.h"
#include "messaging/sendoutbox.h"
#include "messaging/sendsettings.h"
#include "messaging/serverslist.h"
#include "platform/commatext.h"
#include "platform/messagedlg.h"
#include "ui/plugins/embedcontrols.h"
#include "ui/plugins/embedtext.h"
#include "ui/plugins/servertestrunner.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {
// A live link of the endpoint that is logged on (read under the lock; the
// link is neither kept nor used afterwards).
bool LiveLinkLoggedOn(const QString& ipAddress, int port, const QString& localIp)
{
    TNReadGuard guard(ServersList.Lock());
    const TBaseServer* link = ServersList.FindServer(SERVER_TYPE_TCP_NO, ipAddress, port, ipAddress, localIp);
    return link && link->LoggedOn();
}

void ShowTcpTestResult(const TServerTestOutcome& outcome)
{
    switch (outcome.Result) {
        case crConnected:
            MessageDlg(QStringLiteral("Connection Successful !"), TMsgDlgType::mtInformation, mbOK);
            break;
        case crNoListener:
            MessageDlg(QStringLiteral("There doesn't seem to be a server running listening to the IP Address and "
                                      "Port specified. ! Check with your Tovix Server support staff."),
                       TMsgDlgType::mtWarning, mbOK);
            break;
        case crLogonFailed:
            MessageDlg(QStringLiteral("Tovix Server refuses LogOn with the following message: \r\r\"%1\"")
                           .arg(outcome.ErrorText),
                       TMsgDlgType::mtWarning, mbOK);
            break;
        default:
            break;
    }
}
}  // namespace

TFormTcpServerEmbedEditor::TFormTcpServerEmbedEditor(QWidget* owner)
    : TFormBaseServerEmbedEditor(owner), m_runner(new TServerTestRunner(this))
{
    QFormLayout* form = NewFormLayout(this);
    edtIPAddress = NewEdit(this, QStringLiteral("edtIPAddress"));
    AddLabelledRow(form, QStringLiteral("IP &Address : "), edtIPAddress);
    updPortNumber = new QSpinBox(this);
    updPortNumber->setObjectName(QStringLiteral("updPortNumber"));
    // Every TCP port; a text that is no port in range keeps the last value.
    updPortNumber->setRange(1, 65535);
    updPortNumber->setValue(kDefaultPort);
    updPortNumber->setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    AddLabelledRow(form, QStringLiteral("&Port Number (215 by def.) : "), updPortNumber);
    btnTestConnection = AddTestConnectionRow(form, this);

    connect(btnTestConnection, &QPushButton::clicked, this, &TFormTcpServerEmbedEditor::btnTestConnectionClick);
    connect(m_runner, &TServerTestRunner::Finished, this, [this] { btnTestConnection->setEnabled(true); });
}

QString TFormTcpServerEmbedEditor::GetDataAsCSVString() const
{
    return CommaTextFromList({edtIPAddress->text().trimmed(), QString::number(updPortNumber->value()), QString()});
}

bool TFormTcpServerEmbedEditor::PutDataAsCSVString(const QString& data)
{
    const QStringList items = CommaTextToList(data);
    edtIPAddress->setText(ItemAt(items, 0));
    qint64 port = 0;
    if (!TryStrToInt64(ItemAt(items, 1).trimmed(), &port) || port < 1 || port > 65535)
        port = kDefaultPort;
    updPortNumber->setValue(int(port));
    return true;
}

bool TFormTcpServerEmbedEditor::ValidateData()
{
    const QString address = edtIPAddress->text().trimmed();
    if (IsValidIPAddress(address))
        return true;
    Warn(address.isEmpty() ? QStringLiteral("Error: IP Address string can't be empty.")
                           : QStringLiteral("Error: IP Address string has invalid format."),
         edtIPAddress);
    return false;
}

void TFormTcpServerEmbedEditor::btnTestConnectionClick()
{
    if (m_runner->Busy())
        return;
    const QString address = edtIPAddress->text().trimmed();
    const int port = updPortNumber->value();
    // The logon carries the installation's identity, as a send's would.
    PublishCurrentSendSettings();
    const QString localIp = CurrentSendSettings().LocalIpAddress;
    if (LiveLinkLoggedOn(address, port, localIp)) {
        ShowTcpTestResult(TServerTestOutcome());
        return;
    }
    btnTestConnection->setEnabled(false);
    m_runner->Start(
        [address, port, localIp] {
            return TServerTestRunner::ConnectTemporaryLink(
                std::unique_ptr<TBaseServer>(CreateLink(SERVER_TYPE_TCP_NO, address, port, localIp)));
        },
        &ShowTcpTestResult);
}
