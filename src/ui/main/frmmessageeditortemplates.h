#pragma once
// The message editor's reads of an address book's templates dataset: the
// names with their IDs for the template chooser, and one template's content.
// Both go through the dataset-state registry, so the dataset ends up open or
// closed as it was found, and at the row it was on.

#include <QList>
#include <QString>
#include <optional>

class TBaseDataClient;

struct TTemplateRow {
    QString Name;
    qint32 ID = 0;
};

// Every template of the address book, sorted by name without regard to case.
QList<TTemplateRow> ReadTemplateNames(TBaseDataClient& client);
// The "Content" of the template with that ID; nothing when the row is gone.
std::optional<QString> LookupTemplateContent(TBaseDataClient& client, qint32 id);
