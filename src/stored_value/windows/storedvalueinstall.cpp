#include "storedvalueinstall.h"

#include "frmchongzhi.h"
#include "frmmain.h"
#include "messages.h"
#include "rulewindows.h"
#include "ui.h"

namespace lanting::stored_value
{

void installStoredValue(FrmMain &main)
{
    main.setSettingsAction(3, [&main] {
        FrmCzgz dlg(&main);
        ui::execModal(&dlg);
    });
    main.setScreen(QStringLiteral("FrmChongzhi"), [&main](const QString &card) {
        FrmChongzhi dlg(&main);
        if (!dlg.SetID(card)) {
            msgNotice(QStringLiteral("此会员不存在！"));
            return;
        }
        ui::execModal(&dlg);
        // The member panel shows the member afresh; the member list stays.
        if (dlg.IsOK && card == main.NowMberID)
            main.ShowMber(main.NowMberID);
    });
}

} // namespace lanting::stored_value
