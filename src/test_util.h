// Plumbing shared by vostrel's tests.
#ifndef VOSTREL_TEST_UTIL_H_
#define VOSTREL_TEST_UTIL_H_

#include <string>

#include "text_io.h"

namespace vostrel {

// Everything left in `in`, read with line reads.
std::string Rest(Input& in);

}  // namespace vostrel

#endif  // VOSTREL_TEST_UTIL_H_
