#pragma once
// Registers every display component class with its published properties, so that form
// descriptions can create them.

void RegisterDisplayComponents();
