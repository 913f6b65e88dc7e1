#pragma once
// Lists shared between threads: an ordered list guarded by a multi-reader,
// single-writer lock that reports its fill state through up to four
// manual-reset events (items present, empty, at or below a low mark, at or
// above a high mark).
//
// The list never takes its own lock: callers bracket every use with
// BeginRead/EndRead (Count, GetItem, iteration) or BeginWrite/EndWrite (Add,
// Remove, Delete, Clear), and the events change inside that bracket. Any
// thread may wait on the events without the lock; a waiter that wakes takes
// the lock before it touches the list.

#include "platform/threads.h"

#include <QList>
#include <QString>
#include <memory>
#include <stdexcept>
#include <utility>

class TNWaitableObject {
public:
    // States of SetState/ResetState.
    enum { StateEmpty = 0, StateItems = 1, StateLow = 2, StateHigh = 3 };

    TNWaitableObject(bool createItemsEvent, bool createEmptyEvent, bool createLowEvent, int lowMark,
                     bool createHighEvent, int highMark);
    virtual ~TNWaitableObject();
    TNWaitableObject(const TNWaitableObject&) = delete;
    TNWaitableObject& operator=(const TNWaitableObject&) = delete;

    // 0: reset Items, signal Empty. 1: reset Empty, signal Items. 2: signal
    // Low. 3: signal High. Events that were not made are skipped.
    void SetState(int state);
    // 0: reset Empty. 1: reset Items. 2: reset Low. 3: reset High.
    void ResetState(int state);
    // Waits on ItemsEvent; wrError when the object has none.
    TWaitResult WaitForItems(int timeoutMs);

    TNEvent* ItemsEvent() const { return m_itemsEvent.get(); }
    TNEvent* EmptyEvent() const { return m_emptyEvent.get(); }
    TNEvent* LowEvent() const { return m_lowEvent.get(); }
    TNEvent* HighEvent() const { return m_highEvent.get(); }
    bool HasItemsEvent() const { return m_itemsEvent != nullptr; }
    bool HasEmptyEvent() const { return m_emptyEvent != nullptr; }
    bool HasLowEvent() const { return m_lowEvent != nullptr; }
    bool HasHighEvent() const { return m_highEvent != nullptr; }
    int LowMark() const { return m_lowMark; }
    int HighMark() const { return m_highMark; }

private:
    TNEvent* EventOf(int state) const;  // the event of a state, or nullptr

    std::unique_ptr<TNEvent> m_itemsEvent;
    std::unique_ptr<TNEvent> m_emptyEvent;
    std::unique_ptr<TNEvent> m_lowEvent;
    std::unique_ptr<TNEvent> m_highEvent;
    int m_lowMark;
    int m_highMark;
};

// The index error of the list (Delete with an index out of range).
class EListError : public std::out_of_range {
public:
    explicit EListError(const QString& message) : std::out_of_range(message.toStdString()) {}
};

// A list of T* (a complete type when the list owns its objects). With
// OwnsObjects the list deletes its items on Remove, Delete, Clear and
// destruction; otherwise it only refers to them.
template <class T>
class TNBaseThreadSharedList : public TNWaitableObject {
public:
    TNBaseThreadSharedList(bool ownsObjects, bool createItemsEvent, bool createEmptyEvent, bool createLowEvent,
                           int lowMark, bool createHighEvent, int highMark)
        : TNWaitableObject(createItemsEvent, createEmptyEvent, createLowEvent, lowMark, createHighEvent, highMark),
          m_ownsObjects(ownsObjects)
    {
        SetState(StateLow);
        SetState(StateEmpty);
    }

    ~TNBaseThreadSharedList() override
    {
        // Destruction clears without the virtual slot: derived parts are gone.
        TNBaseThreadSharedList::Clear();
    }

    bool OwnsObjects() const { return m_ownsObjects; }

    int Add(T* item)
    {
        m_list.append(item);
        SetState(StateItems);
        if (Count() >= HighMark())
            SetState(StateHigh);
        if (Count() > LowMark())
            ResetState(StateLow);
        return Count() - 1;
    }

    int Remove(T* item)
    {
        const int index = static_cast<int>(m_list.indexOf(item));
        if (index >= 0) {
            m_list.removeAt(index);
            Free(item);
        }
        if (Count() == 0)
            SetState(StateEmpty);
        if (Count() <= LowMark())
            SetState(StateLow);
        if (Count() < HighMark())
            ResetState(StateHigh);
        return index;
    }

    virtual void Delete(int index)
    {
        if (index < 0 || index >= Count())
            throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
        T* item = m_list.takeAt(index);
        Free(item);
        if (Count() <= LowMark())
            SetState(StateLow);
        if (Count() == 0)
            SetState(StateEmpty);
    }

    virtual void Clear()
    {
        const QList<T*> items = std::exchange(m_list, {});
        for (T* item : items)
            Free(item);
        SetState(StateEmpty);
        SetState(StateLow);
    }

    int Count() const { return static_cast<int>(m_list.size()); }
    // Nullptr for an index out of range.
    T* GetItem(int index) const { return index >= 0 && index < Count() ? m_list.at(index) : nullptr; }
    int IndexOf(const T* item) const { return static_cast<int>(m_list.indexOf(const_cast<T*>(item))); }

    void BeginRead() { m_lock.BeginRead(); }
    void EndRead() { m_lock.EndRead(); }
    void BeginWrite() { m_lock.BeginWrite(); }
    void EndWrite() { m_lock.EndWrite(); }
    TNMultiReadExclusiveWriteSynchronizer& Lock() { return m_lock; }

private:
    void Free(T* item)
    {
        if (m_ownsObjects)
            delete item;
    }

    const bool m_ownsObjects;
    QList<T*> m_list;
    TNMultiReadExclusiveWriteSynchronizer m_lock;
};
