// Stands in for the header widl would make from base.idl: the generated headers already take
// the automation types and base interfaces from the Windows headers.
#pragma once
#include <oaidl.h>
