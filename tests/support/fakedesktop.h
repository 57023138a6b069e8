#pragma once

// Stand-ins for the desktop's xdg-open and xdg-mime, first on PATH while the
// object lives, so that a test does not depend on what the machine has: a
// desktop with a program for every type, where the program's own URL
// handlers (QDesktopServices) then take what it opens.

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

namespace lanting::test
{

class FakeDesktop
{
public:
    FakeDesktop() : m_path(qgetenv("PATH"))
    {
        write(u"xdg-open"_qs, "#!/bin/sh\nexit 0\n");
        write(u"xdg-mime"_qs, "#!/bin/sh\necho browser.desktop\n");
        qputenv("PATH", m_bin.path().toLocal8Bit() + ':' + m_path);
    }
    ~FakeDesktop() { qputenv("PATH", m_path); }
    FakeDesktop(const FakeDesktop &) = delete;
    FakeDesktop &operator=(const FakeDesktop &) = delete;

private:
    void write(const QString &name, const QByteArray &script)
    {
        QFile f(m_bin.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(script);
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }

    QTemporaryDir m_bin;
    QByteArray m_path;
};

} // namespace lanting::test
