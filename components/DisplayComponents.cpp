#include "components/DisplayComponents.h"

#include "components/Ccalendr/Ccalendr.h"
#include "components/Cdiroutl/Cdiroutl.h"
#include "components/Cgauges/Cgauges.h"
#include "components/Perfgrap/Perfgrap.h"

void RegisterDisplayComponents() {
  RegisterPerfgrap();
  RegisterCgauges();
  RegisterCcalendr();
  RegisterCdiroutl();
}
