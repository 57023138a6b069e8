#include "pcsccardreader.h"

#include "cardsettings.h"

#include <QMutex>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <optional>
#include <reader.h>
#include <winscard.h>

using namespace Qt::Literals::StringLiterals;

namespace lanting::devices
{

namespace
{

// pcscd drops a cancel that comes while no wait is under way: waits are
// short so that a beep asked for just then is late by no more than this.
constexpr DWORD kWaitMs = 250;

bool readerGone(LONG rv)
{
    return rv == SCARD_E_NO_SERVICE || rv == SCARD_E_SERVICE_STOPPED ||
           rv == SCARD_E_UNKNOWN_READER || rv == SCARD_E_READER_UNAVAILABLE ||
           rv == SCARD_E_NO_READERS_AVAILABLE || rv == SCARD_E_INVALID_HANDLE ||
           rv == SCARD_F_COMM_ERROR;
}

QString pcscError(LONG rv)
{
    return QString::fromLocal8Bit(pcsc_stringify_error(rv));
}

// An APDU's answer less its status word, when that is 90 00. *talked is set
// false when the card could not be reached at all (as against refusing).
std::optional<QByteArray> transmit(SCARDHANDLE card, DWORD protocol, const QByteArray &apdu,
                                   bool *talked = nullptr)
{
    unsigned char answer[MAX_BUFFER_SIZE];
    DWORD length = sizeof answer;
    const SCARD_IO_REQUEST *pci = protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
    const LONG rv = SCardTransmit(card, pci, reinterpret_cast<const unsigned char *>(apdu.data()),
                                  DWORD(apdu.size()), nullptr, answer, &length);
    if (talked)
        *talked = rv == SCARD_S_SUCCESS;
    if (rv != SCARD_S_SUCCESS || length < 2 || answer[length - 2] != 0x90 ||
        answer[length - 1] != 0x00)
        return std::nullopt;
    return QByteArray(reinterpret_cast<const char *>(answer), qsizetype(length - 2));
}

QStringList splitMultiString(const char *list, DWORD length)
{
    QStringList out;
    for (DWORD i = 0; i < length && list[i];) {
        const QByteArray name(list + i);
        out << QString::fromLocal8Bit(name);
        i += DWORD(name.size()) + 1;
    }
    return out;
}

} // namespace

// Waits for cards on one reader in its own context, reads each card once as
// it arrives, and sounds the buzzer when asked.
class PcscWorker : public QThread
{
    Q_OBJECT

public:
    PcscWorker(const QString &reader, const QByteArray &key, bool uidOnly, int block)
        : m_reader(reader.toLocal8Bit()), m_key(key), m_uidOnly(uidOnly), m_block(block)
    {
    }

    void stop()
    {
        m_stop = true;
        do
            wake(); // again, should the first come between two waits
        while (!wait(50));
    }

    void beep(int length)
    {
        m_beeps.fetch_add(length > 0 ? length : 1);
        wake();
    }

Q_SIGNALS:
    void cardRead(int status, const QString &data);
    void gone();

protected:
    void run() override
    {
        SCARDCONTEXT context = 0;
        if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) !=
            SCARD_S_SUCCESS) {
            Q_EMIT gone();
            return;
        }
        {
            QMutexLocker lock(&m_contextLock);
            m_context = context;
        }
        SCARD_READERSTATE state{};
        state.szReader = m_reader.constData();
        state.dwCurrentState = SCARD_STATE_UNAWARE;
        bool present = false;
        DWORD events = 0; // pcscd's count of cards come and gone
        while (!m_stop) {
            if (const int length = m_beeps.exchange(0); length > 0)
                sound(context, length);
            const LONG rv = SCardGetStatusChange(context, kWaitMs, &state, 1);
            if (m_stop)
                break;
            if (rv == SCARD_E_TIMEOUT || rv == SCARD_E_CANCELLED)
                continue;
            if ((rv == SCARD_S_SUCCESS && (state.dwEventState & SCARD_STATE_UNKNOWN)) ||
                readerGone(rv)) {
                Q_EMIT gone();
                break;
            }
            if (rv != SCARD_S_SUCCESS || (state.dwEventState & SCARD_STATE_UNAVAILABLE)) {
                QThread::msleep(200); // something passing; ask again shortly
                continue;
            }
            const bool now = (state.dwEventState & SCARD_STATE_PRESENT) &&
                             !(state.dwEventState & SCARD_STATE_MUTE);
            state.dwCurrentState = state.dwEventState & ~SCARD_STATE_CHANGED;
            // A card taken off and another put on while the last one was
            // read shows as present all along, with the count moved on.
            const DWORD count = state.dwEventState >> 16;
            const bool another = present && count != events;
            events = count;
            if (now && (!present || another)) {
                const QString data = readCard(context);
                Q_EMIT cardRead(data.isEmpty() ? 0 : -1, data);
            }
            present = now;
        }
        {
            QMutexLocker lock(&m_contextLock);
            m_context = 0;
        }
        SCardReleaseContext(context);
    }

