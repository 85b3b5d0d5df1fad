// Defines the identifiers that the generated headers declare.
#include <windows.h>
#include <initguid.h>

#include "AddIn.h"
#include "AddInLib.h"
