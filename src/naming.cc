// vostrel's output file names.
#include "naming.h"

namespace vostrel {

OutputNames DeriveOutputNames(const std::string& typed_name) {
  OutputNames names;
  names.input_name = typed_name;
  const size_t first_dot = typed_name.find('.');
  if (first_dot == std::string::npos || first_dot == 0) {
    names.input_name += ".$$$";
  }
  const size_t last_dot = names.input_name.rfind('.');
  names.base = typed_name.substr(0, last_dot);
  // The extension without its first character; empty for "x." and "x.y".
  const std::string tail = last_dot + 2 <= names.input_name.size()
                               ? names.input_name.substr(last_dot + 2)
                               : std::string();
  names.daily = names.base + ".t" + tail;
  names.monthly = names.base + ".m" + tail;
  names.yearly = names.base + ".y" + tail;
  return names;
}

}  // namespace vostrel
