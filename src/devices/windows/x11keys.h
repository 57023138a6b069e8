#pragma once

#include <functional>
#include <memory>

namespace lanting::devices
{

// F3 to F6 and Home taken for the whole screen, so that they reach the
// program while another program has the focus: on an X11 desktop, by grabs
// on the root window; elsewhere (Wayland, no display) there is no such thing
// and grabScreenKeys gives nothing. A key another program holds already is
// left to it, silently. The grabs end with the object.
class ScreenKeys
{
public:
    virtual ~ScreenKeys() = default;
};

// `press` gets Qt::Key_F3 … Qt::Key_F6 or Qt::Key_Home and says whether it
// took the key.
std::unique_ptr<ScreenKeys> grabScreenKeys(std::function<bool(int key)> press);

} // namespace lanting::devices
