#include "secrets.h"

#include "database.h"

#include <sodium.h>

using namespace Qt::Literals::StringLiterals;

namespace lanting
{

namespace
{

void ready()
{
    static const bool ok = sodium_init() >= 0;
    if (!ok)
        throw DbError(u"无法初始化密码加密库（libsodium）。"_s);
}

} // namespace

bool isHashed(const QString &stored)
{
    return stored.startsWith(u"$argon2id$"_s);
}

QString hashSecret(const QString &plain, SecretUse use)
{
    if (use == SecretUse::Card && plain.isEmpty())
        return QString();
    ready();
    const QByteArray p = plain.toUtf8();
    const bool login = use == SecretUse::Login;
    const quint64 ops = login ? crypto_pwhash_OPSLIMIT_INTERACTIVE : 2;
    const size_t memory = login ? crypto_pwhash_MEMLIMIT_INTERACTIVE : size_t(4) << 20;
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, p.constData(), quint64(p.size()), ops, memory) != 0)
        throw DbError(u"内存不足，无法加密保存密码，操作没有进行。"_s);
    return QString::fromLatin1(out);
}

bool secretMatches(const QString &stored, const QString &typed)
{
    if (!isHashed(stored))
        return stored == typed;
    ready();
    const QByteArray s = stored.toLatin1();
    const QByteArray t = typed.toUtf8();
    return crypto_pwhash_str_verify(s.constData(), t.constData(), quint64(t.size())) == 0;
}

} // namespace lanting
