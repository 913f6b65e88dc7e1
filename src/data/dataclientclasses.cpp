#include "data/dataclientclasses.h"

#include "data/datakinds.h"
#include "data/localaccessclient.h"
#include "data/regdataclients.h"
#include "data/sharedaccessclient.h"

void RegisterStandardDataClientClasses()
{
    if (!FindDataClientClass(DATABASE_TYPE_ACCESS_LOCAL_NO))
        RegisterDataClientClass(DATABASE_TYPE_ACCESS_LOCAL_NO, &DataClientClassOf<TLocalAccessClient>);
    if (!FindDataClientClass(DATABASE_TYPE_ACCESS_SHARED_NO))
        RegisterDataClientClass(DATABASE_TYPE_ACCESS_SHARED_NO, &DataClientClassOf<TSharedAccessClient>);
}
