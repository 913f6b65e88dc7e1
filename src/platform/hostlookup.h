#pragma once
// Host-name lookup with a time limit. The system's resolver has no time-out
// of its own, so the lookup runs on a helper thread and the caller waits at
// most TimeoutMs for it. A lookup still running when the caller gives up
// finishes on its own and touches nothing but its own state; it holds no
// resource of the caller's. Its thread is joined later, by the next lookup
// once it has ended or by JoinHostLookups at shut-down, so none outlives the
// program. Any thread.

#include <QString>

// The IPv4 address (dotted text) of Host: Host itself when it is already
// one, else the first address the resolver gives. False with ErrorText when
// the name does not resolve or the time runs out.
bool LookupIPv4(const QString& host, int timeoutMs, QString* address, QString* errorText = nullptr);

// Shut-down: waits for every lookup thread still running (each is bounded by
// the resolver's own time-outs) and joins it.
void JoinHostLookups();
