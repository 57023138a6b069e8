#pragma once

#include "cardreader.h"

#include <QSerialPort>

namespace lanting::devices
{

// A card reader on a serial port that sends each card presented as one line
// of text (ended by CR, LF or CR LF). A line with nothing printable on it is
// a read with status 0. The acknowledgement beep is one BEL byte (0x07) sent
// to the reader.
class SerialCardReader : public CardReader
{
    Q_OBJECT

public:
    explicit SerialCardReader(QObject *parent = nullptr);
    ~SerialCardReader() override;

    // The device behind a port number: "port<n>" under [reader] in the
    // program folder's lanting.ini, else the n-th serial port /dev/ttyS<n-1>.
    static QString devicePath(int portNo);

    void setPortNo(double port) override { m_portNo = int(port); }
    void setBaudRate(double baud) override { m_baud = int(baud); }
    void setCardKey(const QString &key) override { m_key = key; }
    void setCardMode(int mode) override { m_mode = mode; }
    QString cardKey() const { return m_key; }
    int portNo() const { return m_portNo; }
    int baudRate() const { return m_baud; }

    bool OpenReader() override;
    void CloseReader() override;
    void Beep(int length) override;

    bool isOpen() const { return m_port.isOpen(); }

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void takeLine(const QByteArray &line);
    void forgetLine(); // a line begun on a connection that has ended

    QSerialPort m_port;
    QByteArray m_partial;
    bool m_afterCr = false;
    bool m_overflow = false; // in a line past kMaxLine, until its end
    int m_portNo = 1;
    int m_baud = 9600;
    QString m_key;
    int m_mode = 2;
};

} // namespace lanting::devices
