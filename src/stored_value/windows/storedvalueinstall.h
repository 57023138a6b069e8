#pragma once

namespace lanting
{
class FrmMain;
}

namespace lanting::stored_value
{

// Hooks the stored-value screens into a new main window.
void installStoredValue(FrmMain &main);

} // namespace lanting::stored_value
