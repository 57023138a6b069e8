#pragma once

namespace lanting
{

// Puts every subsystem's panels, devices and screens into the main window.
// Called once by the program and by the test harness.
void wireProgram();

} // namespace lanting
