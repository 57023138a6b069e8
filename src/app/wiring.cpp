#include "wiring.h"

#include "frmmain.h"
#include "install.h"
#include "readerhost.h"

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
}

} // namespace lanting
