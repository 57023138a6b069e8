#pragma once

#include <QString>

namespace lanting
{

// Every message the system shows passes through here. The windows install a
// sink that shows real message boxes; tests install one that records them.

enum class MsgIcon { Warning, Information, Question, Critical };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

struct Message {
    QString caption;
    MsgIcon icon = MsgIcon::Warning;
    QString text;
    MsgButtons buttons = MsgButtons::Ok;
    MsgAnswer defaultAnswer = MsgAnswer::Ok;
};

class MessageSink
{
public:
    virtual ~MessageSink() = default;
    virtual MsgAnswer show(const Message &m) = 0;
};

// Not owned. nullptr restores the built-in sink, which only logs and gives
// the default answer.
void setMessageSink(MessageSink *sink);
MsgAnswer showMessage(const Message &m);

// The conventions of the system's message boxes.
void msgNotice(const QString &text);       // "提示", warning icon: refusals and notices
void msgSuccess(const QString &text);      // "提示", information icon
void msgError(const QString &description); // "错误提示", error icon
// Yes/No question with the question icon; true on Yes.
bool askYesNo(const QString &text, const QString &caption, bool defaultNo = false);

} // namespace lanting
