#include "storedvalueinstall.h"

#include "frmmain.h"
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
}

} // namespace lanting::stored_value
