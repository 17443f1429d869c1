#pragma once
// Form descriptions embedded into the program at build time from the .tvform files beside it.

extern const char kForm1Description[];
