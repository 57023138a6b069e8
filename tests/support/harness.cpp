#include "harness.h"

#include "appstate.h"
#include "frmlogin.h"
#include "frmmain.h"
#include "programfolder.h"
#include "ui.h"
#include "wiring.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace lanting::test
{

namespace
{

QString pgBaseUrl()
{
    return qEnvironmentVariable("LANTING_TEST_PG");
}

// A maintenance connection to the server of the test command.
QSqlDatabase pgAdmin(const QString &dbName)
{
    const QString name = u"lanting-test-admin"_s;
    if (QSqlDatabase::contains(name))
        QSqlDatabase::removeDatabase(name);
    auto c = DbConfig::fromUrl(pgBaseUrl(), nullptr);
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, name);
    db.setHostName(c->host);
    db.setPort(c->port);
    db.setUserName(c->user);
    db.setPassword(c->password);
    db.setDatabaseName(dbName.isEmpty() ? c->dbName : dbName);
    return db;
}

} // namespace

Harness::Harness(Backend backend) : m_backend(backend)
{
    keepTimeZoneLoaded(); // as the program does at start
    wireProgram();
    Database::close();
    state().reset();
    state().programFolder = m_dir.path();
    setMessageSink(this);
    ui::setModalDriver([this](QDialog *d) {
        if (m_modals.empty()) {
            ++m_unexpectedModals;
            d->reject();
            return;
        }
        auto handler = std::move(m_modals.front());
        m_modals.pop_front();
        QPointer<QDialog> guard(d);
        handler(d);
        // A handler that returned early (a failed check) or forgot to close
        // its screen would leave the modal loop waiting for ever.
        if (guard && guard->isVisible()) {
            if (!QTest::currentTestFailed())
                QTest::qFail("a modal screen was left open by its handler", __FILE__, __LINE__);
            guard->reject();
        }
    });
    if (backend == Backend::Postgres && backendReady(backend))
        resetPostgres();
}

Harness::~Harness()
{
    // A handler or an answer left over means a screen or a question that
    // was expected never came: the checks inside it never ran.
    if (!QTest::currentTestFailed()) {
        if (!m_modals.empty())
            QTest::qFail("a modal screen handler was never used", __FILE__, __LINE__);
        else if (!m_answers.empty())
            QTest::qFail("an answer was never asked for", __FILE__, __LINE__);
    }
    delete m_login.data();
    ui::closeWait();
    Database::close();
    ui::setModalDriver({});
    setMessageSink(nullptr);
    if (!m_pgDatabase.isEmpty())
        QSqlDatabase::removeDatabase(u"lanting-test-admin"_s);
    state().reset();
}

bool Harness::backendReady(Backend b)
{
    if (b == Backend::Sqlite)
        return true;
    if (pgBaseUrl().isEmpty() || !DbConfig::fromUrl(pgBaseUrl(), nullptr))
        return false;
    QSqlDatabase db = pgAdmin(QString());
    const bool ok = db.open();
    db.close();
    return ok;
}

bool Harness::postgresRequired()
{
    return qEnvironmentVariableIsSet("LANTING_REQUIRE_PG");
}

void Harness::addBackendRows()
{
    QTest::addColumn<int>("backendRow");
    QTest::newRow("sqlite") << int(Backend::Sqlite);
    QTest::newRow("postgres") << int(Backend::Postgres);
}

// Each test executable works in a database of its own, emptied here.
void Harness::resetPostgres()
{
    QString app = QCoreApplication::applicationName().toLower();
    app.replace(QRegularExpression(u"[^a-z0-9_]"_s), u"_"_s);
    m_pgDatabase = u"lt_"_s + app;
    {
        QSqlDatabase admin = pgAdmin(QString());
        if (admin.open()) {
            QSqlQuery q(admin);
            q.exec(u"SELECT 1 FROM pg_database WHERE datname = '%1'"_s.arg(m_pgDatabase));
            if (!q.next())
                QSqlQuery(admin).exec(u"CREATE DATABASE "_s + m_pgDatabase);
        }
        admin.close();
    }
    QSqlDatabase db = pgAdmin(m_pgDatabase);
    if (db.open()) {
        QSqlQuery(db).exec(u"DROP SCHEMA public CASCADE"_s);
        QSqlQuery(db).exec(u"CREATE SCHEMA public"_s);
    }
    db.close();
}

DbConfig Harness::config() const
{
    if (m_backend == Backend::Sqlite) {
        DbConfig c;
        c.sqlitePath = m_dir.path() + u"/qzdb.qdb"_s;
        return c;
    }
    DbConfig c = *DbConfig::fromUrl(pgBaseUrl(), nullptr);
    c.dbName = m_pgDatabase;
    return c;
}

QString Harness::url() const
{
    const DbConfig c = config();
    if (c.backend == Backend::Sqlite)
        return u"sqlite://"_s + c.sqlitePath;
    const QString who = c.password.isEmpty() ? c.user : c.user + u':' + c.password;
    return u"postgresql://%1@%2:%3/%4"_s.arg(who, c.host).arg(c.port).arg(c.dbName);
}

bool Harness::openDatabase(QString *error)
{
    return Database::open(config(), error);
}

bool Harness::startProgram()
{
    delete m_login.data();
    m_ended = false;
    m_login = new FrmLogin(config());
    QObject::connect(m_login, &FrmLogin::programEnds, [this] { m_ended = true; });
    if (!m_login->start())
        return false;
    m_login->show();
    return true;
}

FrmMain *Harness::login(const QString &name, const QString &password)
{
    if (!m_login && !startProgram())
        return nullptr;
    auto *com = m_login->findChild<QComboBox *>(u"comCzy"_s);
    auto *pwd = m_login->findChild<QLineEdit *>(u"txtPwd"_s);
    com->setEditText(name);
    pwd->setText(password);
    m_login->findChild<QPushButton *>(u"cmdLogin"_s)->click();
    return m_login->mainWindow();
}

MsgAnswer Harness::show(const Message &m)
{
    m_messages << m;
    if (m.buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    if (m_answers.empty()) {
        ++m_unanswered;
        return m.defaultAnswer;
    }
    const MsgAnswer a = m_answers.front();
    m_answers.pop_front();
    return a;
}

} // namespace lanting::test

lanting::FrmLogin *lanting::test::Harness::loginWindow() const
{
    return m_login;
}
