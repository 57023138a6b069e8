#include "memberinstall.h"

#include "frmaddmem.h"
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
    main.setSettingsAction(1, [&main] {
        FrmMemLv dlg(&main);
        ui::execModal(&dlg);
    });
}

} // namespace lanting::members
