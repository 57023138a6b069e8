#include "hotkeys.h"

#include "appstate.h"
#include "cashdrawer.h"
#include "frmmain.h"

#include <QLabel>
#include <QPushButton>
#include <QShortcut>

using namespace Qt::Literals::StringLiterals;

namespace lanting::devices
{

void installHotKeys(FrmMain &main)
{
    struct Key {
        Qt::Key key;
        const char *button; // the member panel action it runs
        int flag;
    };
    const Key keys[] = {
        {Qt::Key_F4, "cmdChongzhi", AppState::HkRecharge},
        {Qt::Key_F5, "dcButton11", AppState::HkSale},
        {Qt::Key_F6, "dcButton12", AppState::HkDirect},
        {Qt::Key_F3, "cmdDhjf", AppState::HkExchange},
    };
    FrmMain *m = &main;
    for (const Key &k : keys) {
        auto *shortcut = new QShortcut(QKeySequence(k.key), &main);
        shortcut->setContext(Qt::ApplicationShortcut);
        const QString button = QString::fromLatin1(k.button);
        const int flag = k.flag;
        QObject::connect(shortcut, &QShortcut::activated, &main, [m, button, flag] {
            if (state().hotKeyBlocked[size_t(flag)])
                return;
            if (auto *b = m->panelPage(FrmMain::PanelXf)->findChild<QPushButton *>(button))
                b->click();
        });
    }
    auto *drawer = new QShortcut(QKeySequence(Qt::Key_Home), &main);
    drawer->setContext(Qt::ApplicationShortcut);
    QObject::connect(drawer, &QShortcut::activated, &main, [m] {
        QLabel *panel = m->statusPanel(5);
        panel->setText(u"正在打开钱箱..."_s);
        panel->repaint();
        OpenQx();
        panel->setText(u"按下Home键打开钱箱"_s);
    });
}

} // namespace lanting::devices
