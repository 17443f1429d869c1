#pragma once
// The socket layer's exception; it carries only its message text.

#include "framework/Exceptions.h"

class ESocketError : public Exception {
 public:
  using Exception::Exception;
};
