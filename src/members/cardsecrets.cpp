#include "cardsecrets.h"

#include "database.h"
#include "secrets.h"
#include "sysinfo.h"

#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

namespace
{
const QString kMarker = u"mberpwd"_s;
}

bool cardSecretsPending()
{
    return GetSysInfo(kMarker) == u"plain"_s;
}

QList<PlainCardSecret> plainCardSecrets(const QString &after, int count, QString *last)
{
    Sql q(u"SELECT id, pwd FROM mber WHERE id > ? ORDER BY id LIMIT ?"_s);
    q.bind(after.isNull() ? u""_s : after).bind(count).exec(); // a null would match nothing
    QList<PlainCardSecret> out;
    int read = 0;
    last->clear();
    while (q.next()) {
        ++read;
        *last = q.text(0);
        const QString pwd = q.text(1);
        if (!pwd.isEmpty() && !isHashed(pwd))
            out.append({q.text(0), pwd});
    }
    if (read < count)
        last->clear();
    return out;
}

QStringList hashCardSecrets(const QList<PlainCardSecret> &secrets)
{
    QStringList out;
    out.reserve(secrets.size());
    for (const PlainCardSecret &s : secrets)
        out << hashSecret(s.plain, SecretUse::Card);
    return out;
}

int storeCardSecrets(const QList<PlainCardSecret> &secrets, const QStringList &hashes)
{
    return retrying([&] {
        Transaction tx;
        int written = 0;
        for (qsizetype i = 0; i < secrets.size(); ++i) {
            Sql q(u"UPDATE mber SET pwd = ? WHERE id = ? AND pwd = ?"_s);
            q.bind(hashes.at(i)).bind(secrets.at(i).card).bind(secrets.at(i).plain).exec();
            written += q.rowsAffected();
        }
        tx.commit();
        return written;
    });
}

void cardSecretsDone()
{
    Sql(u"DELETE FROM sysinfo WHERE infokey = ?"_s).bind(kMarker).exec();
}

CardSecretUpgrade::CardSecretUpgrade(QObject *parent) : QObject(parent)
{
    connect(&m_watcher, &QFutureWatcher<QStringList>::finished, this,
            &CardSecretUpgrade::batchHashed);
}

CardSecretUpgrade::~CardSecretUpgrade()
{
    m_watcher.waitForFinished(); // one batch, well under a second
}

bool CardSecretUpgrade::start()
{
    if (m_running)
        return true;
    try {
        if (!Database::isOpen() || !cardSecretsPending())
            return false;
    } catch (const DbError &) {
        return false;
    }
    m_running = true;
    m_after.clear();
    m_atEnd = false;
    QTimer::singleShot(0, this, &CardSecretUpgrade::nextBatch);
    return true;
}

void CardSecretUpgrade::stop()
{
    m_running = false;
    Q_EMIT finished();
}

void CardSecretUpgrade::nextBatch()
{
    try {
        if (!Database::isOpen())
            return stop();
        // Rows without a password to bring over are passed quickly; a batch
        // for the worker is gathered from as many reads as it takes.
        m_batch.clear();
        while (m_batch.size() < kBatch && !m_atEnd) {
            QString last;
            m_batch += plainCardSecrets(m_after, kBatch * 5, &last);
            m_atEnd = last.isEmpty();
            m_after = last;
        }
        if (m_batch.isEmpty()) {
            cardSecretsDone();
            return stop();
        }
        m_watcher.setFuture(QtConcurrent::run(hashCardSecrets, m_batch));
    } catch (const DbError &) {
        stop(); // tried again at the next start
    }
}

void CardSecretUpgrade::batchHashed()
{
    try {
        if (!Database::isOpen())
            return stop();
        // A long write of the cashier's (an import, while its progress is
        // shown) is not joined: the batch waits for its end.
        if (Database::inTransaction()) {
            QTimer::singleShot(200, this, &CardSecretUpgrade::batchHashed);
            return;
        }
        const QStringList hashes = m_watcher.result();
        m_written += storeCardSecrets(m_batch, hashes);
        QTimer::singleShot(0, this, &CardSecretUpgrade::nextBatch);
    } catch (...) { // the database, or no memory for a hash: tried at the next start
        stop();
    }
}

} // namespace lanting::members
