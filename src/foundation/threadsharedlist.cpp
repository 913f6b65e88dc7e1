#include "foundation/threadsharedlist.h"

namespace {
std::unique_ptr<TNEvent> MakeEvent(bool wanted)
{
    return wanted ? std::make_unique<TNEvent>(false) : nullptr;
}

void Signal(TNEvent* event)
{
    if (event)
        event->SetEvent();
}

void Reset(TNEvent* event)
{
    if (event)
        event->ResetEvent();
}
}  // namespace

TNWaitableObject::TNWaitableObject(bool createItemsEvent, bool createEmptyEvent, bool createLowEvent, int lowMark,
                                   bool createHighEvent, int highMark)
    : m_itemsEvent(MakeEvent(createItemsEvent)),
      m_emptyEvent(MakeEvent(createEmptyEvent)),
      m_lowEvent(MakeEvent(createLowEvent)),
      m_highEvent(MakeEvent(createHighEvent)),
      m_lowMark(lowMark),
      m_highMark(highMark)
{
}

TNWaitableObject::~TNWaitableObject() = default;

TNEvent* TNWaitableObject::EventOf(int state) const
{
    switch (state) {
        case StateEmpty:
            return m_emptyEvent.get();
        case StateItems:
            return m_itemsEvent.get();
        case StateLow:
            return m_lowEvent.get();
        case StateHigh:
            return m_highEvent.get();
        default:
            return nullptr;
    }
}

void TNWaitableObject::SetState(int state)
{
    // Empty and items exclude each other: the other one is reset first.
    if (state == StateEmpty)
        Reset(m_itemsEvent.get());
    else if (state == StateItems)
        Reset(m_emptyEvent.get());
    Signal(EventOf(state));
}

void TNWaitableObject::ResetState(int state)
{
    Reset(EventOf(state));
}

TWaitResult TNWaitableObject::WaitForItems(int timeoutMs)
{
    // A list made without ItemsEvent cannot be waited on; say so instead of
    // waiting for ever.
    if (!m_itemsEvent)
        return wrError;
    return m_itemsEvent->WaitFor(timeoutMs);
}
