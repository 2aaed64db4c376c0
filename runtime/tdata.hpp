// The element runtime every element stands on: values, links, firing and reading, the start-up
// list, text routines and the platform's services. Each part has a header of its own.
#pragma once

#include "runtime/conversions.hpp"
#include "runtime/firing.hpp"
#include "runtime/link.hpp"
#include "runtime/platform_services.hpp"
#include "runtime/startup.hpp"
#include "runtime/text_routines.hpp"
#include "runtime/value.hpp"
