#include "salesinstall.h"

#include "frmmain.h"
#include "goodswindows.h"
#include "ui.h"

namespace lanting::sales
{

void installSales(FrmMain &main)
{
    main.setSettingsAction(0, [&main] {
        FrmGoods dlg(&main);
        ui::execModal(&dlg);
    });
}

} // namespace lanting::sales
