// The cashier's keys taken for the whole screen on an X11 desktop: they reach
// the program while a window of another program has the focus. Runs on a
// virtual X server (xvfb-run); keys are typed by xdotool.

#include "appstate.h"
#include "database.h"
#include "frmmain.h"
#include "harness.h"
#include "ptydevice.h"

#include <QProcess>
#include <QTest>

#include <X11/Xlib.h>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using test::Harness;

namespace
{
bool type(const char *key)
{
    return QProcess::execute(u"xdotool"_s, {u"key"_s, QString::fromLatin1(key)}) == 0;
}
} // namespace

class TstScreenKeys : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keysWhileAnotherProgramHasTheFocus();
};

void TstScreenKeys::keysWhileAnotherProgramHasTheFocus()
{
    if (QGuiApplication::platformName() != u"xcb"_s)
        QSKIP("needs an X11 display");
    Harness h;
    QVERIFY(h.startProgram());
    test::Pty pty;
    QVERIFY(pty.isOpen());
    test::configureDrawerPort(h.folder(), u"COM2"_s, pty.slavePath());
    FrmMain *main = h.login();
    QVERIFY(main);
    state().drawerPort = u"COM2"_s;

    // Another program's window, with the keyboard focus.
    Display *other = XOpenDisplay(nullptr);
    QVERIFY(other);
    const Window w = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 200, 200, 0, 0, 0);
    XSelectInput(other, w, KeyPressMask);
    XMapRaised(other, w);
    XSync(other, False);
    XSetInputFocus(other, w, RevertToParent, CurrentTime);
    XSync(other, False);
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(other, &focus, &revert);
    QCOMPARE(focus, w);

    QVERIFY(type("Home"));
    QByteArray written; // read as it comes: a read takes the bytes away
    QTRY_VERIFY((written += pty.read(10)).size() >= 6);
    QCOMPARE(written, QByteArray::fromHex("1b7020003cff"));
    QVERIFY(type("F4")); // no member shown: the button's own check
    QTRY_COMPARE(h.lastText(), u"请先指定会员！"_s);
    // The other program got neither.
    XSync(other, False);
    QCOMPARE(XPending(other), 0);

    // Handed over and gone: the keys are the other program's again.
    h.clearMessages();
    main->handOver();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(type("F4"));
    QTRY_VERIFY(XPending(other) > 0);
    QVERIFY(h.messages().isEmpty());
    XDestroyWindow(other, w);
    XCloseDisplay(other);
}

QTEST_MAIN(TstScreenKeys)
#include "tst_screenkeys.moc"
