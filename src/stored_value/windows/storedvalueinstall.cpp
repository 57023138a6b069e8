#include "storedvalueinstall.h"

#include "frmchongzhi.h"
#include "frmmain.h"
#include "messages.h"
#include "movewindows.h"
#include "rulewindows.h"
#include "ui.h"

#include <QTreeWidget>

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
    main.setScreen(QStringLiteral("FrmDHJF"), [&main](const QString &card) {
        FrmDHJF dlg(card, main.shownMember(QStringLiteral("lblJf")), &main);
        ui::execModal(&dlg);
        if (dlg.IsOK)
            main.ShowMber(card);
    });
    // The sale is the one selected in the member's consumption list.
    main.setScreen(QStringLiteral("FrmTuihuo"), [&main](const QString &card) {
        auto *sales = main.panelPage(FrmMain::PanelXf)->findChild<QTreeWidget *>(QStringLiteral("lvInfo"));
        const QString sale = sales ? ui::currentOrFirst(sales) : QString();
        if (sale.isEmpty())
            return;
        FrmTuihuo dlg(sale.toInt(), card, main.shownMember(QStringLiteral("lblName")),
                      main.shownMember(QStringLiteral("lblLv")), &main);
        ui::execModal(&dlg);
        if (dlg.IsOK && dlg.toCard())
            main.ShowMber(card);
    });
    main.setScreen(QStringLiteral("frmZz"), [&main](const QString &source) {
        frmZz dlg(source, &main);
        ui::execModal(&dlg);
    });
}

} // namespace lanting::stored_value
