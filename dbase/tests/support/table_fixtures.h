// Kept until the lock tests include it from its new place.
#pragma once
#include "dbase/testing/table_fixtures.h"
