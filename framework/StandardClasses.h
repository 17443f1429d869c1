#pragma once
// Registers the framework's own component classes with their published properties, so that
// form descriptions can name them. The application object calls it when it is created.

#include <string>
#include <vector>

#include "framework/ClassRegistry.h"
#include "framework/Font.h"

void RegisterStandardClasses();

// Published font properties under a prefix such as "Font" or "TabFont", for a class whose font
// is reached through fontOf.
std::vector<TPublishedProperty> FontProperties(const std::string& prefix,
                                               std::function<TFont&(TComponent&)> fontOf);
