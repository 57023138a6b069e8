#include "messages.h"

#include <QDebug>

using namespace Qt::Literals::StringLiterals;

namespace lanting
{

namespace
{

class LogSink : public MessageSink
{
public:
    MsgAnswer show(const Message &m) override
    {
        qWarning().noquote() << m.caption << ':' << m.text;
        return m.defaultAnswer;
    }
};

LogSink logSink;
MessageSink *current = &logSink;

} // namespace

void setMessageSink(MessageSink *sink)
{
    current = sink ? sink : &logSink;
}

MsgAnswer showMessage(const Message &m)
{
    return current->show(m);
}

void msgNotice(const QString &text)
{
    showMessage({u"提示"_s, MsgIcon::Warning, text});
}

void msgSuccess(const QString &text)
{
    showMessage({u"提示"_s, MsgIcon::Information, text});
}

void msgError(const QString &description)
{
    showMessage({u"错误提示"_s, MsgIcon::Critical, description});
}

bool askYesNo(const QString &text, const QString &caption, bool defaultNo)
{
    const Message m{caption, MsgIcon::Question, text, MsgButtons::YesNo,
                    defaultNo ? MsgAnswer::No : MsgAnswer::Yes};
    return showMessage(m) == MsgAnswer::Yes;
}

} // namespace lanting
