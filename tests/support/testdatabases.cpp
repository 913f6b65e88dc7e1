#include "support/testdatabases.h"

#include <QDir>
#include <stdexcept>

#include "db/databasefiles.h"

TestDatabases::TestDatabases()
{
    if (!m_folder.IsValid())
        throw std::runtime_error("TestDatabases: no temporary folder");
    CreateLocalDataFile(LocalDataPath());
    CreateAddressBookFile(AddressBookPath());
}

QString TestDatabases::LocalDataPath() const
{
    return m_folder.File(LocalDataFileName());
}

QString TestDatabases::AddressBookPath() const
{
    return m_folder.File(AddressBookFileName());
}

QString TestDatabases::AddAddressBook(const QString& subFolder) const
{
    const QString folder = m_folder.Path() + subFolder + QLatin1Char('/');
    if (!QDir().mkpath(folder))
        throw std::runtime_error("TestDatabases: cannot make the sub-folder");
    CreateAddressBookFile(folder + AddressBookFileName());
    return folder;
}
