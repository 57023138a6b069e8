#include "cardreader.h"

#include <QTimer>

namespace lanting::devices
{

void CardReader::ReadEnabled(bool enabled)
{
    m_enabled = enabled;
    if (enabled && !m_pending.isEmpty())
        scheduleDelivery();
}

void CardReader::hold(int status, const QString &data)
{
    m_pending.enqueue({status, data});
}

void CardReader::scheduleDelivery()
{
    if (m_deliveryQueued)
        return;
    m_deliveryQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_deliveryQueued = false;
        deliver();
    });
}

// Hands the held reads on, oldest first, each once. A receiver that holds
// reads back while it works stops the delivery until it enables them again.
void CardReader::deliver()
{
    if (m_delivering)
        return;
    m_delivering = true;
    while (m_enabled && !m_pending.isEmpty()) {
        const Read r = m_pending.dequeue();
        Q_EMIT CardRead(r.status, r.data);
    }
    m_delivering = false;
}

} // namespace lanting::devices
