#pragma once
// A program folder of the send benchmarks' own: the local data and the
// default address book made in a temporary folder, the options, the
// "Local Database" client, and the send settings pointed at the local data.
// Made first and freed last: whatever uses the client or the databases
// (recipients, database handles, the messaging threads) must be gone by
// then; freeing it closes this thread's connections and forgets the folder.
#include "data/basedataclient.h"
#include "data/dataclientclasses.h"
#include "data/datakinds.h"
#include "data/regdataclients.h"
#include "data/threadconnections.h"
#include "db/databasefiles.h"
#include "foundation/dmoptions.h"
#include "messaging/sendsettings.h"
#include "platform/commatext.h"
#include "platform/programfolder.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace bench {

class TSendInstallation {
public:
    explicit TSendInstallation(const QString& clientGuid) : m_path(m_folder.path() + QLatin1Char('/'))
    {
        SetProgramFolder(m_path);
        CreateLocalDataFile(LocalPath());
        CreateAddressBookFile(BookPath());
        m_options = std::make_unique<TDModOptions>();
        RegisterStandardDataClientClasses();
        m_client.reset(CreateDataClient(FindDataClientClass(DATABASE_TYPE_ACCESS_LOCAL_NO), LocalDatabaseName(),
                                        clientGuid, CommaTextFromList({m_path})));
        TNSendSettings settings = CurrentSendSettings();
        settings.LocalDatabasePath = LocalPath();
        PublishSendSettings(settings);
    }
    ~TSendInstallation()
    {
        m_client.reset();
        CloseThreadDatabase(LocalPath());
        CloseThreadDatabase(BookPath());
        SetProgramFolder(QString());
    }
    TSendInstallation(const TSendInstallation&) = delete;
    TSendInstallation& operator=(const TSendInstallation&) = delete;

    QString LocalPath() const { return m_path + LocalDataFileName(); }
    QString BookPath() const { return m_path + AddressBookFileName(); }
    TBaseDataClient* Client() const { return m_client.get(); }

private:
    QTemporaryDir m_folder;
    const QString m_path;
    std::unique_ptr<TDModOptions> m_options;  // made once the folder is set
    std::unique_ptr<TBaseDataClient> m_client;
};

}  // namespace bench
