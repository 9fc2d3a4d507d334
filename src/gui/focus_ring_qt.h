#pragma once
// A plain, well visible frame around the control that has the keyboard
// focus: the style's own hint (a faint tint of the border) is easily missed,
// and some controls draw none.
namespace velt {

// Once for the application: from then on the ring follows the focus.
void ShowFocusRing();

}  // namespace velt
