#pragma once
// The decoding options every command takes, mapped onto the fax file
// record's parameters.
#include <CLI/CLI.hpp>

#include "core/fax_file.h"

namespace orvane::cli {

struct DecodingOptions {
  std::string bit_order = "auto";
  int threshold = 50;
  int flag_num = 3;
  int min_width = 1728;
  bool no_nonstandard_widths = false;
  bool raw_t6 = false;
  int vres = 0;
  std::string paginate = "fixed";

  void add_to(CLI::App& command);
  DecodingParameters parameters() const;
};

}  // namespace orvane::cli
