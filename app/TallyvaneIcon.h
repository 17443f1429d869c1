#pragma once
// The main window's icon: a relay coil with its switch, in the status colours.

// clang-format off
inline const char* const kTallyvaneIcon[] = {
"16 16 4 1",
"  c None",
". c #000000",
"g c #00FF00",
"r c #FF0000",
"................",
".gggggggggggggg.",
".g............g.",
".g.gg.gg.gg.g.g.",
".g............g.",
".g.rr.......g.g.",
".g.rr......gg.g.",
".g........gg..g.",
".g.......gg...g.",
".g......gg....g.",
".g.....gg.....g.",
".g............g.",
".g.gggggggggg.g.",
".g............g.",
".gggggggggggggg.",
"................"};
// clang-format on
