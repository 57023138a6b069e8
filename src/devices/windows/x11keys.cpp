#include "x11keys.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QList>

// Xlib's names (KeyPress, None, …) clash with Qt's: included last.
#ifdef LANTING_HAVE_X11
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>
#endif

namespace lanting::devices
{

#ifdef LANTING_HAVE_X11
namespace
{

class X11Keys : public ScreenKeys, public QAbstractNativeEventFilter
{
public:
    X11Keys(Display *display, std::function<bool(int)> press)
        : m_display(display), m_press(std::move(press))
    {
        const struct {
            KeySym sym;
            int key;
        } wanted[] = {{XK_F4, Qt::Key_F4},
                      {XK_F5, Qt::Key_F5},
                      {XK_F6, Qt::Key_F6},
                      {XK_Home, Qt::Key_Home},
                      {XK_F3, Qt::Key_F3}};
        XErrorHandler previous = XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
        const Window root = DefaultRootWindow(m_display);
        for (const auto &w : wanted) {
            const KeyCode code = XKeysymToKeycode(m_display, w.sym);
            if (code == 0)
                continue;
            for (unsigned int mods : kLockCombinations)
                XGrabKey(m_display, code, mods, root, False, GrabModeAsync, GrabModeAsync);
            m_codes.append({code, w.key, 0});
        }
        XSync(m_display, False); // a refused grab is reported (and ignored) here
        XSetErrorHandler(previous);
        qApp->installNativeEventFilter(this);
    }

    ~X11Keys() override
    {
        qApp->removeNativeEventFilter(this);
        const Window root = DefaultRootWindow(m_display);
        for (const Grabbed &g : m_codes)
            for (unsigned int mods : kLockCombinations)
                XUngrabKey(m_display, g.code, mods, root);
        XFlush(m_display);
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        const int kind = event->response_type & 0x7f;

        if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE)
            return false;
        // Press and release events share one layout.
        const auto *k = static_cast<const xcb_key_press_event_t *>(message);
        if (k->event != k->root)
            return false; // an ordinary key in one of our windows
        for (Grabbed &g : m_codes) {
            if (g.code != k->detail)
                continue;
            if (kind == XCB_KEY_RELEASE) {
                g.released = k->time;
                return true;
            }
            // A key held down repeats as a release and a press at one moment.
            if (g.released != 0 && g.released == k->time)
                return true;
            return m_press(g.key);
        }
        return false;
    }

private:
    // "Without modifier keys", whatever Caps Lock and Num Lock are set to.
    static constexpr unsigned int kLockCombinations[] = {0, LockMask, Mod2Mask,
                                                         LockMask | Mod2Mask};

    struct Grabbed {
        KeyCode code;
        int key;
        xcb_timestamp_t released; // time of the last release, for repeats
    };

    Display *m_display;
    std::function<bool(int)> m_press;
    QList<Grabbed> m_codes;
};

} // namespace
#endif

std::unique_ptr<ScreenKeys> grabScreenKeys(std::function<bool(int key)> press)
{
#ifdef LANTING_HAVE_X11
    if (auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>())
        if (Display *display = x11->display())
            return std::make_unique<X11Keys>(display, std::move(press));
#endif
    return {};
}

} // namespace lanting::devices
