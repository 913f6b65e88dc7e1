#pragma once
// TNGroupMembers: the membership of one group as the group editor edits it.
//
// NonMembers holds every contact of the address book, fetched once (ID and
// the columns the editor shows: Name, FirstName, LastName, Company,
// JobTitle and the carrier's name FLCarriers_Name as a plain text column),
// ordered by Name without regard to letter case and filtered to the contacts
// that are not members. Members has the same columns (ID writable) and holds
// the members, ordered by Name with regard to letter case. Moving contacts
// touches only these two in-memory datasets; Save writes the group's
// membership rows as one change (TBaseDataClient::SaveGroupMembers).
//
// Rows are named by bookmarks of the two datasets (what their grids select).
// Main thread only; the book must outlive the object.

#include "db/clientdataset.h"

#include <QHash>
#include <QList>

class TBaseDataClient;

class TNGroupMembers {
public:
    explicit TNGroupMembers(TBaseDataClient& book);

    // Fetches the contacts and the members of the group (an assignment row
    // whose contact no longer exists is skipped). The group-assignment
    // dataset is left open or closed as it was.
    void Load(qint32 groupID);

    TNClientDataSet& NonMembers() { return m_nonMembers; }
    TNClientDataSet& Members() { return m_members; }

    // The non-member rows become members, in the order given; returns the
    // Members bookmarks of the rows added, in that order.
    QList<TBookmark> AddMembers(const QList<TBookmark>& nonMemberRows);
    // The member rows leave the group; returns the NonMembers bookmarks of
    // the same contacts, shown there again.
    QList<TBookmark> RemoveMembers(const QList<TBookmark>& memberRows);
    // Some member was added or removed since Load.
    bool Changed() const { return m_changed; }

    // Contact IDs of the members in Members' order.
    QList<qint32> MemberIDs() const;
    // Rewrites the group's membership rows (the group's ID as posted).
    void Save(qint32 groupID);

private:
    void RefreshNonMembers();
    std::vector<std::vector<QVariant>> ContactRows() const;
    QList<qint32> AssignedContactIDs(qint32 groupID) const;
    std::vector<QVariant> NonMemberValues(TBookmark bookmark) const;

    TBaseDataClient& m_book;
    TNClientDataSet m_nonMembers;
    TNClientDataSet m_members;
    QHash<qint32, TBookmark> m_contactRows;  // contact ID -> NonMembers row
    QHash<qint32, int> m_memberCount;        // contact ID -> member rows
    bool m_changed = false;
};

// The carrier-name column both member lists carry.
inline const char* const CarrierNameField = "FLCarriers_Name";
