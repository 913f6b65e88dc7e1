#include "support/messageanswerer.h"

MessageAnswerer::MessageAnswerer()
{
    m_previous = SetMessageHandler([this](const TMessageRequest& r) {
        m_requests << r;
        if (!m_answers.isEmpty())
            return m_answers.takeFirst();
        if (r.DefaultButton)
            return r.DefaultButton;
        for (int bit = 1; bit <= mbYesToAll; bit <<= 1)
            if (r.Buttons & bit)
                return bit;
        return int(mbOK);
    });
}

MessageAnswerer::~MessageAnswerer() { SetMessageHandler(std::move(m_previous)); }

QStringList MessageAnswerer::Texts() const
{
    QStringList texts;
    for (const auto& r : m_requests)
        texts << r.Text;
    return texts;
}
