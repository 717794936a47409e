// Adapting a freshly loaded picture to a palette display, as the shell's two
// loads ask for it (zendra-cli loads for true colour and never asks).
#pragma once

// Which load ran: the browser's preview, or the window load of the viewer and
// slideshow (Next File, Last File, Delete File, slideshow steps).
enum LoadKind { LOAD_PREVIEW, LOAD_WINDOW };

// Reduces the current picture as the recorded display depth calls for (never
// at more than 8 bits), keeping the untouched picture in the original slot.
void AdaptToDisplay(LoadKind kind);
