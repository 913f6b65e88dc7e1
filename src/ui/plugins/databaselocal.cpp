#include "ui/plugins/databaselocal.h"

#include "db/databasefiles.h"
#include "platform/commatext.h"
#include "platform/messagedlg.h"
#include "ui/plugins/embedcontrols.h"
#include "ui/plugins/embedtext.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStyle>
#include <QUuid>

TFormEmbedAccessLocalEditor::TFormEmbedAccessLocalEditor(QWidget* owner) : TFormBaseDatabaseEmbedEditor(owner)
{
    QFormLayout* form = NewFormLayout(this);
    edtFolder = NewEdit(this, QStringLiteral("edtFolder"));
    btnOpenDialog = new QPushButton(this);
    btnOpenDialog->setObjectName(QStringLiteral("btnOpenDialog"));
    btnOpenDialog->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    btnOpenDialog->setToolTip(QStringLiteral("Browse"));
    AddLabelledRow(form, QStringLiteral("&Database Folder : "), edtFolder, btnOpenDialog);
    btnTestConnection = new QPushButton(QStringLiteral("T&est Connection"), this);
    btnTestConnection->setObjectName(QStringLiteral("btnTestConnection"));
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(btnTestConnection);
    form->addRow(row);
    connect(btnOpenDialog, &QPushButton::clicked, this, &TFormEmbedAccessLocalEditor::btnOpenDialogClick);
    connect(btnTestConnection, &QPushButton::clicked, this, &TFormEmbedAccessLocalEditor::btnTestConnectionClick);
}

QString TFormEmbedAccessLocalEditor::DatabaseFilePath(const QString& folder)
{
    QString path = folder;
    if (!path.endsWith(u'/') && !path.endsWith(u'\\'))
        path += u'/';
    return path + AddressBookFileName();
}

QString TFormEmbedAccessLocalEditor::GetDataAsCSVString() const
{
    return CommaTextFromList({edtFolder->text().trimmed()});
}

bool TFormEmbedAccessLocalEditor::PutDataAsCSVString(const QString& data)
{
    edtFolder->setText(ItemAt(CommaTextToList(data), 0).trimmed());
    return true;
}

bool TFormEmbedAccessLocalEditor::ValidateData()
{
    const QString folder = edtFolder->text();
    if (folder.trimmed().isEmpty() || !QFileInfo(DatabaseFilePath(folder)).isFile()) {
        Warn(QStringLiteral("Error: there is no database file (\"%1\") at the specified folder !")
                 .arg(AddressBookFileName()),
             edtFolder);
        return false;
    }
    return true;
}

void TFormEmbedAccessLocalEditor::btnOpenDialogClick()
{
    const QString filter = QStringLiteral("Tovix Database File (%1)").arg(AddressBookFileName());
    const QString file = QFileDialog::getOpenFileName(this, QString(), edtFolder->text().trimmed(), filter, nullptr,
                                                      QFileDialog::ReadOnly);
    if (file.isEmpty())
        return;
    edtFolder->setText(QFileInfo(file).absolutePath() + u'/');
}

void TFormEmbedAccessLocalEditor::btnTestConnectionClick()
{
    const QString folder = edtFolder->text().trimmed();
    if (folder.isEmpty()) {
        Warn(QStringLiteral("Path to the database can't be empty. Please specify a valid path."), edtFolder);
        return;
    }
    const QString path = DatabaseFilePath(folder);
    QString failure;
    {
        // A connection of its own, read-only, that never creates a missing
        // file: the test must not leave an empty database behind.
        const QString name = QStringLiteral("AccessLocalTest-") + QUuid::createUuid().toString();
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!QFileInfo(path).isFile()) {
            failure = QStringLiteral("Could not find file '%1'.").arg(path);
        } else if (!db.open()) {
            failure = db.lastError().text();
        } else {
            QSqlQuery probe(db);
            if (!probe.exec(QStringLiteral("SELECT COUNT(*) FROM Contacts")))
                failure = probe.lastError().text();
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    if (failure.isEmpty()) {
        MessageDlg(QStringLiteral("Connection Test successful !"), TMsgDlgType::mtInformation, mbOK);
        return;
    }
    Warn(QStringLiteral("Connection Test failed. Please select folder containing a database file!"), edtFolder);
    MessageDlg(failure, TMsgDlgType::mtError, mbOK);
}
