#include <gtest/gtest.h>
#include "bass_fx.h"
TEST(Fx, Builds) {}
