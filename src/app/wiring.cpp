#include "wiring.h"

#include "exportreport.h"
#include "frmmain.h"
#include "hotkeys.h"
#include "maintenancewindows.h"
#include "memberinstall.h"
#include "readerhost.h"
#include "salesinstall.h"
#include "storedvalueinstall.h"
#include "ui.h"

namespace lanting
{

void wireProgram()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    FrmMain::addExtension(devices::installReader);
    FrmMain::addExtension(members::installMemberPanels);
    FrmMain::addExtension(sales::installSales);
    FrmMain::addExtension(stored_value::installStoredValue);
    FrmMain::addExtension(reports::installReports);
    FrmMain::addExtension(devices::installHotKeys);
    FrmMain::addExtension(maintenance::installMaintenance);
    ui::setSkinApplier(maintenance::applySkin);
    ui::loadQtTranslations();
    ui::useIconTheme();
    ui::fitListsToContents();
}

} // namespace lanting
