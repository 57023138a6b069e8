#pragma once

#include "cardreader.h"

#include <QByteArray>
#include <QStringList>
#include <memory>

namespace lanting::devices
{

class PcscWorker;

// A contactless reader served by pcscd (ACR122U and the many readers like
// it). A thread waits for cards; on a MIFARE Classic card it loads the sector
// key, authenticates with key A and reads the number block, or, for cards
// without one, reads only the card's serial number (UID). Unplugging the
// reader, or pcscd ending, raises Disconnected.
class PcscCardReader : public CardReader
{
    Q_OBJECT

public:
    explicit PcscCardReader(QObject *parent = nullptr);
    ~PcscCardReader() override;

    // The readers pcscd serves now; empty, with the reason in *error, when
    // pcscd does not answer.
    static QStringList readers(QString *error = nullptr);
    // The number a card's block carries: printable text as it stands, else
    // hexadecimal digits, so that a number written in BCD reads as its
    // digits; padding at the end (zeros, blanks, FF) left off. Empty for a
    // block never written.
    static QString blockText(const QByteArray &block);
    // ACS readers (ACR122U and its kin) take the buzzer command.
    static bool hasBuzzer(const QString &readerName);
    // The APDUs sent to the card.
    static QByteArray loadKeyCommand(const QByteArray &key);
    static QByteArray authenticateCommand(int block);
    static QByteArray readCommand(int block);

    // Serial line settings mean nothing to a PC/SC reader.
    void setPortNo(double) override {}
    void setBaudRate(double) override {}
    void setCardKey(const QString &key) override { m_key = key; }
    void setCardMode(int) override {}
    // The reader to use: empty for the first one present, else its name or
    // the beginning of it.
    void setReaderName(const QString &name) { m_wanted = name; }
    void setUidOnly(bool uidOnly) { m_uidOnly = uidOnly; }
    void setBlock(int block) { m_block = block; }

    bool OpenReader() override;
    void CloseReader() override;
    void Beep(int length) override;

    bool isOpen() const { return bool(m_worker); }
    QString readerName() const { return m_name; } // the one opened

private:
    void onRead(int status, const QString &data);
    void onGone();

    std::unique_ptr<PcscWorker> m_worker;
    quint64 m_generation = 0; // of the worker, so that a closed one is not heard
    QString m_wanted, m_name, m_key;
    bool m_uidOnly = false;
    int m_block = 4;
};

} // namespace lanting::devices
