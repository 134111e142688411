// Themed drawing of the window's controls.
#pragma once

namespace stdlookup {

// Styles 1 to 3 switch a consistent visual style on (first off, then on again); any other
// number restores the platform's own style.
void set_themed_drawing(int style);

}  // namespace stdlookup
