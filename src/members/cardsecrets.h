#pragma once

// Members' card passwords that an older program kept as typed are hashed in
// the background after the upgrade, a batch at a time, while the tills work:
// the hashing runs on a worker thread and each batch is written in one
// short transaction, only to rows whose password is still the one read.
// Until a member's turn comes, the typed password is compared as it is.

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QStringList>

namespace lanting::members
{

struct PlainCardSecret {
    QString card, plain;
};

// Whether passwords of an older program may still be waiting.
bool cardSecretsPending();
// The members after card `after` in card order, up to `count` of them, whose
// password is not yet hashed. `last` receives the last card looked at, or
// an empty text when the list has come to its end.
QList<PlainCardSecret> plainCardSecrets(const QString &after, int count, QString *last);
// Their hashes, in the same order (no database work: fit for a worker thread).
QStringList hashCardSecrets(const QList<PlainCardSecret> &secrets);
// Writes the hashes where the password is still the one read; a password
// changed meanwhile is kept as it now is. Returns the rows written.
int storeCardSecrets(const QList<PlainCardSecret> &secrets, const QStringList &hashes);
// Marks the passwords as all hashed.
void cardSecretsDone();

// Runs the batches one after another until every password is hashed, the
// database fails or the object is destroyed.
class CardSecretUpgrade : public QObject
{
    Q_OBJECT
public:
    static constexpr int kBatch = 200;
    explicit CardSecretUpgrade(QObject *parent = nullptr);
    ~CardSecretUpgrade() override;
    // Starts when there is work; false when there is none.
    bool start();
    bool running() const { return m_running; }
    int written() const { return m_written; }

Q_SIGNALS:
    void finished();

private:
    void nextBatch();
    void batchHashed();
    void stop();

    QFutureWatcher<QStringList> m_watcher;
    QList<PlainCardSecret> m_batch;
    QString m_after;
    bool m_running = false;
    bool m_atEnd = false;
    int m_written = 0;
};

} // namespace lanting::members
