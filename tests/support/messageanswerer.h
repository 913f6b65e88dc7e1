#pragma once
// Answers message boxes in tests: records every request and answers from a
// queue (or with the default button when the queue is empty). Restores the
// previous handler when it goes out of scope.
#include "platform/messagedlg.h"

#include <QList>
#include <QStringList>

class MessageAnswerer {
public:
    MessageAnswerer();
    ~MessageAnswerer();
    MessageAnswerer(const MessageAnswerer&) = delete;
    MessageAnswerer& operator=(const MessageAnswerer&) = delete;

    void QueueAnswer(int button) { m_answers << button; }
    QStringList Texts() const;
    const QList<TMessageRequest>& Requests() const { return m_requests; }
    void Clear() { m_requests.clear(); }

private:
    QList<TMessageRequest> m_requests;
    QList<int> m_answers;
    TMessageHandler m_previous;
};
