#pragma once
// A program folder with both database files, the options, a message-box
// answerer and a recorder of terminate requests, for the tests of the local
// data module and the clients it makes.
#include "data/dmlocaldata.h"
#include "data/dmmaintenance.h"
#include "data/regdataclients.h"
#include "foundation/dmoptions.h"
#include "foundation/options.h"
#include "platform/appterminate.h"
#include "platform/programfolder.h"
#include "support/messageanswerer.h"
#include "support/testdatabases.h"

#include <gtest/gtest.h>
#include <QFile>
#include <memory>

class LocalDataFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetProgramFolder(Dbs.Folder());
        OptionsModule = std::make_unique<TDModOptions>();
        ResetTerminateRequest();
    }
    void TearDown() override
    {
        Maintenance.reset();
        LocalData.reset();
        OptionsModule.reset();
        ResetTerminateRequest();
        SetProgramFolder(QString());
    }

    void StartLocalData() { LocalData = std::make_unique<TDModLocalData>(); }
    void SetOption(const char* name, const QVariant& value)
    {
        ::Options->OptionByName(QString::fromLatin1(name))->SetValue(value);
    }

    TestDatabases Dbs;
    MessageAnswerer Answerer;
    std::unique_ptr<TDModOptions> OptionsModule;
    std::unique_ptr<TDModLocalData> LocalData;
    std::unique_ptr<TDModMaintenance> Maintenance;
};
