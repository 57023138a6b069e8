#include "salesinstall.h"

#include "frmmain.h"
#include "frmzhijiexf.h"
#include "goodswindows.h"
#include "salewindows.h"
#include "ui.h"

namespace lanting::sales
{

void installSales(FrmMain &main)
{
    main.setSettingsAction(0, [&main] {
        FrmGoods dlg(&main);
        ui::execModal(&dlg);
    });
    // The member panel has checked the permission and the member before.
    main.setScreen(QStringLiteral("FrmSpxf"), [&main](const QString &) {
        FrmSpxf dlg(&main, &main);
        ui::execModal(&dlg);
    });
    main.setScreen(QStringLiteral("FrmZhijieXf"), [&main](const QString &) {
        FrmZhijieXf dlg(&main, &main);
        ui::execModal(&dlg);
    });
}

} // namespace lanting::sales
