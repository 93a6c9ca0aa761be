// Plumbing shared by vostrel's tests.
#include "test_util.h"

#include "scan.h"

namespace vostrel {

std::string Rest(Input& in) {
  std::string all;
  std::string line;
  while (ReadLine(in, line)) all += line;
  return all;
}

}  // namespace vostrel
