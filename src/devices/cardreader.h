#pragma once

#include <QObject>
#include <QQueue>
#include <QString>

namespace lanting::devices
{

// The card reader control hosted by the main window (Qzic). The properties
// are set, in the order CardMode, CardKey, PortNo, BaudRate, before
// OpenReader; ReadEnabled(false) holds CardRead back until ReadEnabled(true).
class CardReader : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void setPortNo(double port) = 0;
    virtual void setBaudRate(double baud) = 0;
    virtual void setCardKey(const QString &key) = 0;
    virtual void setCardMode(int mode) = 0;

    virtual bool OpenReader() = 0;
    virtual void CloseReader() = 0;
    virtual void Beep(int length) = 0;
    virtual void ReadEnabled(bool enabled);

Q_SIGNALS:
    // status 0: nothing usable was read; otherwise data holds the card's
    // number; -1 marks a read to acknowledge with Beep.
    void CardRead(int status, const QString &data);
    void Disconnected();

protected:
    // Keeps a read for deliver(), which hands it on once the receiver takes
    // reads.
    void hold(int status, const QString &data);
    // Hands the held reads on now (when the receiver takes them).
    void deliver();

private:
    void scheduleDelivery();

    struct Read {
        int status;
        QString data;
    };
    QQueue<Read> m_pending;
    bool m_enabled = true;
    bool m_delivering = false;
    bool m_deliveryQueued = false;
};

} // namespace lanting::devices
