#include "appstate.h"

namespace lanting
{

AppState &state()
{
    static AppState s;
    return s;
}

} // namespace lanting
