#pragma once
// A fax file record with its own scratch folder, opened as classification
// names the file: as a running program has it.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/classify.h"
#include "core/fax_file.h"
#include "core/scratch_dir.h"

namespace orvane::test {

struct Record {
  ScratchDir scratch;
  FaxFile fax;
  explicit Record(const DecodingParameters& params = {}) {
    fax.set_working_paths(scratch.paths());
    fax.set_parameters(params);
  }
  OpenResult open(const std::filesystem::path& path, const WorkControl* control = nullptr) {
    return fax.open(path, classify(path), control);
  }
};

// What a stopped open leaves: no page, no scratch files, and a record that
// opens the next file at once.
inline void expect_clean_after_stop(Record& r, const std::filesystem::path& next) {
  EXPECT_EQ(r.fax.page_count(), 0);
  EXPECT_FALSE(r.fax.page_valid());
  EXPECT_FALSE(std::filesystem::exists(r.scratch.paths().row_file));
  EXPECT_FALSE(std::filesystem::exists(r.scratch.paths().page_index));
  ASSERT_EQ(r.open(next), OpenResult::kOk);
  EXPECT_TRUE(r.fax.page_valid());
}

}  // namespace orvane::test
