#include <gtest/gtest.h>
#include "memtable/mem_table.h"
