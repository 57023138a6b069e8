#pragma once

// The harness every GUI and storage test stands on.
//
//   Harness h;                        // SQLite; Harness h(Backend::Postgres) for the server
//   QVERIFY(h.startProgram());        // a temporary program folder, the login window loaded
//   FrmMain *main = h.login();        // admin/860317 typed into the real login window
//   h.answer(MsgAnswer::Yes);         // the next question is answered Yes
//   h.onModal([](QDialog *d) {...});  // the next modal screen is handed to this function
//   main->findChild<QPushButton *>(u"cmdX"_s)->click();
//   QCOMPARE(h.lastText(), u"..."_s); // every message shown is recorded
//
// The PostgreSQL backend uses the throwaway server started by the test
// command (LANTING_TEST_PG); each test executable gets its own database,
// emptied for every harness. Tests that run on both backends take a
// "backend" column from addBackendRows() and call LT_USE_BACKEND first.
// A handler or an answer still unused when the harness ends fails the test:
// the screen or question it was meant for never came.

#include "database.h"
#include "messages.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <functional>
#include <memory>

namespace lanting
{
class FrmLogin;
class FrmMain;
} // namespace lanting

namespace lanting::test
{

class Harness : public MessageSink
{
public:
    explicit Harness(Backend backend = Backend::Sqlite);
    ~Harness() override;

    Backend backend() const { return m_backend; }
    QString folder() const { return m_dir.path(); }
    DbConfig config() const;
    // The database as an address another process can open (--db).
    QString url() const;

    // Opens the database without any window (storage tests).
    bool openDatabase(QString *error = nullptr);
    // Creates the login window on the program folder and runs its loading.
    bool startProgram();
    FrmLogin *loginWindow() const;
    // Types name and password into the login window and presses "登录(&L)".
    // The main window on success, nullptr otherwise.
    FrmMain *login(const QString &name = QStringLiteral("admin"),
                   const QString &password = QStringLiteral("860317"));
    bool programEnded() const { return m_ended; }

    // Messages shown, in order.
    const QList<Message> &messages() const { return m_messages; }
    QString lastText() const { return m_messages.isEmpty() ? QString() : m_messages.last().text; }
    void clearMessages() { m_messages.clear(); }
    // Answers for the next questions, in order. A question without an answer
    // gets its default button and is counted in unanswered().
    void answer(MsgAnswer a) { m_answers.push_back(a); }
    int unanswered() const { return m_unanswered; }

    // Handlers for the next modal screens, in order. A screen that opens with
    // no handler is closed at once and counted in unexpectedModals().
    void onModal(std::function<void(QDialog *)> handler) { m_modals.push_back(std::move(handler)); }
    int unexpectedModals() const { return m_unexpectedModals; }

    MsgAnswer show(const Message &m) override;

    // Whether a backend can be used here, and whether the test command asked
    // for the PostgreSQL runs to be mandatory.
    static bool backendReady(Backend b);
    static bool postgresRequired();
    static void addBackendRows();

private:
    void resetPostgres();

    Backend m_backend;
    QTemporaryDir m_dir;
    QString m_pgDatabase;
    QPointer<FrmLogin> m_login;
    bool m_ended = false;
    QList<Message> m_messages;
    std::deque<MsgAnswer> m_answers;
    int m_unanswered = 0;
    std::deque<std::function<void(QDialog *)>> m_modals;
    int m_unexpectedModals = 0;
};

} // namespace lanting::test

namespace lanting
{
// An amount written in a test as its decimal text: je("12.34").
inline Amount je(const char *text)
{
    const Amount a = Amount::fromDecimalText(QString::fromLatin1(text));
    Q_ASSERT(a.isValid());
    return a;
}
// A literal of a test (its shortest decimal form) as an amount: lit(12.5).
inline Amount lit(double literal)
{
    return Amount::fromDecimalText(QString::number(literal, 'f', 4));
}
// Test SQL whose amount literals are written in braces, {12.5}: each
// becomes the stored form of that amount on the backend in use.
inline QString A(const QString &sql)
{
    static const QRegularExpression literal(QStringLiteral("\\{(-?\\d+(?:\\.\\d+)?)\\}"));
    QString out = sql;
    QRegularExpressionMatch m;
    while ((m = literal.match(out)).hasMatch())
        out.replace(m.capturedStart(), m.capturedLength(),
                    Database::stored(Amount::fromDecimalText(m.captured(1))).toString());
    return out;
}
// The amount in the first column of the first row (0 without a row).
inline Amount amountAt(const QString &sql, const QVariantList &values = {})
{
    return Database::toAmount(scalar(sql, values));
}

// QCOMPARE shows amounts in their decimal form, and takes an expected value
// written as a literal: 12.5 stands for the amount 12.5 (its shortest
// decimal form), compared exactly.
inline char *toString(const Amount &a)
{
    return qstrdup(a.isValid() ? a.toString().toUtf8().constData() : "(invalid)");
}
inline bool operator==(Amount a, double literal)
{
    return a == lit(literal);
}
} // namespace lanting

// In a test that needs the PostgreSQL server: skips (or fails, under the
// test command) when it cannot be used here.
#define LT_NEED_POSTGRES()                                                                         \
    if (!lanting::test::Harness::backendReady(lanting::Backend::Postgres)) {                       \
        if (lanting::test::Harness::postgresRequired())                                            \
            QFAIL("the PostgreSQL test server (LANTING_TEST_PG) is not reachable");                \
        QSKIP("no PostgreSQL test server (LANTING_TEST_PG is not set)");                           \
    }

// In a test with a "backend" column: skips (or fails, under the test command)
// when that backend cannot be used here, else declares `backend`.
#define LT_USE_BACKEND()                                                                           \
    QFETCH(int, backendRow);                                                                       \
    const lanting::Backend backend = lanting::Backend(backendRow);                                 \
    if (!lanting::test::Harness::backendReady(backend)) {                                          \
        if (lanting::test::Harness::postgresRequired())                                            \
            QFAIL("the PostgreSQL test server (LANTING_TEST_PG) is not reachable");                \
        QSKIP("no PostgreSQL test server (LANTING_TEST_PG is not set)");                           \
    }
