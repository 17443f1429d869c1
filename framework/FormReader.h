#pragma once
// Reads a form description into its root component. The text names the root's class and lists
// its properties and nested components:
//
//   Form1: TForm1 {
//     Caption = "Tallyvane - Server"
//     Font.Height = -10
//     OnCreate = FormCreate
//     Panel3: TPanel { Left = 0 Top = 352 }
//   }
//
// Values are integers, "strings" (with \" \\ \r \n \t \xHH escapes), identifiers, lists of
// strings ("a", "b") and sets of identifiers [a, b]. '#' starts a comment to the end of the line.
// Each nested component is created by its class name, owned by the root, placed in the enclosing
// control, and its properties are written through their setters in the order given while it is
// loading; after the whole text, every component's Loaded runs, the root first.
//
// A description that fails to load leaves no half-made form: whatever was thrown (a syntax
// error, or an exception from a constructor, a setter or a Loaded), the components it created
// are deleted, the root's fields that held them are cleared, the root is no longer loading,
// and the exception reaches the caller unchanged. Properties already written to the root keep
// their new values.

#include <string>

#include "framework/Component.h"

void ReadFormDescription(TComponent& root, const std::string& text);
