#include "hotkeys.h"

#include "appstate.h"
#include "cashdrawer.h"
#include "frmmain.h"
#include "x11keys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>


using namespace Qt::Literals::StringLiterals;

namespace lanting::devices
{

namespace
{

// What the five keys do for one main window.
class HotKeys
{
public:
    explicit HotKeys(FrmMain &main) : m_main(&main) {}

    // Acts on key `key` (Qt::Key_F3 … Qt::Key_F6, Qt::Key_Home); false when it
    // is not one of ours. A main window handed over (hidden, about to go)
    // has no keys.
    bool press(int key, bool autoRepeat)
    {
        if (!m_main || !m_main->isVisible())
            return false;
        if (key == Qt::Key_Home) {
            if (!autoRepeat) // one pulse for a key held down
                openDrawer();
            return true;
        }
        struct Key {
            int key;
            const char *button; // the member panel action it runs
            int flag;
        };
        static const Key keys[] = {
            {Qt::Key_F4, "cmdChongzhi", AppState::HkRecharge},
            {Qt::Key_F5, "dcButton11", AppState::HkSale},
            {Qt::Key_F6, "dcButton12", AppState::HkDirect},
            {Qt::Key_F3, "cmdDhjf", AppState::HkExchange},
        };
        for (const Key &k : keys) {
            if (key != k.key)
                continue;
            if (!autoRepeat && !state().hotKeyBlocked[size_t(k.flag)]) {
                // As a click on the button: the action makes its own checks.
                if (auto *b = m_main->panelPage(FrmMain::PanelXf)->findChild<QPushButton *>(
                        QString::fromLatin1(k.button)))
                    b->click();
            }
            return true;
        }
        return false;
    }

private:
    void openDrawer()
    {
        QLabel *panel = m_main->statusPanel(5);
        panel->setText(u"正在打开钱箱..."_s);
        panel->repaint();
        OpenQx();
        panel->setText(u"按下Home键打开钱箱"_s);
    }

    QPointer<FrmMain> m_main;
};

// Catches the keys before any window of the program sees them: they work
// over every open screen (the payment dialog included) and a focused text
// box does not keep Home for its cursor.
class HotKeyFilter : public QObject
{
public:
    HotKeyFilter(FrmMain &main, QObject *owner) : QObject(owner), m_keys(main) {}
    HotKeys &keys() { return m_keys; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        return m_keys.press(key->key(), key->isAutoRepeat());
    }

private:
    HotKeys m_keys;
};

// The keys of one main window, living as long as it does: the screen grabs
// end first, then the filter that both hand the keys to.
class HotKeyHost : public QObject
{
public:
    explicit HotKeyHost(FrmMain &main) : QObject(&main), m_filter(new HotKeyFilter(main, this))
    {
        qApp->installEventFilter(m_filter);
        m_global = grabScreenKeys([keys = &m_filter->keys()](int key) { return keys->press(key, false); });
    }
    ~HotKeyHost() override { m_global.reset(); }

private:
    HotKeyFilter *m_filter;
    std::unique_ptr<ScreenKeys> m_global;
};

} // namespace

void installHotKeys(FrmMain &main)
{
    // Live once the start-up steps (the reminders) are through. Owned by the
    // main window: a main window closed for a handover takes its keys with
    // it, and the next one installs its own.
    QPointer<FrmMain> window(&main);
    main.addStartupStep([window] {
        if (window)
            new HotKeyHost(*window);
    });
}

} // namespace lanting::devices
