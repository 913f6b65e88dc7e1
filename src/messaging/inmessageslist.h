#pragma once
// InMessagesList: the delivery reports and broadcasts received from the
// servers, waiting for the message processor, in arrival order. The links'
// receiving threads add, the processor's thread takes; both under the
// list's write lock. The items event is signalled while the list holds
// items. The list owns its items: what is still queued at shut-down is
// freed with it.

#include "foundation/threadsharedlist.h"
#include "messaging/protocolmessages.h"

class TNInMessagesList : public TNBaseThreadSharedList<TClientInputMessage> {
public:
    TNInMessagesList() : TNBaseThreadSharedList(true, true, false, false, 10, false, 50) {}

    // Appends a copy under the write lock.
    void Add(const TClientInputMessage& message);
    // Appends copies of all, in order, under one hold of the write lock.
    void AddAll(const QList<TClientInputMessage>& messages);
    // Takes the oldest item under the write lock; false when there is none.
    bool TakeFirst(TClientInputMessage* message);
    // Takes up to Max of the oldest items, in order, under one hold of the
    // write lock; how many were appended to Messages.
    int TakeFirstOnes(QList<TClientInputMessage>& messages, int max);
    // Items waiting now (takes the read lock).
    int PendingCount();
    // Wakes the taker without an item (what it waits for may have changed:
    // acknowledgements were logged, or it is asked to stop).
    void Nudge();
};

extern TNInMessagesList InMessagesList;