private:
    void wake()
    {
        QMutexLocker lock(&m_contextLock);
        if (m_context)
            SCardCancel(m_context);
    }

    // A card moved through the field, or swapped for another faster than
    // pcscd looks, may answer nothing at first: it is powered up again and
    // asked again, a few times, before the read counts as failed.
    QString readCard(SCARDCONTEXT context) const
    {
        bool talked = false;
        for (int attempt = 0; attempt < 3 && !m_stop; ++attempt) {
            if (attempt > 0)
                QThread::msleep(100);
            SCARDHANDLE card = 0;
            DWORD protocol = 0;
            if (SCardConnect(context, m_reader.constData(), SCARD_SHARE_SHARED, SCARD_PROTOCOL_ANY,
                             &card, &protocol) != SCARD_S_SUCCESS)
                continue;
            const QString data = readConnected(card, protocol, &talked);
            SCardDisconnect(card, talked ? SCARD_LEAVE_CARD : SCARD_RESET_CARD);
            if (talked)
                return data;
        }
        return {};
    }

    QString readConnected(SCARDHANDLE card, DWORD protocol, bool *talked) const
    {
        if (m_uidOnly) {
            const auto uid = transmit(card, protocol, QByteArray::fromHex("FFCA000000"), talked);
            return uid ? QString::fromLatin1(uid->toHex().toUpper()) : QString();
        }
        if (!transmit(card, protocol, PcscCardReader::loadKeyCommand(m_key), talked) ||
            !transmit(card, protocol, PcscCardReader::authenticateCommand(m_block), talked))
            return {};
        const auto block = transmit(card, protocol, PcscCardReader::readCommand(m_block), talked);
        return block && block->size() == 16 ? PcscCardReader::blockText(*block) : QString();
    }

    // The ACS buzzer command: through the card when one is on the reader,
    // else to the reader itself (its escape channel, in direct mode).
    void sound(SCARDCONTEXT context, int length) const
    {
        if (!PcscCardReader::hasBuzzer(QString::fromLocal8Bit(m_reader)))
            return;
        const int tenths = std::clamp(length / 10, 1, 20);
        QByteArray apdu = QByteArray::fromHex("FF00400004");
        apdu.append(char(tenths)).append('\0').append('\1').append('\1');
        SCARDHANDLE card = 0;
        DWORD protocol = 0;
        if (SCardConnect(context, m_reader.constData(), SCARD_SHARE_SHARED, SCARD_PROTOCOL_ANY,
                         &card, &protocol) == SCARD_S_SUCCESS) {
            transmit(card, protocol, apdu);
        } else if (SCardConnect(context, m_reader.constData(), SCARD_SHARE_DIRECT, 0, &card,
                                &protocol) == SCARD_S_SUCCESS) {
            // The escape code of pcsc-lite's CCID driver, then the one of
            // ACS's own driver (and of Windows).
            unsigned char answer[MAX_BUFFER_SIZE];
            DWORD length = 0;
            if (SCardControl(card, SCARD_CTL_CODE(1), apdu.constData(), DWORD(apdu.size()), answer,
                             sizeof answer, &length) != SCARD_S_SUCCESS)
                SCardControl(card, SCARD_CTL_CODE(3500), apdu.constData(), DWORD(apdu.size()),
                             answer, sizeof answer, &length);
        } else {
            return;
        }
        SCardDisconnect(card, SCARD_LEAVE_CARD);
    }

    const QByteArray m_reader, m_key;
    const bool m_uidOnly;
    const int m_block;
    std::atomic_bool m_stop = false;
    std::atomic_int m_beeps = 0;
    QMutex m_contextLock;
    SCARDCONTEXT m_context = 0;
};

