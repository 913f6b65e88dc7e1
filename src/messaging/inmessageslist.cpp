#include "messaging/inmessageslist.h"

#include <algorithm>
#include <memory>
#include <vector>

TNInMessagesList InMessagesList;

void TNInMessagesList::Add(const TClientInputMessage& message)
{
    auto item = std::make_unique<TClientInputMessage>(message);
    TNWriteGuard guard(Lock());
    TNBaseThreadSharedList::Add(item.release());
}

void TNInMessagesList::AddAll(const QList<TClientInputMessage>& messages)
{
    if (messages.isEmpty())
        return;
    std::vector<std::unique_ptr<TClientInputMessage>> items;
    items.reserve(size_t(messages.size()));
    for (const TClientInputMessage& message : messages)
        items.push_back(std::make_unique<TClientInputMessage>(message));
    TNWriteGuard guard(Lock());
    for (auto& item : items)
        TNBaseThreadSharedList::Add(item.release());
}

bool TNInMessagesList::TakeFirst(TClientInputMessage* message)
{
    TNWriteGuard guard(Lock());
    if (Count() == 0) {
        ResetState(StateItems);
        return false;
    }
    *message = *GetItem(0);
    Delete(0);
    if (Count() == 0)
        ResetState(StateItems);
    return true;
}

int TNInMessagesList::TakeFirstOnes(QList<TClientInputMessage>& messages, int max)
{
    TNWriteGuard guard(Lock());
    const int taken = std::min(max, Count());
    messages.reserve(messages.size() + taken);
    for (int i = 0; i < taken; ++i) {
        messages << *GetItem(0);
        Delete(0);
    }
    if (Count() == 0)
        ResetState(StateItems);
    return taken;
}

int TNInMessagesList::PendingCount()
{
    TNReadGuard guard(Lock());
    return Count();
}

void TNInMessagesList::Nudge()
{
    TNWriteGuard guard(Lock());
    SetState(StateItems);
}
