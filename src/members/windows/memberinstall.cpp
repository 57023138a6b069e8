#include "memberinstall.h"

#include "frmaddmem.h"
#include "frmgs.h"
#include "frmmain.h"
#include "levelwindows.h"
#include "memberactionsui.h"
#include "memberlistpanel.h"
#include "memberpanel.h"
#include "ui.h"

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
            list->ShowMberList(list->lastFilter());
        // The member panel follows the account to its new card.
        if (main.NowMberID == card)
            main.ShowMber(dlg.newId());
    });
    main.setSettingsAction(1, [&main] {
        FrmMemLv dlg(&main);
        ui::execModal(&dlg);
    });
}

} // namespace lanting::members
