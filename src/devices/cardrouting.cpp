#include "cardrouting.h"

#include "appstate.h"
#include "cardreader.h"

#include <map>

namespace lanting::devices
{

namespace
{
std::map<int, CardHandler> &handlers()
{
    static std::map<int, CardHandler> h;
    return h;
}
} // namespace

void setTargetHandler(int target, CardHandler handler)
{
    if (handler)
        handlers()[target] = std::move(handler);
    else
        handlers().erase(target);
}

QString cardNumberOf(const QString &data)
{
    return data.right(12);
}

void deliverCard(const QString &cardNumber)
{
    const int target = state().cardTarget;
    if (target == TargetNone)
        return;
    const auto it = handlers().find(target);
    if (it != handlers().end()) {
        const CardHandler handler = it->second; // the handler may replace itself
        handler(cardNumber);
    }
}

void handleCardRead(CardReader &reader, int status, const QString &data)
{
    reader.ReadEnabled(false);
    if (status != 0) {
        if (state().cardTarget != TargetNone && status == -1)
            reader.Beep(10);
        deliverCard(cardNumberOf(data));
    }
    reader.ReadEnabled(true);
}

TargetScope::TargetScope(int target) : m_previous(state().cardTarget)
{
    state().savedTarget = m_previous;
    state().cardTarget = target;
}

TargetScope::~TargetScope()
{
    state().cardTarget = m_previous;
}

} // namespace lanting::devices
