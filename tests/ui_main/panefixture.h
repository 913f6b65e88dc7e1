#pragma once
// The modules the composing panes work with, on real files in a temporary
// program folder: the options, the window-placement file and the local data
// module with its address-book clients. Address books are filled before
// Start() (TBookBuilder); a second book is listed with AddSecondBook().
#include "data/bookbuilder.h"
#include "data/dmlocaldata.h"
#include "data/recipients.h"
#include "data/regdataclients.h"
#include "foundation/dmoptions.h"
#include "foundation/formsettings.h"
#include "foundation/options.h"
#include "platform/commatext.h"
#include "platform/programfolder.h"
#include "support/testdatabases.h"

#include <QSqlQuery>
#include <memory>

class TPaneWorld {
public:
    TPaneWorld() { SetProgramFolder(dbs.Folder()); }
    ~TPaneWorld()
    {
        localData.reset();
        formSettings.reset();
        options.reset();
        SetCarrierMaxLengthHook(nullptr);
        SetProgramFolder(QString());
    }
    TPaneWorld(const TPaneWorld&) = delete;
    TPaneWorld& operator=(const TPaneWorld&) = delete;

    void Start()
    {
        options = std::make_unique<TDModOptions>();
        formSettings = std::make_unique<TFormSettingsFile>();
        localData = std::make_unique<TDModLocalData>();
    }

    // A second local address book "Other" (OrderNo 2); before Start().
    QString AddSecondBook()
    {
        const QString folder = dbs.AddAddressBook(QStringLiteral("other"));
        TBookBuilder local(dbs.LocalDataPath());
        local.Exec(QStringLiteral("insert into Databases (TypeNo, Name, OrderNo, Data, GUID) "
                                  "values (1, 'Other', 2, :Data, '{00000000-0000-0000-0000-0000000000B2}')"),
                   {{QStringLiteral("Data"), CommaTextFromList({folder})}});
        return folder + QStringLiteral("Tovix2Database.mdb");
    }

    // Contacts of one carrier (type 4, the given settings text) on a TCP
    // server at Address:Port, in the default address book; before Start().
    QList<qint32> AddContacts(const QStringList& names, const QString& carrierData = QStringLiteral("x"),
                              const QString& address = QStringLiteral("127.0.0.1"), int port = 215)
    {
        TBookBuilder book(dbs.AddressBookPath());
        const qint32 server =
            book.Server(QStringLiteral("S"), 1, QStringLiteral("%1,%2,localhost").arg(address).arg(port));
        const qint32 carrier = book.Carrier(QStringLiteral("SMS"), 4, server, carrierData);
        QList<qint32> ids;
        for (const QString& name : names)
            ids << book.Contact(name, carrier);
        return ids;
    }

    void SetOption(const char* name, const QVariant& value)
    {
        Options->OptionByName(QString::fromLatin1(name))->SetValue(value);
    }

    // Rows of a table of the local database, read on a connection of its own.
    int CountRows(const QString& table)
    {
        TBookBuilder local(dbs.LocalDataPath());
        QSqlQuery query(local.Db());
        query.exec(QStringLiteral("select count(*) from ") + table);
        return query.next() ? query.value(0).toInt() : -1;
    }

    TestDatabases dbs;
    std::unique_ptr<TDModOptions> options;
    std::unique_ptr<TFormSettingsFile> formSettings;
    std::unique_ptr<TDModLocalData> localData;
};
