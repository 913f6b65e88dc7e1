#include "platform/hostlookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <chrono>
#include <condition_variable>
#include <iterator>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace {
struct TLookup {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    int result = 0;
    in_addr address{};
};

// The lookup threads not joined yet, with their state.
struct TLookupThreads {
    std::mutex lock;
    std::list<std::pair<std::thread, std::shared_ptr<TLookup>>> threads;
    // A program that never called JoinHostLookups still waits for them.
    ~TLookupThreads()
    {
        for (auto& entry : threads)
            entry.first.join();
    }
};

TLookupThreads& LookupThreads()
{
    static TLookupThreads threads;
    return threads;
}

bool Finished(TLookup& lookup)
{
    std::lock_guard<std::mutex> guard(lookup.lock);
    return lookup.finished;
}

// Joins the lookup threads that have ended, or all of them.
void JoinLookups(bool all)
{
    std::list<std::pair<std::thread, std::shared_ptr<TLookup>>> ended;
    {
        std::lock_guard<std::mutex> guard(LookupThreads().lock);
        auto& threads = LookupThreads().threads;
        for (auto it = threads.begin(); it != threads.end();) {
            auto next = std::next(it);
            if (all || Finished(*it->second))
                ended.splice(ended.end(), threads, it);
            it = next;
        }
    }
    for (auto& entry : ended)
        entry.first.join();
}
}  // namespace

void JoinHostLookups()
{
    JoinLookups(true);
}

bool LookupIPv4(const QString& host, int timeoutMs, QString* address, QString* errorText)
{
    const QByteArray name = host.trimmed().toLocal8Bit();
    in_addr direct{};
    if (!name.isEmpty() && inet_pton(AF_INET, name.constData(), &direct) == 1) {
        *address = QString::fromLatin1(name);
        return true;
    }
    if (name.isEmpty()) {
        if (errorText)
            *errorText = QStringLiteral("No host name given");
        return false;
    }
    JoinLookups(false);
    auto lookup = std::make_shared<TLookup>();
    std::thread thread([lookup, name] {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const int rc = getaddrinfo(name.constData(), nullptr, &hints, &found);
        std::lock_guard<std::mutex> guard(lookup->lock);
        lookup->result = rc == 0 && found ? 0 : (rc != 0 ? rc : EAI_NONAME);
        if (lookup->result == 0)
            lookup->address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
        if (found)
            freeaddrinfo(found);
        lookup->finished = true;
        lookup->done.notify_all();
    });
    {
        std::lock_guard<std::mutex> threads(LookupThreads().lock);
        LookupThreads().threads.emplace_back(std::move(thread), lookup);
    }
    std::unique_lock<std::mutex> guard(lookup->lock);
    if (!lookup->done.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return lookup->finished; })) {
        if (errorText)
            *errorText = QStringLiteral("The host name \"%1\" was not resolved within %2 ms").arg(host).arg(timeoutMs);
        return false;
    }
    if (lookup->result != 0) {
        if (errorText)
            *errorText = QStringLiteral("The host name \"%1\" cannot be resolved: %2")
                             .arg(host, QString::fromLocal8Bit(gai_strerror(lookup->result)));
        return false;
    }
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &lookup->address, text, sizeof text);
    *address = QString::fromLatin1(text);
    return true;
}