PcscCardReader::PcscCardReader(QObject *parent) : CardReader(parent) {}

PcscCardReader::~PcscCardReader()
{
    CloseReader();
}

QStringList PcscCardReader::readers(QString *error)
{
    SCARDCONTEXT context = 0;
    LONG rv = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context);
    if (rv != SCARD_S_SUCCESS) {
        if (error)
            *error = pcscError(rv);
        return {};
    }
    QStringList out;
    char *list = nullptr;
    DWORD length = SCARD_AUTOALLOCATE;
    rv = SCardListReaders(context, nullptr, reinterpret_cast<char *>(&list), &length);
    if (rv == SCARD_S_SUCCESS) {
        out = splitMultiString(list, length);
        SCardFreeMemory(context, list);
    } else if (error && rv != SCARD_E_NO_READERS_AVAILABLE) {
        *error = pcscError(rv);
    }
    SCardReleaseContext(context);
    return out;
}

QString PcscCardReader::blockText(const QByteArray &block)
{
    QByteArray text = block;
    while (!text.isEmpty() && (text.back() == '\0' || text.back() == ' ' || text.back() == '\xFF'))
        text.chop(1);
    if (text.isEmpty())
        return {};
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7f; }))
        return QString::fromLatin1(text).trimmed();
    // Digits in BCD: trailing zero bytes belong to the number, FF is padding.
    QByteArray digits = block;
    while (digits.endsWith('\xFF'))
        digits.chop(1);
    return QString::fromLatin1(digits.toHex().toUpper());
}

bool PcscCardReader::hasBuzzer(const QString &readerName)
{
    return readerName.startsWith(u"ACS "_s) || readerName.contains(u"ACR"_s);
}

QByteArray PcscCardReader::loadKeyCommand(const QByteArray &key)
{
    return QByteArray::fromHex("FF82000006") + key;
}

QByteArray PcscCardReader::authenticateCommand(int block)
{
    QByteArray apdu = QByteArray::fromHex("FF860000050100");
    return apdu.append(char(block)).append('\x60').append('\0'); // key A, slot 0
}

QByteArray PcscCardReader::readCommand(int block)
{
    QByteArray apdu = QByteArray::fromHex("FFB000");
    return apdu.append(char(block)).append('\x10');
}

bool PcscCardReader::OpenReader()
{
    CloseReader();
    const QStringList present = readers();
    QString chosen;
    if (m_wanted.isEmpty()) {
        chosen = present.value(0);
    } else if (present.contains(m_wanted)) {
        chosen = m_wanted;
    } else {
        for (const QString &name : present)
            if (name.startsWith(m_wanted)) {
                chosen = name;
                break;
            }
    }
    const QByteArray key = QByteArray::fromHex(m_key.toLatin1());
    if (chosen.isEmpty() || (!m_uidOnly && !validSectorKey(m_key)))
        return false;
    m_name = chosen;
    m_worker = std::make_unique<PcscWorker>(chosen, key, m_uidOnly, m_block);
    // What a worker closed meanwhile still had on its way is dropped.
    const quint64 generation = ++m_generation;
    connect(m_worker.get(), &PcscWorker::cardRead, this,
            [this, generation](int status, const QString &data) {
                if (m_worker && m_generation == generation)
                    onRead(status, data);
            });
    connect(m_worker.get(), &PcscWorker::gone, this, [this, generation] {
        if (m_worker && m_generation == generation)
            onGone();
    });
    m_worker->start();
    return true;
}

void PcscCardReader::CloseReader()
{
    if (!m_worker)
        return;
    m_worker->disconnect(this);
    m_worker->stop();
    m_worker.reset();
}

void PcscCardReader::Beep(int length)
{
    if (m_worker)
        m_worker->beep(length);
}

void PcscCardReader::onRead(int status, const QString &data)
{
    hold(status, data);
    deliver();
}

void PcscCardReader::onGone()
{
    CloseReader();
    Q_EMIT Disconnected();
}

} // namespace lanting::devices

#include "pcsccardreader.moc"
