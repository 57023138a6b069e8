#include "memberinstall.h"

#include "cardsecrets.h"
#include "frmaddmem.h"
#include "frmgs.h"
#include "frmmain.h"
#include "levelwindows.h"
#include "memberactionsui.h"
#include "memberlistpanel.h"
#include "memberpanel.h"
#include "messages.h"
#include "remindwindows.h"
#include "ui.h"

#include <QTimer>

namespace lanting::members
{

void installMemberPanels(FrmMain &main)
{
    new MemberPanel(main);
    new MemberListPanel(main);
    installMemberActions(main);

    main.setToolAction(QStringLiteral("dcButton6"), [&main] {
        FrmAddmem form(&main);
        ui::execModal(&form);
    });
    main.setScreen(QStringLiteral("frmGs"), [&main](const QString &card) {
        frmGs dlg(card, &main);
        ui::execModal(&dlg);
        if (!dlg.IsOK)
            return;
        if (auto *list = main.findChild<MemberListPanel *>())
            list->refresh();
        // The member panel follows the account to its new card.
        if (main.NowMberID == card)
            main.ShowMber(dlg.newId());
    });
    // Reminders: on demand, and at start-up when there are some and the
    // shop wants them.
    main.setToolAction(QStringLiteral("dcButton5"), [&main] {
        FrmRemind dlg(&main);
        ui::execModal(&dlg);
    });
    main.addStartupStep([&main] {
        FrmRemind dlg(&main);
        if (dlg.showAtStart() && dlg.hasReminders())
            ui::execModal(&dlg);
    });
    main.setScreen(QStringLiteral("FrmAddremind"), [&main](const QString &card) {
        FrmAddremind dlg(card, &main);
        ui::execModal(&dlg);
        if (dlg.IsOK)
            main.ShowMber(main.NowMberID);
    });
    main.setScreen(QStringLiteral("FrmAddremind.edit"), [&main](const QString &event) {
        FrmAddremind dlg(main.NowMberID, &main);
        if (!dlg.SetMode(0, event.toInt())) {
            msgNotice(QStringLiteral("此事件已被删除！"));
            return;
        }
        ui::execModal(&dlg);
        if (dlg.IsOK)
            main.ShowMber(main.NowMberID);
    });
    main.setSettingsAction(1, [&main] {
        FrmMemLv dlg(&main);
        ui::execModal(&dlg);
    });
    // Card passwords an older program kept as typed: hashed while the tills
    // work.
    auto *upgrade = new CardSecretUpgrade(&main);
    QTimer::singleShot(0, upgrade, [upgrade] { upgrade->start(); });
}

} // namespace lanting::members
