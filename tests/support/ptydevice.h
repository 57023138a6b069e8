#pragma once

// A pseudo-terminal standing in for a serial device: the program opens the
// slave side as its port, the test writes and reads the master side.

#include <QByteArray>
#include <QString>

namespace lanting::test
{

class Pty
{
public:
    Pty();
    ~Pty();
    bool isOpen() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    void write(const QByteArray &bytes);
    // Whatever the program has sent so far (waits up to timeoutMs for some).
    QByteArray read(int timeoutMs = 1000);
    // Hangs the line up, as an unplugged device does.
    void close();

private:
    int m_master = -1;
    int m_slave = -1; // kept open so the line stays up until close()
    QString m_slavePath;
};

// Points card reader port `portNo` of the program folder at a device.
void configureReaderPort(const QString &programFolder, int portNo, const QString &device);
// The same for the cash drawer's port name ("COM1" to "COM7").
void configureDrawerPort(const QString &programFolder, const QString &port, const QString &device);

} // namespace lanting::test
